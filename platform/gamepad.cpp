#include "platform/gamepad.h"

#include <SDL.h>

#include <cstdlib>
#include <span>

namespace vonkel {
namespace {

bool isOpen(std::span<SDL_GameController* const> pads, SDL_JoystickID id) {
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

int furtherFromCentre(int first, int second) { return std::abs(second) > std::abs(first) ? second : first; }

}  // namespace

void pressPadKeys(KeyState& keys, const PadState& pad, bool hasFocus) {
    if (!hasFocus) return;
    if (pad.up || pad.stickY < -kStickDeadZone) keys.press(ScanCode::Up);
    if (pad.down || pad.stickY > kStickDeadZone) keys.press(ScanCode::Down);
    if (pad.left || pad.stickX < -kStickDeadZone) keys.press(ScanCode::Left);
    if (pad.right || pad.stickX > kStickDeadZone) keys.press(ScanCode::Right);
    if (pad.a || pad.b) keys.press(ScanCode::Z);
    if (pad.start) keys.press(ScanCode::Escape);
}

PadState mergePads(const PadState& first, const PadState& second) {
    PadState merged;
    merged.up = first.up || second.up;
    merged.down = first.down || second.down;
    merged.left = first.left || second.left;
    merged.right = first.right || second.right;
    merged.a = first.a || second.a;
    merged.b = first.b || second.b;
    merged.start = first.start || second.start;
    merged.stickX = furtherFromCentre(first.stickX, second.stickX);
    merged.stickY = furtherFromCentre(first.stickY, second.stickY);
    return merged;
}

Gamepads::Gamepads() : started_(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {}

Gamepads::~Gamepads() {
    if (!started_) return;
    for (SDL_GameController*& pad : pads_) {
        if (pad != nullptr) SDL_GameControllerClose(pad);
        pad = nullptr;
    }
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void Gamepads::poll() {
    state_ = PadState{};
    if (!started_) return;
    for (SDL_GameController*& pad : pads_) {
        if (pad != nullptr && SDL_GameControllerGetAttached(pad) == SDL_FALSE) {
            SDL_GameControllerClose(pad);
            pad = nullptr;
        }
    }
    const int devices = SDL_NumJoysticks();
    for (int index = 0; index < devices; ++index) {
        if (SDL_IsGameController(index) == SDL_FALSE || isOpen(pads_, SDL_JoystickGetDeviceInstanceID(index))) continue;
        for (SDL_GameController*& pad : pads_) {
            if (pad != nullptr) continue;
            pad = SDL_GameControllerOpen(index);
            break;
        }
    }
    for (SDL_GameController* pad : pads_) {
        if (pad != nullptr) state_ = mergePads(state_, readPad(pad));
    }
}

int Gamepads::openCount() const {
    int count = 0;
    for (const SDL_GameController* pad : pads_) count += pad != nullptr;
    return count;
}

}  // namespace vonkel
