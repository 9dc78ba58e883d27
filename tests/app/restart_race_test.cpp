// A restart on the main thread while the audio thread renders: no data race
// (run it in the ThreadSanitizer build), every sample finite, and the main
// thread sees the whole new song as soon as newGame returns.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "core/keys.h"
#include "core/random.h"
#include "core/world.h"
#include "game/frame_update.h"
#include "game/new_game.h"
#include "music/sequencer.h"
#include "synth/audio_renderer.h"

namespace vonkel {
namespace {

struct SongFacts {
    int chunksPerStep;
    int roots[4];
    int qualities[4];
    float highSlope;
    float terrainTime;
};

SongFacts factsOf(const World& world) {
    SongFacts f{world.chunksPerStep, {}, {}, world.voices[0].highSlope, world.terrainTime};
    for (int b = 0; b < 4; ++b) {
        f.roots[b] = world.barRoots[b];
        f.qualities[b] = world.barQualities[b];
    }
    return f;
}

TEST(RestartWhileRendering, AudioThreadNeverSeesAHalfWrittenSong) {
    constexpr int kRestarts = 300;
    std::vector<SongFacts> expected;
    auto reference = std::make_unique<World>();
    for (int r = 0; r < kRestarts; ++r) {
        reference->mainRandom.seed(static_cast<uint32_t>(r));
        newGame(*reference);
        expected.push_back(factsOf(*reference));
    }

    auto world = std::make_unique<World>();
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<long> nonFinite{0};
    std::thread audio([&] {
        std::vector<float> out(kBlockFrames);
        uint32_t clock = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            renderAudioBlock(*world, out.data(), kBlockFrames, clock++, sequencerStep);
            for (float s : out)
                if (!std::isfinite(s)) nonFinite.fetch_add(1, std::memory_order_relaxed);
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
    });

    KeyState keys;
    NoSleep noSleep;
    for (int r = 0; r < kRestarts; ++r) {
        world->mainRandom.seed(static_cast<uint32_t>(r));
        newGame(*world);
        const SongFacts seen = factsOf(*world);
        ASSERT_EQ(seen.chunksPerStep, expected[r].chunksPerStep) << r;
        ASSERT_EQ(seen.highSlope, expected[r].highSlope) << r;
        ASSERT_EQ(seen.terrainTime, expected[r].terrainTime) << r;
        for (int b = 0; b < 4; ++b) {
            ASSERT_EQ(seen.roots[b], expected[r].roots[b]) << r;
            ASSERT_EQ(seen.qualities[b], expected[r].qualities[b]) << r;
        }
        ASSERT_EQ(world->masterGain, 0.2f);
        // A few frames between restarts, as the game would play them.
        for (int f = 0; f < 2; ++f) updateFrame(*world, keys, noSleep);
        const long target = blocks.load(std::memory_order_relaxed) + 1;
        while (blocks.load(std::memory_order_relaxed) < target) std::this_thread::yield();
    }
    stop = true;
    audio.join();
    EXPECT_EQ(nonFinite.load(), 0);
    EXPECT_GE(blocks.load(), kRestarts);
    EXPECT_GE(world->stepIndex, 0);
    EXPECT_LT(world->stepIndex, 32);
}

}  // namespace
}  // namespace vonkel
