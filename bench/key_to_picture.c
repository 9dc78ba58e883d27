/* Measures the game's key-to-picture latency from outside: presses Escape
 * through the X server's keyboard (XTEST) and reads the window back in a
 * tight loop until the scope view shows, then prints the milliseconds from
 * the press to the first read that shows it.
 *
 * The scope view is told by its band: framebuffer rows 81 and 158 are drawn
 * all across in 0x4080A0, i.e. window rows 162, 163, 316 and 317 of the
 * doubled 640x480 picture. In normal play the terrain crosses those rows in
 * mixed colours, so four whole rows of that colour only happen in the view.
 *
 * usage: key_to_picture [WINDOW-ID]
 * Uses $DISPLAY; without WINDOW-ID it takes the top-level window named
 * "vonkel". It first waits until the window shows the game's picture (the
 * status panel's colour at its top) and lets it run one more second, so the
 * press meets a game in its steady state. Escape is released right after the
 * band is seen: held for long in the scope view, Escape quits the game.
 * Prints "latency_ms T"; exit code 0 on success, 1 on any failure. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kWidth = 640, kHeight = 480 };
static const unsigned long kBandColour = 0x4080A0;

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static void sleep_ms(long ms) {
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

/* A window that is not (yet) viewable makes XGetImage fail; that is read
 * as "not there yet" rather than ending the program. */
static int ignore_errors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    return 0;
}

/* How many of the pixels in window rows y and y+1 have the band's colour;
 * -1 when the rows cannot be read. */
static int count_band_colour(Display* display, Window window, int y) {
    XImage* image = XGetImage(display, window, 0, y, kWidth, 2, AllPlanes, ZPixmap);
    if (image == NULL) return -1;
    int count = 0;
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < kWidth; ++x)
            if ((XGetPixel(image, x, row) & 0xFFFFFF) == kBandColour) ++count;
    XDestroyImage(image);
    return count;
}

static int band_shown(Display* display, Window window) {
    return count_band_colour(display, window, 162) == 2 * kWidth &&
           count_band_colour(display, window, 316) == 2 * kWidth;
}

/* The first top-level window named "vonkel", or 0. */
static Window find_game_window(Display* display) {
    Window root_return, parent, *children = NULL, found = 0;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &children, &count)) return 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        char* name = NULL;
        if (XFetchName(display, children[i], &name) && name != NULL) {
            if (strcmp(name, "vonkel") == 0) found = children[i];
            XFree(name);
        }
    }
    if (children != NULL) XFree(children);
    return found;
}

int main(int argc, char** argv) {
    if (argc > 2) {
        fprintf(stderr, "usage: %s [WINDOW-ID]\n", argv[0]);
        return 1;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "%s: cannot open display\n", argv[0]);
        return 1;
    }
    int event_base, error_base, major, minor;
    if (!XTestQueryExtension(display, &event_base, &error_base, &major, &minor)) {
        fprintf(stderr, "%s: the X server has no XTEST extension\n", argv[0]);
        return 1;
    }
    XSetErrorHandler(ignore_errors);
    Window window = argc == 2 ? (Window)strtoul(argv[1], NULL, 0) : 0;

    /* The game's first picture: its status panel's frame fills window row 4
     * from x = 200 to 440. Until then the window may be missing, unmapped
     * or blank. */
    double deadline = now_ms() + 20000.0;
    for (;;) {
        if (argc == 1) window = find_game_window(display);
        XImage* image = window ? XGetImage(display, window, 200, 4, 240, 1, AllPlanes, ZPixmap) : NULL;
        int panel = image != NULL;
        for (int x = 0; panel && x < 240; ++x) panel = (XGetPixel(image, x, 0) & 0xFFFFFF) == kBandColour;
        if (image != NULL) XDestroyImage(image);
        if (panel) break;
        if (now_ms() > deadline) {
            fprintf(stderr, "%s: no window showing the game's picture\n", argv[0]);
            return 1;
        }
        sleep_ms(20);
    }
    sleep_ms(1000);
    if (band_shown(display, window)) {
        fprintf(stderr, "%s: the scope view shows before any key\n", argv[0]);
        return 1;
    }

    /* The key goes to the focused window; without a window manager nobody
     * else gives the game the focus. */
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
    const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
    const double pressed = now_ms();
    XTestFakeKeyEvent(display, escape, True, CurrentTime);
    XSync(display, False);
    double seen = 0.0;
    deadline = pressed + 5000.0;
    while (seen == 0.0 && now_ms() < deadline)
        if (band_shown(display, window)) seen = now_ms();
    XTestFakeKeyEvent(display, escape, False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);

    if (seen == 0.0) {
        fprintf(stderr, "%s: no scope view within 5 s of the key\n", argv[0]);
        return 1;
    }
    printf("latency_ms %.1f\n", seen - pressed);
    return 0;
}
