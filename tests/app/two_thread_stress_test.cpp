// The two real threads at full speed: the main thread plays frames without
// sleeping, dies and restarts, then enters scope mode and restarts there,
// while the audio thread renders blocks as fast as it can. Run it in the
// ThreadSanitizer build: no report, no non-finite sample, and after every
// restart the song in the world is the one that restart composed.
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

::testing::AssertionResult sameSong(const World& a, const World& b) {
    if (a.chunksPerStep != b.chunksPerStep) return ::testing::AssertionFailure() << "tempo";
    if (a.voices[0].highSlope != b.voices[0].highSlope || a.voices[0].lowSlope != b.voices[0].lowSlope)
        return ::testing::AssertionFailure() << "lead voice";
    if (a.animTime != b.animTime) return ::testing::AssertionFailure() << "lead sweep time";
    for (int i = 0; i < 4; ++i)
        if (a.barRoots[i] != b.barRoots[i] || a.barQualities[i] != b.barQualities[i])
            return ::testing::AssertionFailure() << "progression";
    return ::testing::AssertionSuccess();
}

TEST(TwoThreadStress, RestartsAndScopeModeWhileRenderingFlatOut) {
    auto world = std::make_unique<World>();
    world->mainRandom.seed(2026);
    newGame(*world);

    std::atomic<bool> stop{false};
    std::atomic<long> nonFinite{0}, blocks{0};
    std::thread audio([&] {
        std::vector<float> out(kBlockFrames);
        uint32_t clock = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            renderAudioBlock(*world, out.data(), kBlockFrames, clock += 11, sequencerStep);
            for (float s : out)
                if (!std::isfinite(s)) nonFinite.fetch_add(1, std::memory_order_relaxed);
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
    });

    auto reference = std::make_unique<World>();
    int gameOverRestarts = 0, scopeRestarts = 0;
    constexpr int kFrames = 3000;
    NoSleep noSleep;
    for (int f = 0; f < kFrames; ++f) {
        KeyState keys;
        keys.press(ScanCode::Z);  // boost while running, restart as soon as allowed
        if (f % 5 == 0) keys.press(f % 2 ? ScanCode::Left : ScanCode::Down);
        const bool scopePhase = f >= kFrames / 2;
        if (scopePhase && f == kFrames / 2) keys.press(ScanCode::Escape);
        if (!scopePhase && world->gameOverCounter == 0 && f % 120 == 0) world->energy = -2;  // dies in this frame, whatever the ground

        const uint32_t before = world->mainRandom.state();
        const bool scopeBefore = world->scopeMode;
        const bool restartDue = world->gameOverCounter > 60 || (scopeBefore && world->frameCounter > 30);
        ASSERT_TRUE(updateFrame(*world, keys, noSleep));
        if (restartDue) {  // Z is held in every frame
            // A restart is the first thing in its frame to draw numbers: the
            // same generator state composes the same song single-threaded.
            (scopeBefore ? scopeRestarts : gameOverRestarts) += 1;
            reference->mainRandom.seed(before);
            newGame(*reference);
            ASSERT_TRUE(sameSong(*world, *reference)) << "frame " << f;
        }
    }
    stop = true;
    audio.join();
    EXPECT_EQ(nonFinite.load(), 0);
    EXPECT_GT(gameOverRestarts, 5);
    EXPECT_GT(scopeRestarts, 20);
    EXPECT_GT(blocks.load(), 10);
}

}  // namespace
}  // namespace vonkel
