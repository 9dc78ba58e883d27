#include "game/icon.h"

#include <memory>

#include "core/world.h"
#include "game/framebuffer.h"
#include "game/glyphs.h"
#include "game/terrain.h"

namespace vonkel {

std::array<uint32_t, kIconPixels * kIconPixels> drawIcon() {
    constexpr uint32_t kPlayerColour = 0xC0FFFF;
    auto world = std::make_unique<World>();
    const int kinds[2][2] = {{TerrainKind::Calm, TerrainKind::Neutral}, {TerrainKind::Hazard, TerrainKind::Calm}};
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            const int kind = kinds[row][column];
            drawGlyph(*world, tileGlyphs[kind], kKindColours[kind], 8 * column, 8 * row, row + column);
        }
    }
    drawGlyph(*world, playerGlyph, kPlayerColour, 4, 4, 0);
    std::array<uint32_t, kIconPixels * kIconPixels> icon{};
    for (int y = 0; y < kIconPixels; ++y) {
        for (int x = 0; x < kIconPixels; ++x) {
            icon[static_cast<size_t>(y * kIconPixels + x)] = world->Framebuffer[static_cast<size_t>(y * kScreenWidth + x)];
        }
    }
    return icon;
}

}  // namespace vonkel
