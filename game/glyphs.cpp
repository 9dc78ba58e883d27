#include "game/glyphs.h"

namespace vonkel {

// Each glyph is 8 rows of 8 characters, top row first; '.' is transparent.
const char playerGlyph[65] =
    "...xx..."
    "..x..x.."
    "..x..x.."
    "..xxxx.."
    "...xx..."
    ".xxxxxx."
    ".xxxxxx."
    "..x..x..";

const char tileGlyphs[3][65] = {
    "........"
    "........"
    "..x..x.."
    "...xx..."
    "...xx..."
    "..x..x.."
    "........"
    "........",

    "........"
    "........"
    "..x..x.."
    ".xxxxxx."
    "...xx..."
    "..xxxx.."
    "........"
    "........",

    "........"
    "........"
    ".xxxxxx."
    ".x....x."
    "..x..x.."
    ".x.xx.x."
    "...xx..."
    "........",
};

const char pickupGlyph[65] =
    "........"
    ".xxxxxx."
    ".x....x."
    ".x.xx.x."
    ".x.xx.x."
    ".x....x."
    ".xxxxxx."
    "........";

const char digitGlyphs[10][65] = {
    "xxxxxx.." "x....x.." "x....x.." "x....x.." "xxxxxx.." "........" "........" "........",  // 0
    "..xx...." "...x...." "...x...." "...x...." ".xxxxx.." "........" "........" "........",  // 1
    "xxxxxx.." ".....x.." "xxxxxx.." "x......." "xxxxxx.." "........" "........" "........",  // 2
    "xxxxxx.." ".....x.." "...xxx.." ".....x.." "xxxxxx.." "........" "........" "........",  // 3
    "x....x.." "x....x.." "xxxxxx.." ".....x.." ".....x.." "........" "........" "........",  // 4
    "xxxxxx.." "x......." "xxxxxx.." ".....x.." "xxxxxx.." "........" "........" "........",  // 5
    "xxxxxx.." "x......." "xxxxxx.." "x....x.." "xxxxxx.." "........" "........" "........",  // 6
    "xxxxxx.." ".....x.." ".....x.." ".....x.." ".....x.." "........" "........" "........",  // 7
    "xxxxxx.." "x....x.." "xxxxxx.." "x....x.." "xxxxxx.." "........" "........" "........",  // 8
    "xxxxxx.." "x....x.." "xxxxxx.." ".....x.." "xxxxxx.." "........" "........" "........",  // 9
};

// Orientation k is the stored picture turned k quarter turns clockwise on
// screen; every orientation covers the same 8 x 8 cell.
const Orientation orientations[4] = {
    {0, 0, 1, 0, 0, 1},
    {7, 0, 0, 1, -1, 0},
    {7, 7, -1, 0, 0, -1},
    {0, 7, 0, -1, 1, 0},
};

}  // namespace vonkel
