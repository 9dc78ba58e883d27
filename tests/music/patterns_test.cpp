// The drum and melody pattern generators.
#include <gtest/gtest.h>

#include <memory>

#include "core/random.h"
#include "core/world.h"
#include "music/patterns.h"

namespace vonkel {
namespace {

TEST(DrumPattern, ShapeAndExactlyTwentyFourDraws) {
    Random random;
    auto world = std::make_unique<World>();
    int noiseOnBeat = 0, kickBetween = 0, noiseBetween = 0;
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        random.seed(seed * 7919u);
        const uint32_t start = random.state();
        makeDrumPattern(*world, random);
        ASSERT_EQ(random.state(), Random::stateAfter(start, 24));
        for (int i = 0; i < kPatternSteps; ++i) {
            const int e = world->drumPattern[i];
            ASSERT_GE(e, 0);
            ASSERT_LE(e, 3);
            if (i % 2 == 1) {
                ASSERT_EQ(e, 0) << i;
            }
            if (i % 4 == 0) {
                ASSERT_TRUE(e & 1);
                noiseOnBeat += (e & 2) != 0;
            }
            if (i % 4 == 2) {
                kickBetween += (e & 1) != 0;
                noiseBetween += (e & 2) != 0;
            }
        }
    }
    // 16000 chances each: about 1/8, 1/6 and 5/6.
    EXPECT_NEAR(noiseOnBeat / 16000.0, 1.0 / 8, 0.02);
    EXPECT_NEAR(kickBetween / 16000.0, 1.0 / 6, 0.02);
    EXPECT_NEAR(noiseBetween / 16000.0, 5.0 / 6, 0.02);
}

TEST(MelodyPattern, WalkOfChordPositions) {
    Random random;
    auto world = std::make_unique<World>();
    int lengths[4] = {};
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        random.seed(seed * 104729u);
        const uint32_t start = random.state();
        makeMelodyPattern(*world, random);
        const uint32_t used = random.state();
        const int length = world->melodyLength;
        ASSERT_TRUE(length == 8 || length == 16 || length == 24 || length == 32);
        ++lengths[length / 8 - 1];
        // Two notes on neighbouring steps, the second not on a beat, are one
        // position apart (a note written at -1 reads as a rest, so only
        // neighbours are certain to be successive notes).
        int previous = -100, previousStep = -100;
        for (int i = 0; i < kPatternSteps; ++i) {
            const int e = world->melodyPattern[i];
            ASSERT_GE(e, -34);
            ASSERT_LE(e, 34);
            if (e == -1) continue;
            if (previousStep == i - 1 && i % 4 != 0) {
                ASSERT_EQ(std::abs(e - previous), 1) << seed << " " << i;
            }
            previous = e;
            previousStep = i;
        }
        // At most 98 draws: 1 + (3 per step at most + 8 beat resets) + 1.
        bool withinBound = false;
        random.seed(start);
        for (int n = 0; n <= 98 && !withinBound; ++n) {
            withinBound = random.state() == used;
            random.draw();
        }
        ASSERT_TRUE(withinBound);
    }
    for (int n : lengths) EXPECT_NEAR(n / 2000.0, 0.25, 0.04);
}

}  // namespace
}  // namespace vonkel
