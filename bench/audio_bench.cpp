// Real-time factor of the audio block renderer: seconds of audio rendered
// per second of CPU (counter "realtime_x").
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "core/random.h"
#include "core/world.h"
#include "game/new_game.h"
#include "music/sequencer.h"
#include "synth/audio_renderer.h"
#include "synth/voice.h"

namespace {
using namespace vonkel;

void reportRealTime(benchmark::State& state, int blocks) {
    const double audioSeconds = static_cast<double>(blocks) * kBlockFrames / kSampleRate;
    state.counters["realtime_x"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);  // audio seconds per CPU second
}

// Every voice sounding and held at a steady level, the noise voice included.
void BM_AllEightVoices(benchmark::State& state) {
    auto world = std::make_unique<World>();
    world->mainRandom.seed(1);
    newGame(*world);
    world->chunksPerStep = 0;  // no steps: keep all eight voices sounding
    for (int k = 0; k < kVoiceCount; ++k) {
        Voice& v = world->voices[k];
        v.amplitude = 0.1f;
        v.period = world->NotePeriodTable[24 + 5 * k];
        v.highLevel = 1.0f;
        v.highSlope = -2.0f;
        v.attacking = false;
        v.decaying = false;
    }
    std::vector<float> out(kBlockFrames);
    uint32_t clock = 0;
    int blocks = 0;
    for (auto _ : state) {
        renderAudioBlock(*world, out.data(), kBlockFrames, clock++, sequencerStep);
        benchmark::DoNotOptimize(out.data());
        // Keep every voice sounding; the kick's pitch falls while it sounds,
        // so give it its start pitch again, as each kick of a song does.
        for (int k = 0; k < kVoiceCount; ++k) world->voices[k].amplitude = 0.1f;
        world->voices[3].period = world->NotePeriodTable[50];
        ++blocks;
    }
    reportRealTime(state, blocks);
}
BENCHMARK(BM_AllEightVoices);

// A song as it plays: the sequencer steps, voices come and go.
void BM_TypicalSong(benchmark::State& state) {
    auto world = std::make_unique<World>();
    world->mainRandom.seed(2);
    newGame(*world);
    std::vector<float> out(kBlockFrames);
    uint32_t clock = 0;
    int blocks = 0;
    for (auto _ : state) {
        renderAudioBlock(*world, out.data(), kBlockFrames, clock++, sequencerStep);
        benchmark::DoNotOptimize(out.data());
        ++blocks;
    }
    reportRealTime(state, blocks);
}
BENCHMARK(BM_TypicalSong);

}  // namespace
