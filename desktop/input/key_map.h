#pragma once
// How the host's keyboard and game controllers become the game's keys and
// the window's shortcuts: the keyboard by SDL's scan codes (USB HID positions) mapped to the game's scan
// codes (the DirectInput numbering of core/keys.h), the pads by their
// buttons and left stick. Pure: needs no display.
#include <SDL_scancode.h>

#include <cstdint>

#include "core/keys.h"

namespace vonkel {

enum class WindowShortcut {
    None, Zoom1, Zoom2, Zoom4, ToggleFullscreen, ToggleMute, VolumeDown, VolumeUp, Screenshot, ToggleClip, SaveRun
};

// Ctrl+1/2/4 (main keyboard or keypad) zoom; F11 and Alt+Enter toggle
// fullscreen; M toggles the sound; the two keys left of Backspace (- and =
// on a US keyboard) and the keypad's - and + turn the volume down and up;
// F12 takes a screenshot; F9 starts and stops a clip; F10 saves the run.
// Ctrl, Alt and the
// logo key each make another key of a press that is not one of these.
// Shift changes nothing.
WindowShortcut shortcutForKey(SDL_Scancode key, uint16_t modifiers);

// Fills `out` from SDL's keyboard state (hostKeyCount bytes, nonzero while a
// key is down). Without keyboard focus, or without a host state, every key
// reads as up. A key that makes a window shortcut with the modifier keys
// held (Alt+Enter, F11, M, Ctrl+digits) reads
// as up too: it is the window's, not the game's.
void snapshotKeys(KeyState& out, const uint8_t* hostKeys, int hostKeyCount, bool hasFocus);

// One pad's (or all pads' merged) controls.
struct PadState {
    bool up = false, down = false, left = false, right = false;
    bool a = false, b = false, start = false;
    int stickX = 0, stickY = 0;  // -32768..32767, positive right and down
};

// A stick deflection inside this distance from the centre counts as none:
// a worn stick at rest does not steer.
inline constexpr int kStickDeadZone = 8000;

// Presses the game's keys that the pad's controls stand for: the d-pad and
// the stick past the dead zone are the arrows, A and B are Z, Start is
// Escape. None while the window does not have the focus, so a pad in the
// background holds nothing.
void pressPadKeys(KeyState& keys, const PadState& pad, bool hasFocus);

// Merges two pads: buttons held on either; each stick axis the one
// deflected further.
PadState mergePads(const PadState& first, const PadState& second);

}  // namespace vonkel
