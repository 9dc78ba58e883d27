// The game's icon for the page's manifest, drawn at build time with the
// game's own glyphs and colours: the picture of packaging/make_icon.cpp
// (four tiles of the field, calm, neutral, hazard, calm, and the player's
// ship over their middle, on black), 16 x 16 game pixels. This module runs
// in node during the web build; make_icons.js scales the picture to the
// sizes the manifest names and writes them as PNG files.
#include <emscripten/emscripten.h>

#include <array>
#include <cstdint>
#include <memory>

#include "core/world.h"
#include "game/framebuffer.h"
#include "game/glyphs.h"
#include "game/terrain.h"

extern "C" {

// The icon's 16 x 16 pixels, 0x00RRGGBB, row by row.
EMSCRIPTEN_KEEPALIVE const uint32_t* vonkel_icon_pixels() {
    using namespace vonkel;
    constexpr int kIconPixels = 16;
    constexpr uint32_t kPlayerColour = 0xC0FFFF;
    static std::array<uint32_t, kIconPixels * kIconPixels> icon;
    auto world = std::make_unique<World>();
    const int kinds[2][2] = {{TerrainKind::Calm, TerrainKind::Neutral}, {TerrainKind::Hazard, TerrainKind::Calm}};
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const int kind = kinds[row][column];
            drawGlyph(*world, tileGlyphs[kind], kKindColours[kind], 8 * column, 8 * row, row + column);
        }
    }
    drawGlyph(*world, playerGlyph, kPlayerColour, 4, 4, 0);
    for (int y = 0; y < kIconPixels; ++y) {
        for (int x = 0; x < kIconPixels; ++x) {
            icon[static_cast<size_t>(y * kIconPixels + x)] = world->Framebuffer[static_cast<size_t>(y * kScreenWidth + x)];
        }
    }
    return icon.data();
}

}  // extern "C"
