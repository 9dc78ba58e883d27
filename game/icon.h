#pragma once
// The game's icon, drawn with its own raster: four tiles of the field (calm,
// neutral, hazard, calm) and the player's ship over their middle, on the
// game's black. The desktop's icons and the page's are made from it.
#include <array>
#include <cstdint>

namespace vonkel {

constexpr int kIconPixels = 16;  // the picture is 16 x 16 game pixels

// The pixels, 0x00RRGGBB, row by row.
std::array<uint32_t, kIconPixels * kIconPixels> drawIcon();

}  // namespace vonkel
