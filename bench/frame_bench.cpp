// Cost of one whole game frame: the frame update (terrain, pickups, player
// and status panel, or the scope view), the doubling into the 640 x 480
// output image and the row conversion into a display surface.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "core/keys.h"
#include "core/world.h"
#include "game/game.h"
#include "desktop/window/row_converters.h"

namespace {
using namespace vonkel;

void runFrames(benchmark::State& state, const KeyState& keys, bool scope) {
    auto world = std::make_unique<World>();
    startGame(*world, 42);
    world->scopeMode = scope;
    std::vector<uint8_t> surface(static_cast<size_t>(kOutputWidth) * 4 * kOutputHeight);
    const RowConverter convert = chooseRowConverter(32, 0xFF0000, 0xFF00, 0xFF);
    for (auto _ : state) {
        updateFrame(*world, keys);
        doubleFramebuffer(*world, world->OutputBuffer.data());
        convertImage(convert, world->OutputBuffer.data(), kOutputWidth, kOutputHeight, surface.data(), kOutputWidth * 4);
        benchmark::DoNotOptimize(surface.data());
        world->energy = 120;  // keep the game running
    }
}

void BM_GameFrame(benchmark::State& state) {
    KeyState keys;
    keys.press(ScanCode::Right);
    runFrames(state, keys, false);
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ScopeFrame(benchmark::State& state) {
    runFrames(state, KeyState{}, true);
}
BENCHMARK(BM_ScopeFrame)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
