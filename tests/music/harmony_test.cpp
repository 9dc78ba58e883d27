// Note periods, chord shapes, and the start of a new song.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/random.h"
#include "core/world.h"
#include "music/harmony.h"
#include "music/patterns.h"

namespace vonkel {
namespace {

TEST(NotePeriodTable, EqualTemperedPeriodsAtTheInternalRate) {
    Random random;
    auto world = std::make_unique<World>();
    random.seed(1);
    resetSong(*world, random);
    EXPECT_FLOAT_EQ(world->NotePeriodTable[0], 6414.5454f);
    EXPECT_FLOAT_EQ(world->NotePeriodTable[12], 3207.2727f);
    EXPECT_FLOAT_EQ(world->NotePeriodTable[24], 1603.6364f);
    EXPECT_FLOAT_EQ(world->NotePeriodTable[36], 801.8182f);
    EXPECT_FLOAT_EQ(world->NotePeriodTable[48], 400.9091f);
    EXPECT_FLOAT_EQ(world->NotePeriodTable[50], 357.1694f);
    EXPECT_FLOAT_EQ(world->NotePeriodTable[80], 63.139225f);
    EXPECT_FLOAT_EQ(world->NotePeriodTable[119], 6.6366935f);
    for (int k = 0; k < kNoteCount; ++k) {
        const float exact = static_cast<float>(176400.0 / (27.5 * std::pow(2.0, k / 12.0)));
        EXPECT_EQ(world->NotePeriodTable[k], exact) << k;
    }
}

TEST(ResetSong, StartsANewSongAtItsFirstStep) {
    Random random;
    auto world = std::make_unique<World>();
    for (uint32_t seed = 0; seed < 300; ++seed) {
        world->beatFlag = true;
        world->stepIndex = 17;
        world->barIndex = 2;
        world->chunkCounter = 30;
        random.seed(seed);
        resetSong(*world, random);
        ASSERT_EQ(world->stepIndex, 0);
        ASSERT_EQ(world->barIndex, 0);
        ASSERT_EQ(world->chunkCounter, 0);
        ASSERT_GE(world->chunksPerStep, 37);
        ASSERT_LE(world->chunksPerStep, 47);
        ASSERT_EQ(world->currentRoot, world->barRoots[0]);
        ASSERT_EQ(world->currentQuality, world->barQualities[0]);
        for (int b = 0; b < 4; ++b) {
            ASSERT_GE(world->barRoots[b], 0);
            ASSERT_LE(world->barRoots[b], 11);
            ASSERT_GE(world->barQualities[b], 0);
            ASSERT_LE(world->barQualities[b], 2);
        }
        ASSERT_TRUE(world->beatFlag);  // left as it was
    }
}

TEST(NoteIndex, OutsideTheTableMovesByWholeOctaves) {
    EXPECT_EQ(noteIndexInTable(0), 0);
    EXPECT_EQ(noteIndexInTable(119), 119);
    EXPECT_EQ(noteIndexInTable(120), 108);
    EXPECT_EQ(noteIndexInTable(131), 119);
    EXPECT_EQ(noteIndexInTable(132), 108);
    EXPECT_EQ(noteIndexInTable(-1), 11);
    EXPECT_EQ(noteIndexInTable(-12), 0);
    EXPECT_EQ(noteIndexInTable(-13), 11);
    for (int i = -500; i < 700; ++i) {
        const int j = noteIndexInTable(i);
        ASSERT_GE(j, 0);
        ASSERT_LT(j, kNoteCount);
        ASSERT_EQ(((i - j) % 12 + 12) % 12, 0) << i;  // same pitch class
    }
}

}  // namespace
}  // namespace vonkel
