// Cost of the run file's 32-bit digests: a picture (every frame, on the
// desktop's main thread) and an audio block of 512 samples (in its audio
// callback).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "core/world.h"
#include "game/game.h"
#include "lockstep/digests.h"

namespace {
using namespace vonkel;

void BM_PictureDigest32(benchmark::State& state) {
    auto world = std::make_unique<World>();
    startGame(*world, 42);
    updateFrame(*world, KeyState{});
    for (auto _ : state) benchmark::DoNotOptimize(lockstep::pictureDigest32(*world));
}
BENCHMARK(BM_PictureDigest32)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SoundDigest32(benchmark::State& state) {
    auto world = std::make_unique<World>();
    startGame(*world, 42);
    std::vector<float> block(kBlockFrames);
    renderAudioBlock(*world, block.data(), kBlockFrames, 0);
    for (auto _ : state) benchmark::DoNotOptimize(lockstep::soundDigest32(block));
}
BENCHMARK(BM_SoundDigest32)->Unit(benchmark::kNanosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
