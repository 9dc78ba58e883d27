#pragma once
// The keyboard as the game reads it: a snapshot of 256 key states by scan
// code (core/keys.h), taken once per frame by poll() and left unchanged
// until the next poll(). While the window does not have the keyboard focus
// every key reads as up.
#include "core/keys.h"

struct SDL_Window;

namespace vonkel {

class Keyboard {
public:
    // window: the presenter's window. Without a window, or when SDL's video
    // subsystem is not running, the keyboard still works and every key reads
    // as up.
    explicit Keyboard(SDL_Window* window);
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // Takes the snapshot for the coming frame from the key states that the
    // last event pump (pumpWindowEvents) left.
    void poll();

    bool isKeyDown(int scanCode) const { return state_.isKeyDown(scanCode); }
    const KeyState& state() const { return state_; }
    // Whether the window had the keyboard focus at the last poll.
    bool hasFocus() const { return hasFocus_; }

private:
    SDL_Window* window_;
    bool available_;
    bool hasFocus_ = false;
    KeyState state_;
};

}  // namespace vonkel
