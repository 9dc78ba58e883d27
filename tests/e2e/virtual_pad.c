// A game controller without hardware, for the end-to-end checks: preloaded
// into the game (LD_PRELOAD), it waits until the game has started SDL's game
// controller support, then, as soon as the file named by VONKEL_VIRTUAL_PAD
// exists, plugs in one of SDL's virtual controllers and holds its controls
// as the file says, read again every 20 ms: words among up, down, left,
// right, a, b, start (buttons) and stick-left, stick-right, stick-up,
// stick-down (the left stick pushed all the way). An empty file holds
// nothing. The game cannot tell it from a controller plugged in late.
#define _GNU_SOURCE
#include <SDL.h>
#include <dlfcn.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static const struct {
    const char* word;
    int button;
} buttons[] = {
    {"up", SDL_CONTROLLER_BUTTON_DPAD_UP},       {"down", SDL_CONTROLLER_BUTTON_DPAD_DOWN},
    {"left", SDL_CONTROLLER_BUTTON_DPAD_LEFT},   {"right", SDL_CONTROLLER_BUTTON_DPAD_RIGHT},
    {"a", SDL_CONTROLLER_BUTTON_A},              {"b", SDL_CONTROLLER_BUTTON_B},
    {"start", SDL_CONTROLLER_BUTTON_START},
};

static int holds(const char* text, const char* word) {
    const size_t n = strlen(word);
    for (const char* p = text; (p = strstr(p, word)) != NULL; p += n) {
        const int starts = p == text || p[-1] == ' ' || p[-1] == '\n' || p[-1] == ',';
        const char after = p[n];
        if (starts && (after == '\0' || after == ' ' || after == '\n' || after == ',')) return 1;
    }
    return 0;
}

static Sint16 axis(const char* text, const char* negative, const char* positive) {
    if (holds(text, negative)) return -32768;
    if (holds(text, positive)) return 32767;
    return 0;
}

static void* feed(void* path) {
    SDL_Joystick* pad = NULL;
    for (;;) {
        usleep(20000);
        char text[256] = "";
        FILE* file = fopen((const char*)path, "r");
        if (file == NULL) continue;
        const size_t length = fread(text, 1, sizeof text - 1, file);
        text[length] = '\0';
        fclose(file);
        if (pad == NULL) {
            SDL_VirtualJoystickDesc desc;
            SDL_zero(desc);
            desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
            desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
            desc.naxes = SDL_CONTROLLER_AXIS_MAX;
            desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
            desc.name = "vonkel virtual pad";
            const int index = SDL_JoystickAttachVirtualEx(&desc);
            if (index < 0 || (pad = SDL_JoystickOpen(index)) == NULL) {
                fprintf(stderr, "virtual_pad: %s\n", SDL_GetError());
                return NULL;
            }
        }
        for (size_t i = 0; i < sizeof buttons / sizeof buttons[0]; ++i) {
            SDL_JoystickSetVirtualButton(pad, buttons[i].button, holds(text, buttons[i].word) ? SDL_PRESSED : SDL_RELEASED);
        }
        SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, axis(text, "stick-left", "stick-right"));
        SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, axis(text, "stick-up", "stick-down"));
    }
}

int SDL_InitSubSystem(Uint32 flags) {
    static int (*real)(Uint32) = NULL;
    static int feeding = 0;
    if (real == NULL) {
        void* symbol = dlsym(RTLD_NEXT, "SDL_InitSubSystem");
        memcpy(&real, &symbol, sizeof real);  // POSIX: a data pointer that holds a function
    }
    const int result = real(flags);
    const char* path = getenv("VONKEL_VIRTUAL_PAD");
    if (result == 0 && (flags & SDL_INIT_GAMECONTROLLER) != 0 && !feeding && path != NULL) {
        feeding = 1;
        pthread_t thread;
        pthread_create(&thread, NULL, feed, (void*)path);
        pthread_detach(thread);
    }
    return result;
}
