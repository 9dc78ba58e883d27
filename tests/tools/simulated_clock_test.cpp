#include <gtest/gtest.h>

#include <vector>

#include "tools/simulation.h"

namespace vonkel::lab {
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

// Block k starts at k x 11.6099773... ms: 0, 11.61, 23.22, 34.83, 46.44,
// 58.05, 69.66, 81.27, 92.88, 104.49, 116.10 ...
TEST(SimulatedClock, RendersTheBlocksThatStartedByEachFrame) {
    SimulatedClock clock;
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{0}));  // frame 0 at 0 ms
    clock.frameEnded(false);
    EXPECT_EQ(clock.frameStartMs(), 16);
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{1}));
    clock.frameEnded(false);
    EXPECT_EQ(clock.frameStartMs(), 32);
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{2}));
    clock.frameEnded(false);
    EXPECT_EQ(clock.frameStartMs(), 48);
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{3, 4}));
    EXPECT_EQ(clock.frameIndex(), 3);
}

TEST(SimulatedClock, AFrameThatEndsInScopeModeLasts25Ms) {
    SimulatedClock clock;
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{0}));
    clock.frameEnded(false);  // frame 1 at 16
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{1}));
    clock.frameEnded(false);  // frame 2 at 32
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{2}));
    clock.frameEnded(true);  // frame 2 entered scope mode: frame 3 at 57
    EXPECT_EQ(clock.frameStartMs(), 57);
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{3, 4}));
    clock.frameEnded(true);  // frame 4 at 82
    EXPECT_EQ(clock.frameStartMs(), 82);
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{5, 6, 7}));
    clock.frameEnded(true);  // frame 5 at 107
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{8, 9}));
    clock.frameEnded(false);  // frame 6 at 123
    EXPECT_EQ(clock.frameStartMs(), 123);
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{10}));
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
    for (int frame = 0; frame < 320; ++frame) {
        takeDueBlocks(clock);
        clock.frameEnded(false);
    }
    EXPECT_EQ(clock.frameStartMs(), 5120);
    EXPECT_EQ(clock.blocksRendered(), 440);
    EXPECT_EQ(takeDueBlocks(clock), (Blocks{440, 441}));
}

TEST(SimulatedClock, KeepsPaceWithTheSampleRateOverALongRun) {
    // After one hour of 16 ms frames (225000 frames), the blocks rendered are
    // those that started by 3600000 ms: floor(3600000 x 44100 / 512000) + 1.
    SimulatedClock clock;
    for (int frame = 0; frame < 225000; ++frame) {
        takeDueBlocks(clock);
        clock.frameEnded(false);
    }
    EXPECT_EQ(clock.frameStartMs(), 3'600'000);
    takeDueBlocks(clock);
    EXPECT_EQ(clock.blocksRendered(), 310078 + 1);
}

TEST(SimulatedClock, ClockValueIsTheFloorOfTheBlockStartPlusTheBase) {
    const SimulatedClock clock;
    EXPECT_EQ(clock.blockClockMs(0), 0u);
    EXPECT_EQ(clock.blockClockMs(1), 11u);    // 11.61
    EXPECT_EQ(clock.blockClockMs(86), 998u);  // 998.46
    EXPECT_EQ(clock.blockClockMs(87), 1010u);  // 1010.07
    EXPECT_EQ(clock.blockClockMs(441), 5120u);  // exact

    const SimulatedClock based(1000);
    EXPECT_EQ(based.blockClockMs(0), 1000u);
    EXPECT_EQ(based.blockClockMs(2), 1023u);  // 23.22
}

TEST(SimulatedClock, ClockValueWrapsAt32Bits) {
    const SimulatedClock clock(0xFFFFFFF0u);
    EXPECT_EQ(clock.blockClockMs(0), 0xFFFFFFF0u);
    EXPECT_EQ(clock.blockClockMs(1), 0xFFFFFFFBu);  // + 11
    EXPECT_EQ(clock.blockClockMs(2), 7u);           // + 23 wraps
    const SimulatedClock top(0xFFFFFFFFu);
    EXPECT_EQ(top.blockClockMs(1), 10u);
}

TEST(SimulatedClock, StopsAtTheBlockLimit) {
    SimulatedClock clock;
    for (int frame = 0; frame < 10; ++frame) clock.frameEnded(false);  // 160 ms: blocks 0..13 due
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

}  // namespace
}  // namespace vonkel::lab
