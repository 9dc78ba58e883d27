#pragma once
// The glyph pictures: 64 characters each, '.' transparent.
namespace vonkel {

extern const char playerGlyph[65];
extern const char pickupGlyph[65];
extern const char tileGlyphs[3][65];
extern const char digitGlyphs[10][65];

// {x0, y0, column step x, column step y, row step x, row step y}
struct Orientation {
    int x0, y0, csx, csy, rsx, rsy;
};
extern const Orientation orientations[4];

}  // namespace vonkel
