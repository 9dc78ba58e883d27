#pragma once
// What vonkel-lab prints of a game: the song of `song`, the trace lines of
// `play` and the grid of `terrain`.
#include <cstdint>
#include <string>

#include "lockstep/simulated_run.h"

namespace vonkel {
struct World;
}

namespace vonkel::lab {

// The state of a game's song as one JSON object, with nextDraw given by the
// caller.
std::string songJson(const World& world, int nextDraw);
// One line of the `play` trace: the frame's record (with its digests of the
// terrain and the picture) and the game's state after it.
std::string traceJson(const World& world, const lockstep::FrameRecord& record);
// The printout of the grid: 30 lines of cell kinds and the counts line.
std::string terrainText(const World& world);

}  // namespace vonkel::lab
