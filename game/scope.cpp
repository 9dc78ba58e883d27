#include <cmath>

#include "core/rounding.h"
#include "core/world.h"
#include "game/frame_update.h"
#include "game/framebuffer.h"

namespace vonkel {
namespace {

constexpr int kZeroRow = 120;
constexpr uint32_t kTraceColour = 0xFFFFFF;

// A ring value as a trace level: ten pixels per unit, kept inside the band.
int traceLevel(float sample) { return clampInt(roundToInt(10 * static_cast<double>(sample)), -32, 31); }

}  // namespace

// The oscilloscope band: the ring from its oldest slot to its newest, drawn
// as a connected trace around row 120 (positive samples below it).
void drawScope(World& world) {
    fillRect(world, 0, 80, kScreenWidth - 1, 159, 0x000000);
    fillRect(world, 0, 81, kScreenWidth - 1, 81, 0x4080A0);
    fillRect(world, 0, 158, kScreenWidth - 1, 158, 0x4080A0);

    const int start = clampInt(world.scopeWriteIndex, 0, kScopePositions - 1) / 3;
    int previous = traceLevel(world.ScopeRing[(start + 100) % kScopeSlots]);
    for (int x = 0; x < kScreenWidth; ++x) {
        const int current = traceLevel(world.ScopeRing[(start + x) % kScopeSlots]);
        const int lo = previous < current ? previous : current;
        int hi = previous < current ? current : previous;
        if (hi == lo) hi = lo + 1;
        for (int y = kZeroRow + lo; y < kZeroRow + hi; ++y)
            world.Framebuffer[static_cast<size_t>(y * kScreenWidth + x)] = kTraceColour;
        previous = current;
    }
}

}  // namespace vonkel
