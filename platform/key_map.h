#pragma once
// The mapping from SDL's scan codes (USB HID positions) to the game's scan
// codes (the DirectInput numbering of core/keys.h), and the snapshot built
// from SDL's keyboard state. Pure: needs no display.
#include <SDL_scancode.h>

#include <cstdint>
#include <span>

#include "core/keys.h"

namespace vonkel {

struct KeyMapping {
    SDL_Scancode host;
    uint8_t scanCode;  // DirectInput numbering, 1..255
};

// Every host key the game can see, each once.
std::span<const KeyMapping> keyMappings();

// The game's scan code of a host key, or 0 for a key the game does not know.
int scanCodeForHostKey(SDL_Scancode host);

// Fills `out` from SDL's keyboard state (hostKeyCount bytes, nonzero while a
// key is down). Without keyboard focus, or without a host state, every key
// reads as up. A key that makes a window shortcut with the modifier keys
// held (platform/window_geometry.h: Alt+Enter, F11, M, Ctrl+digits) reads
// as up too: it is the window's, not the game's.
void snapshotKeys(KeyState& out, const uint8_t* hostKeys, int hostKeyCount, bool hasFocus);

}  // namespace vonkel
