// A restart on the main thread and the audio thread's chunks never overlap:
// the restart waits for the chunk in progress, and a chunk that would start
// during a restart is skipped. Run in the ThreadSanitizer build as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "core/keys.h"
#include "core/random.h"
#include "core/world.h"
#include "game/game.h"
#include "game/new_game.h"
#include "music/sequencer.h"
#include "synth/audio_renderer.h"

namespace vonkel {
namespace {

using namespace std::chrono_literals;

// The song as a restart composes it: tempo, progression and lead voice; and,
// while no audio thread plays it on, its position and patterns.
::testing::AssertionResult sameSong(const World& a, const World& b, bool playedOn = false) {
    if (a.chunksPerStep != b.chunksPerStep) return ::testing::AssertionFailure() << "tempo";
    for (int i = 0; i < 4; ++i)
        if (a.barRoots[i] != b.barRoots[i] || a.barQualities[i] != b.barQualities[i])
            return ::testing::AssertionFailure() << "progression";
    if (a.voices[0].highSlope != b.voices[0].highSlope) return ::testing::AssertionFailure() << "lead voice";
    if (playedOn) return ::testing::AssertionSuccess();
    if (a.stepIndex != b.stepIndex || a.barIndex != b.barIndex) return ::testing::AssertionFailure() << "position";
    for (int i = 0; i < kPatternSteps; ++i)
        if (a.melodyPattern[i] != b.melodyPattern[i] || a.drumPattern[i] != b.drumPattern[i])
            return ::testing::AssertionFailure() << "patterns";
    return ::testing::AssertionSuccess();
}

std::unique_ptr<World> songOf(uint32_t seed) {
    auto world = std::make_unique<World>();
    startGame(*world, seed);
    return world;
}

// The audio thread's step, held inside its chunk: it tells the main thread
// it is there, waits until the main thread's restart has returned (or, while
// the restart rightly waits for this chunk, a while), then plays the step.
std::atomic<bool> insideStep{false};
std::atomic<bool> restartReturned{false};
void heldStep(World& world, Random& random) {
    insideStep = true;
    const auto giveUp = std::chrono::steady_clock::now() + 300ms;
    while (!restartReturned && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
    sequencerStep(world, random);
}

TEST(RestartGate, ARestartWaitsForTheChunkInProgress) {
    insideStep = false;
    restartReturned = false;
    auto world = songOf(1);
    world->chunkCounter = world->chunksPerStep - 1;  // the block's first chunk steps
    std::thread audio([&] {
        std::vector<float> out(kBlockFrames);
        renderAudioBlock(*world, out.data(), kBlockFrames, 0, heldStep);
    });
    while (!insideStep) std::this_thread::yield();
    world->mainRandom.seed(2);
    newGame(*world);
    restartReturned = true;
    audio.join();
    // The held step belongs to the old song: had it run after the restart,
    // the new song would stand one step on.
    EXPECT_TRUE(sameSong(*world, *songOf(2)));
}

TEST(RestartGate, AChunkDuringARestartIsSkipped) {
    auto world = songOf(3);
    const int32_t counted = world->chunkCounter;
    world->restartGate.restarting = true;  // as if newGame were under way on the main thread
    std::vector<float> out(kBlockFrames, 1.0f);
    renderAudioBlock(*world, out.data(), kBlockFrames, 0, [](World&, Random&) { FAIL() << "a step during a restart"; });
    world->restartGate.restarting = false;
    EXPECT_EQ(world->chunkCounter, counted);
    for (float sample : out) ASSERT_EQ(sample, 0.0f);
    EXPECT_FALSE(world->restartGate.audioBusy);
}

// Both real threads flat out: the main thread plays frames without pausing,
// dies and restarts, then restarts in the scope view, while the audio thread
// renders as fast as it can. After every restart the world holds the song
// that restart composed; no sample is ever non-finite.
TEST(RestartGate, RestartsWhileRenderingFlatOut) {
    auto world = songOf(2026);
    std::atomic<bool> stop{false};
    std::atomic<long> nonFinite{0}, blocks{0};
    std::thread audio([&] {
        std::vector<float> out(kBlockFrames);
        for (uint32_t clock = 0; !stop; clock += 11) {
            renderAudioBlock(*world, out.data(), kBlockFrames, clock);
            for (float s : out) nonFinite += !std::isfinite(s);
            ++blocks;
        }
    });

    int restarts[2] = {0, 0};  // after a game over, in the scope view
    constexpr int kFrames = 2000;
    for (int f = 0; f < kFrames; ++f) {
        KeyState keys;
        keys.press(ScanCode::Z);  // boost while running, restart as soon as allowed
        if (f % 5 == 0) keys.press(f % 2 ? ScanCode::Left : ScanCode::Down);
        const bool scopePhase = f >= kFrames / 2;
        if (f == kFrames / 2) keys.press(ScanCode::Escape);
        if (!scopePhase && world->gameOverCounter == 0 && f % 120 == 0) world->energy = -2;  // dies in this frame

        const uint32_t before = world->mainRandom.state();
        const bool restartDue = world->gameOverCounter > 60 || (world->scopeMode && world->frameCounter > 30);
        const bool inScope = world->scopeMode;
        ASSERT_FALSE(updateFrame(*world, keys).quit);
        if (restartDue) {
            // A restart is the first draw of its frame: the same generator
            // state composes the same song on one thread.
            restarts[inScope ? 1 : 0] += 1;
            ASSERT_TRUE(sameSong(*world, *songOf(before), true)) << "frame " << f;
        }
    }
    stop = true;
    audio.join();
    EXPECT_EQ(nonFinite.load(), 0);
    EXPECT_GT(restarts[0], 5);
    EXPECT_GT(restarts[1], 20);
    EXPECT_GT(blocks.load(), 10);
}

}  // namespace
}  // namespace vonkel
