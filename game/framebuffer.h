#pragma once
// The software raster: 8 x 8 single-colour glyphs in four quarter-turn
// orientations with per-pixel clipping, six-digit numbers, and the 2 x 2
// doubling of the 320 x 240 frame into the 640 x 480 output image.
#include <cstdint>

namespace vonkel {

struct World;

void drawGlyph(World& world, const char* glyph, uint32_t colour, int x, int y, int orientation);
void drawNumber(World& world, int value, int x, int y, uint32_t colour);
// doubleFramebuffer, which hosts call, is in game/game.h.
// Fills rows top..bottom and columns left..right (both ends included).
void fillRect(World& world, int left, int top, int right, int bottom, uint32_t colour);

}  // namespace vonkel
