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

TEST(ChordTable, ThreeTriadsWithUnusedSlotsZero) {
    Random random;
    auto world = std::make_unique<World>();
    for (int q = 0; q < 3; ++q) world->chords.chordIntervals[q][4] = 9;
    resetSong(*world, random);
    const int rows[3][3] = {{0, 4, 7}, {0, 3, 7}, {0, 5, 7}};
    for (int q = 0; q < 3; ++q) {
        EXPECT_EQ(world->chords.chordSizes[q], 3);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(world->chords.chordIntervals[q][i], rows[q][i]);
        for (int i = 3; i < 6; ++i) EXPECT_EQ(world->chords.chordIntervals[q][i], 0);
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

// The draws after the melody come in a fixed order: eight for the bars
// (quality before root), one for the tempo, one for the bass style, then
// exactly 24 for the drums.
TEST(ResetSong, DrawOrderAfterTheMelody) {
    Random random;
    auto world = std::make_unique<World>();
    random.seed(4711);
    resetSong(*world, random);
    const uint32_t end = random.state();

    // Replay: find where the melody's draws end by running the same draws.
    auto probe = std::make_unique<World>();
    random.seed(4711);
    makeMelodyPattern(*probe, random);
    int qualities[4], roots[4];
    for (int b = 0; b < 4; ++b) {
        qualities[b] = random.draw() % 3;
        roots[b] = random.draw() % 12;
    }
    const int tempo = random.draw() % 11 + 37;
    const bool offbeat = random.draw() % 2 == 1;
    for (int i = 0; i < 24; ++i) random.draw();
    EXPECT_EQ(random.state(), end);
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(world->barQualities[b], qualities[b]);
        EXPECT_EQ(world->barRoots[b], roots[b]);
    }
    EXPECT_EQ(world->chunksPerStep, tempo);
    EXPECT_EQ(world->bassOffbeat, offbeat);
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
