#include "platform/keyboard.h"

#include <SDL.h>

#include "platform/key_map.h"

namespace vonkel {

Keyboard::Keyboard(SDL_Window* window)
    : window_(window), available_(window != nullptr && SDL_WasInit(SDL_INIT_VIDEO) != 0) {}

// SDL owns the keyboard state; there is nothing of ours to release.
Keyboard::~Keyboard() = default;

void Keyboard::poll() {
    if (!available_) {
        state_.clear();
        hasFocus_ = false;
        return;
    }
    hasFocus_ = (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
    int hostKeyCount = 0;
    const Uint8* hostKeys = SDL_GetKeyboardState(&hostKeyCount);
    snapshotKeys(state_, hostKeys, hostKeyCount, hasFocus_);
}

}  // namespace vonkel
