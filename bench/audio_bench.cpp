// Real-time factor of the audio block renderer: seconds of audio rendered
// per second of CPU (counter "realtime_x").
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "core/random.h"
#include "core/world.h"
#include "game/game.h"
#include "game/new_game.h"
#include "synth/voice.h"
#include "synth/voice_render_paths.h"

namespace {
using namespace vonkel;

void reportRealTime(benchmark::State& state, int blocks) {
    const double audioSeconds = static_cast<double>(blocks) * kBlockFrames / kSampleRate;
    state.counters["realtime_x"] =
        benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);  // audio seconds per CPU second
}

// Runs the benchmark on one voice rendering path (automatic: the one the
// game takes), or skips it where the processor lacks the path.
class ForcedPath {
public:
    ForcedPath(benchmark::State& state, VoiceRenderPath path) : supported_(voiceRenderPathSupported(path)) {
        detail::forcedVoiceRenderPath = path;
        if (!supported_) state.SkipWithError("this processor lacks the path");
    }
    ~ForcedPath() { detail::forcedVoiceRenderPath = VoiceRenderPath::automatic; }
    ForcedPath(const ForcedPath&) = delete;
    ForcedPath& operator=(const ForcedPath&) = delete;
    bool supported() const { return supported_; }

private:
    bool supported_;
};

// Every voice sounding and held at a steady level, the noise voice included.
void allEightVoices(benchmark::State& state, VoiceRenderPath path) {
    const ForcedPath forced(state, path);
    if (!forced.supported()) return;
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
        renderAudioBlock(*world, out.data(), kBlockFrames, clock++);
        benchmark::DoNotOptimize(out.data());
        // Keep every voice sounding; the kick's pitch falls while it sounds,
        // so give it its start pitch again, as each kick of a song does.
        for (int k = 0; k < kVoiceCount; ++k) world->voices[k].amplitude = 0.1f;
        world->voices[3].period = world->NotePeriodTable[50];
        ++blocks;
    }
    reportRealTime(state, blocks);
}
void BM_AllEightVoices(benchmark::State& state) { allEightVoices(state, VoiceRenderPath::automatic); }
BENCHMARK(BM_AllEightVoices);
BENCHMARK_CAPTURE(allEightVoices, scalar, VoiceRenderPath::scalar);
BENCHMARK_CAPTURE(allEightVoices, avx2, VoiceRenderPath::avx2);
BENCHMARK_CAPTURE(allEightVoices, avx512, VoiceRenderPath::avx512);

// A song as it plays: the sequencer steps, voices come and go.
void typicalSong(benchmark::State& state, VoiceRenderPath path) {
    const ForcedPath forced(state, path);
    if (!forced.supported()) return;
    auto world = std::make_unique<World>();
    world->mainRandom.seed(2);
    newGame(*world);
    std::vector<float> out(kBlockFrames);
    uint32_t clock = 0;
    int blocks = 0;
    for (auto _ : state) {
        renderAudioBlock(*world, out.data(), kBlockFrames, clock++);
        benchmark::DoNotOptimize(out.data());
        ++blocks;
    }
    reportRealTime(state, blocks);
}
void BM_TypicalSong(benchmark::State& state) { typicalSong(state, VoiceRenderPath::automatic); }
BENCHMARK(BM_TypicalSong);
BENCHMARK_CAPTURE(typicalSong, scalar, VoiceRenderPath::scalar);
BENCHMARK_CAPTURE(typicalSong, avx2, VoiceRenderPath::avx2);
BENCHMARK_CAPTURE(typicalSong, avx512, VoiceRenderPath::avx512);

}  // namespace
