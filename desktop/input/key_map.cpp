#include "desktop/input/key_map.h"

#include <SDL_keycode.h>

#include <cstdlib>
#include <utility>


namespace vonkel {
namespace {

struct KeyMapping {
    SDL_Scancode host;
    uint8_t scanCode;  // DirectInput numbering, 1..255
};

// Keys by position on a standard PC keyboard. The game's own keys are
// Escape (1), Enter (28), Z (44) and the four arrows (200, 203, 205, 208);
// the rest is here so that any key reads the same in a snapshot as it would
// on the system the scan codes come from.
#define K(name, code) {SDL_SCANCODE_##name, code}
constexpr KeyMapping kKeyTable[] = {
    K(ESCAPE, 0x01), K(1, 0x02), K(2, 0x03), K(3, 0x04), K(4, 0x05), K(5, 0x06), K(6, 0x07), K(7, 0x08), K(8, 0x09),
    K(9, 0x0A), K(0, 0x0B), K(MINUS, 0x0C), K(EQUALS, 0x0D), K(BACKSPACE, 0x0E), K(TAB, 0x0F), K(Q, 0x10), K(W, 0x11),
    K(E, 0x12), K(R, 0x13), K(T, 0x14), K(Y, 0x15), K(U, 0x16), K(I, 0x17), K(O, 0x18), K(P, 0x19), K(LEFTBRACKET, 0x1A),
    K(RIGHTBRACKET, 0x1B), K(RETURN, 0x1C), K(LCTRL, 0x1D), K(A, 0x1E), K(S, 0x1F), K(D, 0x20), K(F, 0x21), K(G, 0x22),
    K(H, 0x23), K(J, 0x24), K(K, 0x25), K(L, 0x26), K(SEMICOLON, 0x27), K(APOSTROPHE, 0x28), K(GRAVE, 0x29),
    K(LSHIFT, 0x2A), K(BACKSLASH, 0x2B), K(Z, 0x2C), K(X, 0x2D), K(C, 0x2E), K(V, 0x2F), K(B, 0x30), K(N, 0x31), K(M, 0x32),
    K(COMMA, 0x33), K(PERIOD, 0x34), K(SLASH, 0x35), K(RSHIFT, 0x36), K(KP_MULTIPLY, 0x37), K(LALT, 0x38), K(SPACE, 0x39),
    K(CAPSLOCK, 0x3A), K(F1, 0x3B), K(F2, 0x3C), K(F3, 0x3D), K(F4, 0x3E), K(F5, 0x3F), K(F6, 0x40), K(F7, 0x41),
    K(F8, 0x42), K(F9, 0x43), K(F10, 0x44), K(NUMLOCKCLEAR, 0x45), K(SCROLLLOCK, 0x46), K(KP_7, 0x47), K(KP_8, 0x48),
    K(KP_9, 0x49), K(KP_MINUS, 0x4A), K(KP_4, 0x4B), K(KP_5, 0x4C), K(KP_6, 0x4D), K(KP_PLUS, 0x4E), K(KP_1, 0x4F),
    K(KP_2, 0x50), K(KP_3, 0x51), K(KP_0, 0x52), K(KP_PERIOD, 0x53), K(NONUSBACKSLASH, 0x56), K(F11, 0x57), K(F12, 0x58),
    K(F13, 0x64), K(F14, 0x65), K(F15, 0x66), K(KP_EQUALS, 0x8D), K(KP_ENTER, 0x9C), K(RCTRL, 0x9D), K(KP_DIVIDE, 0xB5),
    K(PRINTSCREEN, 0xB7), K(RALT, 0xB8), K(PAUSE, 0xC5), K(HOME, 0xC7), K(UP, 0xC8), K(PAGEUP, 0xC9), K(LEFT, 0xCB),
    K(RIGHT, 0xCD), K(END, 0xCF), K(DOWN, 0xD0), K(PAGEDOWN, 0xD1), K(INSERT, 0xD2), K(DELETE, 0xD3), K(LGUI, 0xDB),
    K(RGUI, 0xDC), K(APPLICATION, 0xDD),
};
#undef K

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

int furtherFromCentre(int first, int second) { return std::abs(second) > std::abs(first) ? second : first; }

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

void snapshotKeys(KeyState& out, const uint8_t* hostKeys, int hostKeyCount, bool hasFocus) {
    out.clear();
    if (!hasFocus || hostKeys == nullptr) return;
    const auto held = [&](SDL_Scancode key) {
        const int index = static_cast<int>(key);
        return index < hostKeyCount && hostKeys[index] != 0;
    };
    uint16_t modifiers = KMOD_NONE;
    for (const auto& [key, modifier] : {std::pair<SDL_Scancode, uint16_t>{SDL_SCANCODE_LCTRL, KMOD_LCTRL},
                                        {SDL_SCANCODE_RCTRL, KMOD_RCTRL}, {SDL_SCANCODE_LALT, KMOD_LALT},
                                        {SDL_SCANCODE_RALT, KMOD_RALT}, {SDL_SCANCODE_LGUI, KMOD_LGUI},
                                        {SDL_SCANCODE_RGUI, KMOD_RGUI}}) {
        if (held(key)) modifiers = static_cast<uint16_t>(modifiers | modifier);
    }
    // A key that makes a window shortcut with the modifiers held belongs to
    // the window: the Enter of Alt+Enter must not also boost or start a game.
    for (const KeyMapping& m : kKeyTable) {
        if (held(m.host) && shortcutForKey(m.host, modifiers) == WindowShortcut::None) out.press(m.scanCode);
    }
}

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

}  // namespace vonkel
