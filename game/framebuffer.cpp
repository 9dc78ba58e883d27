#include "game/framebuffer.h"

#include <cstdlib>

#include "core/rounding.h"
#include "core/world.h"
#include "game/game.h"
#include "game/glyphs.h"

namespace vonkel {

// Every set pixel is clipped on its own, so a glyph may hang over any edge.
// An orientation outside 0..3 is taken as that many quarter turns (mod 4).
void drawGlyph(World& world, const char* glyph, uint32_t colour, int x, int y, int orientation) {
    // A cell wholly outside the frame draws nothing (and no coordinate near
    // the ends of the int range is ever computed).
    if (x <= -8 || x >= kScreenWidth || y <= -8 || y >= kScreenHeight) return;
    const Orientation& o = orientations[wrapIndex(orientation, 4)];
    for (int r = 0; r < 8; ++r) {
        for (int i = 0; i < 8; ++i) {
            if (glyph[8 * r + i] == '.') continue;
            const int px = x + o.x0 + i * o.csx + r * o.rsx;
            const int py = y + o.y0 + i * o.csy + r * o.rsy;
            if (px >= 0 && px < kScreenWidth && py >= 0 && py < kScreenHeight)
                world.Framebuffer[static_cast<size_t>(py * kScreenWidth + px)] = colour;
        }
    }
}

// Six digits with leading zeros; x is the first column right of the number.
// A negative value shows the digits of its magnitude.
void drawNumber(World& world, int value, int x, int y, uint32_t colour) {
    int pos = x - 8;
    for (int n = 0; n < 6; ++n) {
        const int digit = std::abs(value % 10);
        drawGlyph(world, digitGlyphs[digit], colour, pos, y, 0);
        value /= 10;
        pos -= 7;
    }
}

void doubleFramebuffer(const World& world, uint32_t* destination) {
    for (int row = 0; row < kOutputHeight; ++row) {
        const uint32_t* source = world.Framebuffer.data() + (row / 2) * kScreenWidth;
        uint32_t* target = destination + row * kOutputWidth;
        for (int i = 0; i < kScreenWidth; ++i) {
            target[2 * i] = source[i];
            target[2 * i + 1] = source[i];
        }
    }
}

void fillRect(World& world, int left, int top, int right, int bottom, uint32_t colour) {
    left = clampInt(left, 0, kScreenWidth);
    right = clampInt(right, -1, kScreenWidth - 1);
    top = clampInt(top, 0, kScreenHeight);
    bottom = clampInt(bottom, -1, kScreenHeight - 1);
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) world.Framebuffer[static_cast<size_t>(y * kScreenWidth + x)] = colour;
}

}  // namespace vonkel
