// The game's icon (game/icon.h) for the page's manifest. This module runs in
// node during the web build; make_icons.js scales the picture to the sizes
// the manifest names and writes them as PNG files.
#include <emscripten/emscripten.h>

#include "game/icon.h"

extern "C" {

// The icon's 16 x 16 pixels, 0x00RRGGBB, row by row.
EMSCRIPTEN_KEEPALIVE const uint32_t* vonkel_icon_pixels() {
    static const auto icon = vonkel::drawIcon();
    return icon.data();
}

}  // extern "C"
