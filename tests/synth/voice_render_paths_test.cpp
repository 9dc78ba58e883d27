// Every instruction-set path of the voice renderer against the scalar path
// rendering one voice at a time: the same samples and voice states, bit for
// bit, side by side and one by one, for whole chunks and for short ones.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/random.h"
#include "core/world.h"
#include "game/new_game.h"
#include "music/sequencer.h"
#include "synth/audio_renderer.h"
#include "synth/voice.h"
#include "synth/voice_render_paths.h"

namespace vonkel {
namespace {

// Forces a path for the life of the object.
class ForcedPath {
public:
    explicit ForcedPath(VoiceRenderPath path) { detail::forcedVoiceRenderPath = path; }
    ~ForcedPath() { detail::forcedVoiceRenderPath = VoiceRenderPath::automatic; }
    ForcedPath(const ForcedPath&) = delete;
    ForcedPath& operator=(const ForcedPath&) = delete;
};

// Eight voices in varied states: ramps, noise, the kick, envelopes running,
// periods and tones that differ, some voices in the middle of a period.
void setUpEnsemble(World& world, uint32_t seed, bool withNoise) {
    world.mainRandom.seed(seed);
    newGame(world);
    for (int k = 0; k < kVoiceCount; ++k) {
        Voice& v = world.voices[k];
        v.period = 7.0f + static_cast<float>(world.mainRandom.draw() % 3000) * 0.37f;
        v.amplitude = 0.001f + static_cast<float>(world.mainRandom.draw() % 100) * 0.002f;
        v.attacking = world.mainRandom.draw() % 2 == 0;
        v.decaying = world.mainRandom.draw() % 2 == 0;
        v.counter = world.mainRandom.draw() % 5;
        setVoiceTone(world, k, static_cast<float>(world.mainRandom.draw() % 100) / 99.0f, 0.5f,
                     static_cast<float>(world.mainRandom.draw() % 100) / 120.0f);
        if (!withNoise) v.noise = false;
    }
    // Some seeds give very short periods, so that part starts crowd together
    // and fall on the same samples as ticks.
    if (seed % 5 == 0) world.voices[seed % kVoiceCount].period = static_cast<float>(seed % 4);
}

struct Case {
    uint32_t seed;
    bool withNoise;
    int voices;  // voices 0 .. voices-1 render
    std::vector<int> blocks;  // frames per call
};

struct Rendered {
    std::vector<float> out;
    std::vector<float> state;
};

Rendered render(const Case& c, VoiceRenderPath path, bool together) {
    const ForcedPath forced(path);
    auto world = std::make_unique<World>();
    setUpEnsemble(*world, c.seed, c.withNoise);
    int total = 0;
    for (int frames : c.blocks) total += frames;
    Rendered r{std::vector<float>(static_cast<size_t>(total), 0.0f), {}};
    Random noise(c.seed + 1);  // the noise voice's draws
    float* out = r.out.data();
    for (int frames : c.blocks) {
        if (together) {
            Voice* voices[kVoiceCount];
            bool kick[kVoiceCount];
            for (int k = 0; k < c.voices; ++k) {
                voices[k] = &world->voices[k];
                kick[k] = k == 3;
            }
            renderVoices(voices, kick, c.voices, out, frames, noise);
        } else {
            for (int k = 0; k < c.voices; ++k) renderVoice(world->voices[k], out, frames, k == 3, noise);
        }
        out += frames;
    }
    r.state.push_back(static_cast<float>(noise.state()));
    for (const Voice& v : world->voices) {
        for (float x : {v.amplitude.load(), v.period.load(), v.oscValue.load(), v.step.load(), v.filterPos.load(),
                        v.filterVel.load(), static_cast<float>(v.counter.load()),
                        static_cast<float>(v.periodSamples.load()), static_cast<float>(v.highSamples.load()),
                        static_cast<float>(v.inLowPhase.load()), static_cast<float>(v.attacking.load()),
                        static_cast<float>(v.decaying.load())})
            r.state.push_back(x);
    }
    return r;
}

std::vector<Case> cases() {
    std::vector<Case> all;
    const std::vector<int> chunks(6, 128);
    const std::vector<int> uneven = {100, 128, 37, 5, 1, 64, 128, 33, 96, 4};
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        all.push_back({seed, true, kVoiceCount, chunks});
        all.push_back({seed, seed % 2 == 0, 1 + static_cast<int>(seed % kVoiceCount), uneven});
    }
    all.push_back({41, false, kVoiceCount, chunks});
    all.push_back({42, false, kVoiceCount, {512, 300}});  // longer than a chunk: one voice at a time
    return all;
}

std::string pathName(VoiceRenderPath path) {
    switch (path) {
        case VoiceRenderPath::scalar: return "Scalar";
        case VoiceRenderPath::avx2: return "Avx2";
        case VoiceRenderPath::avx512: return "Avx512";
        default: return "Automatic";
    }
}

class VoiceRenderPathTest : public ::testing::TestWithParam<VoiceRenderPath> {
protected:
    void SetUp() override {
        if (!voiceRenderPathSupported(GetParam())) GTEST_SKIP() << "this processor lacks the " << pathName(GetParam()) << " path";
    }
};

TEST_P(VoiceRenderPathTest, RunsWhenForced) {
    const ForcedPath forced(GetParam());
    EXPECT_EQ(activeVoiceRenderPath(), GetParam());
}

// Side by side and one by one, every sample and every voice field equal the
// scalar path's one voice at a time; and the ensemble is heard.
TEST_P(VoiceRenderPathTest, MatchesScalarOneByOne) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(::testing::Message() << "seed " << c.seed << ", " << c.voices << " voices, noise " << c.withNoise);
        const Rendered reference = render(c, VoiceRenderPath::scalar, false);
        const Rendered together = render(c, GetParam(), true);
        const Rendered alone = render(c, GetParam(), false);
        ASSERT_EQ(together.out, reference.out);
        ASSERT_EQ(together.state, reference.state);
        ASSERT_EQ(alone.out, reference.out);
        ASSERT_EQ(alone.state, reference.state);
        bool sounding = false;
        for (float s : reference.out) sounding |= s != 0.0f;
        ASSERT_TRUE(sounding);
    }
}

