#pragma once
// The frame's keys: a snapshot of the keyboard and of every game controller,
// taken once per frame and unchanged until the next. Controllers work when
// plugged in at any time. While the window does not have the keyboard focus
// every key reads as up and the pads hold nothing.
#include <array>

#include "core/keys.h"
#include "desktop/input/key_map.h"

struct SDL_Window;
struct _SDL_GameController;

namespace vonkel {

// Every game controller SDL knows, opened as it appears and let go when it
// is unplugged.
class Pads {
public:
    Pads();  // starts SDL's controller support; without it no pad is ever seen
    ~Pads();
    Pads(const Pads&) = delete;
    Pads& operator=(const Pads&) = delete;

    // Opens what appeared, closes what went, reads all: the merged state.
    // Reads what the last event pump left.
    PadState poll();
    int openCount() const;

private:
    static constexpr int kMaxPads = 8;
    bool started_;
    std::array<_SDL_GameController*, kMaxPads> pads_{};
};

class Input {
public:
    // window: the game's window, whose focus the keys follow. Without one
    // (or without SDL's video) every key reads as up.
    explicit Input(SDL_Window* window) : window_(window) {}

    // The keys for the coming frame, from what the last event pump
    // (Window::takeEvents) left.
    KeyState poll();

private:
    SDL_Window* window_;
    Pads pads_;
};

}  // namespace vonkel
