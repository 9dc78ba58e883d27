#include "desktop/window/shortcuts.h"

#include <SDL_keycode.h>

namespace vonkel {
namespace {

// The key that, with Ctrl, picks a zoom: 1, 2 or 4, on the main keyboard or the keypad.
WindowShortcut zoomForKey(SDL_Scancode key) {
    switch (key) {
        case SDL_SCANCODE_1:
        case SDL_SCANCODE_KP_1:
            return WindowShortcut::Zoom1;
        case SDL_SCANCODE_2:
        case SDL_SCANCODE_KP_2:
            return WindowShortcut::Zoom2;
        case SDL_SCANCODE_4:
        case SDL_SCANCODE_KP_4:
            return WindowShortcut::Zoom4;
        default:
            return WindowShortcut::None;
    }
}

}  // namespace

WindowShortcut shortcutForKey(SDL_Scancode key, uint16_t modifiers) {
    const bool ctrl = (modifiers & KMOD_CTRL) != 0;
    const bool alt = (modifiers & KMOD_ALT) != 0;
    const bool gui = (modifiers & KMOD_GUI) != 0;
    if (ctrl && !alt && !gui) return zoomForKey(key);
    if (alt && !ctrl && !gui && key == SDL_SCANCODE_RETURN) return WindowShortcut::ToggleFullscreen;
    if (ctrl || alt || gui) return WindowShortcut::None;
    switch (key) {
        case SDL_SCANCODE_F11: return WindowShortcut::ToggleFullscreen;
        case SDL_SCANCODE_M: return WindowShortcut::ToggleMute;
        case SDL_SCANCODE_MINUS:
        case SDL_SCANCODE_KP_MINUS: return WindowShortcut::VolumeDown;
        case SDL_SCANCODE_EQUALS:
        case SDL_SCANCODE_KP_PLUS: return WindowShortcut::VolumeUp;
        case SDL_SCANCODE_F12: return WindowShortcut::Screenshot;
        case SDL_SCANCODE_F9: return WindowShortcut::ToggleClip;
        case SDL_SCANCODE_F10: return WindowShortcut::SaveRun;
        default: return WindowShortcut::None;
    }
}

}  // namespace vonkel
