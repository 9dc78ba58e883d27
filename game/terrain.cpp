#include "game/terrain.h"

#include <cmath>
#include <cstdlib>

#include "core/rounding.h"
#include "core/world.h"
#include "game/framebuffer.h"
#include "game/glyphs.h"

namespace vonkel {
namespace {

// The hazard kind spreads with the game speed: the offset shifts every
// cell's band towards the higher kinds, up to a cap.
int thresholdOffset(float terrainSpeed) {
    const int w = roundToInt(static_cast<double>(terrainSpeed) * 15000);
    return w > 70 ? 70 : w;
}

int cellKind(int w, double u) {
    const int v = roundToInt(1600 * std::sin(f32(0.1127f) * u));
    int n = std::abs(v) % 400;
    if (n >= 300) n -= 200;
    return clampInt((w + n) / 100, TerrainKind::Calm, TerrainKind::Hazard);
}

}  // namespace

void stepTerrain(World& world) {
    world.terrainTime = static_cast<float>(static_cast<double>(world.terrainTime) + world.terrainSpeed);
    const double time = world.terrainTime;
    world.columnPhase = static_cast<float>(7 * std::cos(time * f32(0.07692308f)));
    world.rowPhase = static_cast<float>(7 * std::sin(time * f32(0.04f)));
    const double columnPhase = world.columnPhase;
    const double rowPhase = world.rowPhase;
    const double s = f32(2.5f) * std::sin(time);
    const int w = thresholdOffset(world.terrainSpeed);

    for (int r = 0; r < kGridRows; ++r) {
        const double p = static_cast<float>(std::cos(f32(0.13f) * r) + s);  // the one rounded intermediate
        const double q = f32(0.5f) * std::sin(f32(0.218f) * r + rowPhase);
        const double rowTerm = f32(0.47f) * std::cos(p);
        for (int k = 0; k < kGridColumns; ++k) {
            const double u = f32(0.5f) * std::cos(f32(0.168f) * k + columnPhase) + f32(0.03f) * k + rowTerm + q + p;
            const int kind = cellKind(w, u);
            world.TerrainGrid[static_cast<size_t>(r * kGridColumns + k)] = kind;
            const int orientation = wrapIndex(r + k / 8 + world.tileOrientation, 4);
            drawGlyph(world, tileGlyphs[kind], kKindColours[kind], 8 * k, 8 * r, orientation);
        }
    }
}

}  // namespace vonkel
