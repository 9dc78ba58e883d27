#pragma once
// What vonkel-lab prints of a game: the song of `song`, the trace lines of
// `play` and the grid of `terrain`.
#include <cstdint>
#include <string>

namespace vonkel {
struct World;
}

namespace vonkel::lab {

// The state of a game's song as one JSON object, with nextDraw given by the
// caller.
std::string songJson(const World& world, int nextDraw);
// One line of the `play` trace, with FNV-1a 64 digests of the 1200 cell kinds
// (one byte each) and of the 76800 framebuffer pixels (4 bytes each,
// little-endian).
std::string traceJson(const World& world, int64_t frame, int64_t timeMs, bool quit);
// The printout of the grid: 30 lines of cell kinds and the counts line.
std::string terrainText(const World& world);

}  // namespace vonkel::lab