// A song as it plays, voices coming and going: every block equals the
// scalar path's.
TEST_P(VoiceRenderPathTest, SongMatchesScalar) {
    std::vector<float> rendered[2];
    const VoiceRenderPath paths[2] = {VoiceRenderPath::scalar, GetParam()};
    for (int p = 0; p < 2; ++p) {
        const ForcedPath forced(paths[p]);
        auto world = std::make_unique<World>();
        world->mainRandom.seed(2024);
        newGame(*world);
        world->masterGain = 1.0f;
        std::vector<float>& samples = rendered[p];
        std::vector<float> block(kBlockFrames);
        for (uint32_t n = 0; n < 300; ++n) {
            renderAudioBlock(*world, block.data(), kBlockFrames, 5000u + 12u * n, sequencerStep);
            samples.insert(samples.end(), block.begin(), block.end());
        }
    }
    ASSERT_EQ(rendered[1], rendered[0]);
    bool sounding = false;
    for (float x : rendered[0]) sounding |= x != 0.0f;
    EXPECT_TRUE(sounding);
}

INSTANTIATE_TEST_SUITE_P(Paths, VoiceRenderPathTest,
                         ::testing::Values(VoiceRenderPath::avx2, VoiceRenderPath::avx512),
                         [](const ::testing::TestParamInfo<VoiceRenderPath>& info) { return pathName(info.param); });

TEST(VoiceRenderPaths, UnsupportedPathFallsBackToOneThatRuns) {
    for (VoiceRenderPath path : {VoiceRenderPath::automatic, VoiceRenderPath::scalar, VoiceRenderPath::avx2,
                                 VoiceRenderPath::avx512}) {
        const ForcedPath forced(path);
        const VoiceRenderPath active = activeVoiceRenderPath();
        EXPECT_NE(active, VoiceRenderPath::automatic);
        EXPECT_TRUE(voiceRenderPathSupported(active)) << pathName(path);
        if (path != VoiceRenderPath::automatic && voiceRenderPathSupported(path)) {
            EXPECT_EQ(active, path);
        }
    }
}

}  // namespace
}  // namespace vonkel
