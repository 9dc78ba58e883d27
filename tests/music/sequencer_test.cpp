// The step sequencer: pitches, voice conventions, beats, bar and phrase ends.
#include <gtest/gtest.h>

#include <memory>

#include "core/random.h"
#include "core/world.h"
#include "game/new_game.h"
#include "music/harmony.h"
#include "music/sequencer.h"

namespace vonkel {
namespace {

// A song with a known chord and patterns: root 3, minor, melody length 32.
void setUpKnownSong(World& w) {
    w.mainRandom.seed(2024);
    newGame(w);
    w.currentRoot = 3;
    w.currentQuality = 1;
    w.melodyLength = 32;
    for (int i = 0; i < kPatternSteps; ++i) {
        w.melodyPattern[i] = -1;
        w.drumPattern[i] = 0;
    }
    w.bassOffbeat = true;
}

std::unique_ptr<World> knownSong() {
    auto world = std::make_unique<World>();
    setUpKnownSong(*world);
    return world;
}

float period(const World& world, int index) { return world.NotePeriodTable[index]; }

TEST(SequencerPitch, WorkedPitchesOverAMinorChordOnThree) {
    Random random;
    auto world = knownSong();
    world->melodyPattern[0] = 4;  // octave 1, interval 3
    random.seed(0);
    sequencerStep(*world, random);
    EXPECT_EQ(world->voices[0].period, period(*world, 42));
    EXPECT_FLOAT_EQ(world->voices[0].period, 566.97107f);
    EXPECT_EQ(world->voices[1].period, period(*world, 15));  // bass on the beat

    world->stepIndex = 2;
    sequencerStep(*world, random);
    EXPECT_EQ(world->voices[1].period, period(*world, 27));  // bass off the beat

    // Chord tone at step 0 of bar 0: the first draw is taken and ignored, the
    // second picks the interval.
    for (uint32_t seed = 0; seed < 100; ++seed) {
        random.seed(seed);
        random.draw();
        if (random.draw() % 3 != 2) continue;
        world->stepIndex = 0;
        world->barIndex = 0;
        random.seed(seed);
        sequencerStep(*world, random);
        EXPECT_EQ(world->voices[2].period, period(*world, 46));
        return;
    }
    FAIL() << "no seed picked the fifth";
}

TEST(SequencerPitch, NegativePositionsSoundTheRoot) {
    Random random;
    auto world = knownSong();
    const int cases[][2] = {{-2, 27}, {0, 27}, {-3, 15}, {-5, 15}, {-6, 3}, {2, 34}, {5, 46}};
    for (const auto& c : cases) {
        world->stepIndex = 1;
        world->melodyPattern[1] = c[0];
        sequencerStep(*world, random);
        EXPECT_EQ(world->voices[0].period, period(*world, c[1])) << c[0];
    }
}

TEST(SequencerPitch, IndicesOutsideTheTableKeepTheirPitchClass) {
    Random random;
    auto world = knownSong();
    world->currentRoot = 200;  // many transpositions up
    world->stepIndex = 1;
    world->melodyPattern[1] = 34;
    sequencerStep(*world, random);
    const int index = 24 + 12 * 11 + 4 + 200;  // position 34 of a minor chord: octave 11, fifth... (34 % 3 = 1)
    EXPECT_EQ(world->voices[0].period, period(*world, noteIndexInTable(index - 4 + 3)));
    world->currentRoot = 0;
    world->stepIndex = 1;
    world->melodyPattern[1] = -34;  // 24 - 12 x 11 = -108
    sequencerStep(*world, random);
    EXPECT_EQ(world->voices[0].period, period(*world, noteIndexInTable(24 - 132)));
}

TEST(SequencerMelody, LoopLengthRepeatsEntriesAndRestsOnlyRelease) {
    Random random;
    auto world = knownSong();
    world->melodyLength = 8;
    world->melodyPattern[0] = 1;
    world->melodyPattern[8] = 2;  // beyond the loop: never played
    for (int s : {0, 8, 16, 24}) {
        world->stepIndex = s;
        world->voices[0].period = 1.0f;
        sequencerStep(*world, random);
        EXPECT_EQ(world->voices[0].period, period(*world, 24 + 3 + 3)) << s;
        EXPECT_FALSE(world->voices[0].decaying);
        EXPECT_TRUE(world->voices[0].attacking);
    }
    world->stepIndex = 1;  // entry 1 is a rest
    world->voices[0].period = 1.0f;
    sequencerStep(*world, random);
    EXPECT_EQ(world->voices[0].period, 1.0f);
    EXPECT_TRUE(world->voices[0].decaying);
}

TEST(SequencerDrums, KickAndNoiseEnvelopeConventions) {
    Random random;
    auto world = knownSong();
    world->drumPattern[4] = 1;
    world->drumPattern[5] = 2;
    world->drumPattern[6] = 3;
    world->stepIndex = 4;
    sequencerStep(*world, random);  // kick
    EXPECT_FALSE(world->voices[3].decaying);
    EXPECT_EQ(world->voices[3].period, period(*world, 50));
    EXPECT_TRUE(world->voices[5].decaying);
    sequencerStep(*world, random);  // noise only
    EXPECT_TRUE(world->voices[3].decaying);
    EXPECT_TRUE(world->voices[5].decaying);
    EXPECT_TRUE(world->voices[5].attacking);
    EXPECT_EQ(world->voices[5].period, period(*world, 50));
    sequencerStep(*world, random);  // both
    EXPECT_FALSE(world->voices[3].decaying);
    EXPECT_TRUE(world->voices[5].decaying && world->voices[5].attacking);
}

TEST(SequencerBeat, BeatFlagOnEveryFourthStepAndBassLeftAloneBetween) {
    Random random;
    auto world = knownSong();
    world->bassOffbeat = false;
    for (int s = 0; s < kPatternSteps - 1; ++s) {
        world->beatFlag = false;
        world->voices[1].decaying = false;
        world->voices[1].attacking = false;
        sequencerStep(*world, random);
        EXPECT_EQ(world->beatFlag, s % 4 == 0) << s;
        EXPECT_EQ(world->voices[1].attacking, s % 4 == 0) << s;
        EXPECT_EQ(world->voices[1].decaying, s % 4 == 2) << s;  // released off the beat without the offbeat bass
    }
}

TEST(SequencerChordTone, AlwaysOnTheFirstStepOfAPhraseReleasedThreeStepsLater) {
    Random random;
    auto world = std::make_unique<World>();
    for (uint32_t seed = 0; seed < 50; ++seed) {
        world->mainRandom.seed(seed);
        newGame(*world);
        random.seed(seed + 1000);
        sequencerStep(*world, random);
        ASSERT_TRUE(world->voices[2].attacking);
        ASSERT_GT(world->voices[2].amplitude, 0.0f);
        sequencerStep(*world, random);
        sequencerStep(*world, random);
        ASSERT_FALSE(world->voices[2].decaying);
        sequencerStep(*world, random);
        ASSERT_TRUE(world->voices[2].decaying);
    }
}

TEST(SequencerBars, BarAndPhraseEndsMoveTheSongOn) {
    Random random;
    auto world = knownSong();
    const int roots[4] = {1, 5, 8, 10};
    const int qualities[4] = {0, 2, 1, 0};
    for (int b = 0; b < 4; ++b) {
        world->barRoots[b] = roots[b];
        world->barQualities[b] = qualities[b];
    }
    world->barIndex = 0;
    world->stepIndex = 31;
    sequencerStep(*world, random);
    EXPECT_EQ(world->stepIndex, 0);
    EXPECT_EQ(world->barIndex, 1);
    EXPECT_EQ(world->currentRoot, 5);
    EXPECT_EQ(world->currentQuality, 2);
    const int tempo = world->chunksPerStep;
    for (int step = 0; step < 3 * 32; ++step) sequencerStep(*world, random);
    EXPECT_EQ(world->barIndex, 0);  // phrase end
    EXPECT_EQ(world->stepIndex, 0);
    EXPECT_EQ(world->currentRoot, world->barRoots[0]);
    EXPECT_EQ(world->currentQuality, world->barQualities[0]);
    EXPECT_EQ(world->chunksPerStep, tempo);
}

// At a phrase end a transposition moves all four roots by one shift; a root
// pushed below 0 is drawn anew, one pushed above 11 stays (12 and up).
TEST(SequencerBars, TranspositionBelowZeroAndAboveEleven) {
    Random random;
    bool sawUp = false, sawDown = false;
    auto world = std::make_unique<World>();
    for (uint32_t seed = 0; seed < 3000 && !(sawUp && sawDown); ++seed) {
        setUpKnownSong(*world);
        const int roots[4] = {0, 11, 5, 5};
        for (int b = 0; b < 4; ++b) world->barRoots[b] = roots[b];
        world->barIndex = 3;
        world->stepIndex = 31;
        random.seed(seed);
        sequencerStep(*world, random);
        ASSERT_EQ(world->barIndex, 0);
        const int r2 = world->barRoots[2], r3 = world->barRoots[3];
        ASSERT_EQ(r2, r3);
        if (r2 == 6) {
            sawUp = true;
            EXPECT_EQ(world->barRoots[0], 1);
            EXPECT_EQ(world->barRoots[1], 12);
        } else if (r2 == 4) {
            sawDown = true;
            EXPECT_GE(world->barRoots[0], 0);
            EXPECT_LE(world->barRoots[0], 11);
            EXPECT_EQ(world->barRoots[1], 10);
        } else {
            ASSERT_EQ(r2, 5);
            ASSERT_EQ(world->barRoots[1], 11);
        }
        EXPECT_EQ(world->currentRoot, world->barRoots[0]);
    }
    EXPECT_TRUE(sawUp);
    EXPECT_TRUE(sawDown);
}

}  // namespace
}  // namespace vonkel
