#include <gtest/gtest.h>

#include <vector>

#include "core/keys.h"
#include "game/new_game.h"
#include "lockstep/simulated_run.h"

namespace vonkel::lockstep {
namespace {

// Renders (on paper) the due blocks of the current frame and returns them.
std::vector<int64_t> takeDueBlocks(SimulatedClock& clock) {
    std::vector<int64_t> blocks;
    while (const auto block = clock.nextDueBlock()) {
        blocks.push_back(*block);
        clock.blockRendered();
    }
    return blocks;
}

using Blocks = std::vector<int64_t>;

// Plays frames of 16 ms, rendering the blocks due in each.
void playFrames(SimulatedClock& clock, int frames) {
    for (int frame = 0; frame < frames; ++frame) {
        takeDueBlocks(clock);
        clock.frameEnded(16);
    }
}

struct Frame {
    int lengthMs;  // what the frame asked for
    int64_t nextStartMs;
    Blocks dueInNext;
};

// Block 0 is due in frame 0; then each frame ends and the next one starts.
void expectFrames(const std::vector<Frame>& frames) {
    SimulatedClock clock;
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{0}));
    for (const Frame& f : frames) {
        clock.frameEnded(f.lengthMs);
        EXPECT_EQ(clock.frameStartMs(), f.nextStartMs);
        EXPECT_EQ(takeDueBlocks(clock), f.dueInNext) << "frame at " << f.nextStartMs;
    }
    EXPECT_EQ(clock.frameIndex(), static_cast<int64_t>(frames.size()));
}

// Block k starts at k x 11.6099773... ms: 0, 11.61, 23.22, 34.83, 46.44,
// 58.05, 69.66, 81.27, 92.88, 104.49, 116.10 ...
TEST(SimulatedClock, RendersTheBlocksThatStartedByEachFrameAndAFrameLastsWhatItAskedButAtLeast16Ms) {
    expectFrames({{16, 16, {1}}, {0, 32, {2}}, {10, 48, {3, 4}}});
    expectFrames({{16, 16, {1}}, {16, 32, {2}}, {25, 57, {3, 4}}, {25, 82, {5, 6, 7}}, {25, 107, {8, 9}},
                  {16, 123, {10}}});
    expectFrames({{40, 40, {1, 2, 3}}, {16, 56, {4}}, {-5, 72, {5, 6}}});  // a negative length counts as 16
}

TEST(SimulatedClock, ComparesBlockStartsExactly) {
    // Block 441 starts at exactly 441 x 512000 / 44100 = 5120 ms.
    EXPECT_TRUE(SimulatedClock::blockStartsBy(441, 5120));
    EXPECT_FALSE(SimulatedClock::blockStartsBy(441, 5119));
    EXPECT_FALSE(SimulatedClock::blockStartsBy(442, 5120));
    EXPECT_TRUE(SimulatedClock::blockStartsBy(0, 0));
    EXPECT_FALSE(SimulatedClock::blockStartsBy(1, 11));
    EXPECT_TRUE(SimulatedClock::blockStartsBy(1, 12));

    // Frame 320 of an all-16 ms run starts at 5120 ms and must see block 441
    // as well as block 440 (5108.4 ms); frame 319 (5104 ms) saw up to 439.
    SimulatedClock clock;
    playFrames(clock, 320);
    EXPECT_EQ(clock.frameStartMs(), 5120);
    EXPECT_EQ(clock.blocksRendered(), 440);
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{440, 441}));
}

TEST(SimulatedClock, KeepsPaceWithTheSampleRateOverALongRun) {
    // After one hour of 16 ms frames (225000 frames), the blocks rendered are
    // those that started by 3600000 ms: floor(3600000 x 44100 / 512000) + 1.
    SimulatedClock clock;
    playFrames(clock, 225000);
    EXPECT_EQ(clock.frameStartMs(), 3'600'000);
    takeDueBlocks(clock);
    EXPECT_EQ(clock.blocksRendered(), 310078 + 1);
}

