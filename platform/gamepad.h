#pragma once
// Game controllers as the game reads them: any controller that SDL knows,
// plugged in before or during the game, acts on the game's keys. The d-pad
// and the left stick (past a dead zone) are the arrow keys, A and B are Z,
// Start is Escape. The state of all pads is merged into the frame's key
// snapshot only while the window has the focus.
#include <array>
#include <cstdint>

#include "core/keys.h"

struct _SDL_GameController;

namespace vonkel {

// One pad's (or all pads' merged) controls, as the mapping reads them.
struct PadState {
    bool up = false, down = false, left = false, right = false;
    bool a = false, b = false, start = false;
    int stickX = 0, stickY = 0;  // -32768..32767, positive right and down
};

// A stick deflection inside this distance from the centre counts as none:
// a worn stick at rest does not steer.
inline constexpr int kStickDeadZone = 8000;

// Presses the game's keys that the pad's controls stand for; none while the
// window does not have the focus, so a pad in the background holds nothing.
void pressPadKeys(KeyState& keys, const PadState& pad, bool hasFocus);

// Merges two pads: buttons held on either; each stick axis the one
// deflected further.
PadState mergePads(const PadState& first, const PadState& second);

class Gamepads {
public:
    // Starts SDL's game controller support; without it no pad is ever seen.
    Gamepads();
    ~Gamepads();
    Gamepads(const Gamepads&) = delete;
    Gamepads& operator=(const Gamepads&) = delete;

    // Opens pads that have appeared and lets go of those unplugged since the
    // last poll, then reads all of them. Reads what the last event pump left.
    void poll();

    const PadState& state() const { return state_; }
    int openCount() const;

private:
    static constexpr int kMaxPads = 8;
    bool started_;
    std::array<_SDL_GameController*, kMaxPads> pads_{};
    PadState state_;
};

}  // namespace vonkel
