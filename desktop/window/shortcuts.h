#pragma once
// Which key presses are the window's own shortcuts rather than the game's
// keys. Pure: needs no display.
#include <SDL_scancode.h>

#include <cstdint>

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

}  // namespace vonkel