TEST(SimulatedClock, ClockValueIsTheFloorOfTheBlockStartPlusTheBaseAndWraps) {
    const SimulatedClock clock;
    EXPECT_EQ(clock.blockClockMs(0), 0u);
    EXPECT_EQ(clock.blockClockMs(1), 11u);    // 11.61
    EXPECT_EQ(clock.blockClockMs(86), 998u);  // 998.46
    EXPECT_EQ(clock.blockClockMs(87), 1010u);  // 1010.07
    EXPECT_EQ(clock.blockClockMs(441), 5120u);  // exact

    const SimulatedClock based(1000);
    EXPECT_EQ(based.blockClockMs(0), 1000u);
    EXPECT_EQ(based.blockClockMs(2), 1023u);  // 23.22

    // The value wraps at 32 bits.
    const SimulatedClock high(0xFFFFFFF0u);
    EXPECT_EQ(high.blockClockMs(0), 0xFFFFFFF0u);
    EXPECT_EQ(high.blockClockMs(1), 0xFFFFFFFBu);  // + 11
    EXPECT_EQ(high.blockClockMs(2), 7u);           // + 23 wraps
    const SimulatedClock top(0xFFFFFFFFu);
    EXPECT_EQ(top.blockClockMs(1), 10u);
}

TEST(SimulatedClock, StopsAtTheBlockLimit) {
    SimulatedClock clock;
    for (int frame = 0; frame < 10; ++frame) clock.frameEnded(16);  // 160 ms: blocks 0..13 due
    int64_t count = 0;
    while (const auto block = clock.nextDueBlock(5)) {
        EXPECT_EQ(*block, count);
        clock.blockRendered();
        ++count;
    }
    EXPECT_EQ(count, 5);
    EXPECT_FALSE(clock.nextDueBlock(5).has_value());
    EXPECT_EQ(clock.nextDueBlock(), std::optional<int64_t>(5));
}

// The game sets the pace: 16 ms in play, 25 ms in the scope view, from the
// frame that opens it on.
TEST(SimulatedRun, FramesLastWhatTheGameAskedAndBlocksKeepTheirClock) {
    std::vector<uint32_t> clocks;
    SimulatedRun run(4242, 100, [&](const RenderedBlock& b) { clocks.push_back(b.clockMs); });
    run.start();
    KeyState escape;
    escape.press(ScanCode::Escape);
    std::vector<int64_t> starts;
    for (int f = 0; f < 6; ++f) {
        starts.push_back(run.clock().frameStartMs());
        ASSERT_TRUE(run.playFrame(f == 3 ? escape : KeyState{}));
    }
    EXPECT_EQ(starts, (std::vector<int64_t>{0, 16, 32, 48, 73, 98}));
    EXPECT_EQ(run.clock().frameStartMs(), 123);
    ASSERT_EQ(clocks.size(), 9u);  // blocks 0..8 started by 98 ms
    for (size_t k = 0; k < clocks.size(); ++k) EXPECT_EQ(clocks[k], 100u + static_cast<uint32_t>(k * 512000 / 44100));
}

TEST(SimulatedRun, AudioBlocksNeverDisturbTheMainGenerator) {
    // After newGame and many blocks, the main generator stands where newGame
    // alone left it.
    SimulatedRun run(4242, 100);
    run.start();
    for (int f = 0; f < 30; ++f) run.sweepFrame(std::nullopt);
    EXPECT_EQ(run.clock().blocksRendered(), 40);  // 30 frames reach 464 ms: blocks 0..39

    auto world = std::make_unique<World>();
    world->mainRandom.seed(4242);
    newGame(*world);
    EXPECT_EQ(run.world().mainRandom.state(), world->mainRandom.state());
}

}  // namespace
}  // namespace vonkel::lockstep
