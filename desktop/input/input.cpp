#include "desktop/input/input.h"

#include <SDL.h>

namespace vonkel {
namespace {

bool isOpen(const std::array<SDL_GameController*, 8>& pads, SDL_JoystickID id) {
    for (SDL_GameController* pad : pads) {
        if (pad != nullptr && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == id) return true;
    }
    return false;
}

PadState readPad(SDL_GameController* pad) {
    auto held = [pad](SDL_GameControllerButton button) { return SDL_GameControllerGetButton(pad, button) != 0; };
    PadState state;
    state.up = held(SDL_CONTROLLER_BUTTON_DPAD_UP);
    state.down = held(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    state.left = held(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    state.right = held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    state.a = held(SDL_CONTROLLER_BUTTON_A);
    state.b = held(SDL_CONTROLLER_BUTTON_B);
    state.start = held(SDL_CONTROLLER_BUTTON_START);
    state.stickX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    state.stickY = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
    return state;
}

}  // namespace

Pads::Pads() : started_(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {}

Pads::~Pads() {
    if (!started_) return;
    for (SDL_GameController* pad : pads_) {
        if (pad != nullptr) SDL_GameControllerClose(pad);
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

PadState Pads::poll() {
    PadState merged;
    if (!started_) return merged;
    for (SDL_GameController*& pad : pads_) {
        if (pad != nullptr && SDL_GameControllerGetAttached(pad) == SDL_FALSE) {
            SDL_GameControllerClose(pad);
            pad = nullptr;
        }
    }
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
        if (SDL_IsGameController(index) == SDL_FALSE || isOpen(pads_, SDL_JoystickGetDeviceInstanceID(index))) continue;
        for (SDL_GameController*& pad : pads_) {
            if (pad != nullptr) continue;
            pad = SDL_GameControllerOpen(index);
            break;
        }
    }
    for (SDL_GameController* pad : pads_) {
        if (pad != nullptr) merged = mergePads(merged, readPad(pad));
    }
    return merged;
}

int Pads::openCount() const {
    int count = 0;
    for (const SDL_GameController* pad : pads_) count += pad != nullptr;
    return count;
}

KeyState Input::poll() {
    KeyState keys;
    const bool focus = window_ != nullptr && SDL_WasInit(SDL_INIT_VIDEO) != 0 &&
                       (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
    if (focus) {
        int count = 0;
        const Uint8* host = SDL_GetKeyboardState(&count);
        snapshotKeys(keys, host, count, true);
    }
    pressPadKeys(keys, pads_.poll(), focus);
    return keys;
}

}  // namespace vonkel
