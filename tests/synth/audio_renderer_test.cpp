// The block renderer: musical clock, chunking, the scope ring and the gain.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/random.h"
#include "core/world.h"
#include "game/new_game.h"
#include "music/sequencer.h"
#include "synth/audio_renderer.h"

namespace vonkel {
namespace {

std::unique_ptr<World> songWorld(uint32_t seed) {
    auto world = std::make_unique<World>();
    world->mainRandom.seed(seed);
    newGame(*world);
    return world;
}

std::vector<float> renderBlock(World& world, int frames, uint32_t clock = 0) {
    std::vector<float> out(static_cast<size_t>(frames > 0 ? frames : 1), 7.0f);
    renderAudioBlock(world, out.data(), frames, clock, sequencerStep);
    return out;
}

TEST(AudioClock, ChunksAreCountedAcrossBlocksAndTheStepFallsOnEquality) {
    auto world = songWorld(3);
    world->chunksPerStep = 37;
    world->chunkCounter = 34;
    renderBlock(*world, 512);  // 35, 36, 37 -> step and 0, then 1
    EXPECT_EQ(world->chunkCounter, 1);
    EXPECT_EQ(world->stepIndex, 1);
    for (int block = 0; block < 9; ++block) renderBlock(*world, 512);  // 36 more chunks -> 37 -> step
    EXPECT_EQ(world->chunkCounter, 0);
    EXPECT_EQ(world->stepIndex, 2);

    world->chunkCounter = 40;  // above chunksPerStep: never equal again until it wraps
    renderBlock(*world, 512);
    EXPECT_EQ(world->chunkCounter, 44);
    EXPECT_EQ(world->stepIndex, 2);
}

TEST(AudioClock, NoStepAndSilenceBeforeTheFirstGame) {
    auto world = std::make_unique<World>();
    for (int block = 0; block < 20; ++block) {
        const auto out = renderBlock(*world, 512);
        for (float s : out) ASSERT_EQ(s, 0.0f);
    }
    EXPECT_EQ(world->chunkCounter, 80);
    EXPECT_EQ(world->stepIndex, 0);
    EXPECT_EQ(world->voices[0].amplitude, 0.0f);
}

TEST(AudioClock, AStepSoundsFromTheFirstFrameOfItsChunk) {
    auto world = songWorld(11);
    world->chunkCounter = world->chunksPerStep - 2;  // the step comes with the second chunk
    world->masterGain = 1.0f;
    const auto out = renderBlock(*world, 512);
    for (int j = 0; j < 128; ++j) ASSERT_EQ(out[static_cast<size_t>(j)], 0.0f) << j;
    EXPECT_NE(out[128], 0.0f);  // the first step always starts the kick and the bass
    EXPECT_EQ(world->stepIndex, 1);
}

TEST(AudioBlock, PartialChunkIsSilentButRingedAndScaled) {
    auto world = songWorld(5);
    world->chunkCounter = world->chunksPerStep - 1;  // a step in the first chunk
    world->scopeWriteIndex = 0;
    world->masterGain = 0.5f;
    const auto out = renderBlock(*world, 200);
    EXPECT_EQ(world->scopeWriteIndex, 200);
    EXPECT_EQ(world->chunkCounter, 0);
    for (int j = 128; j < 200; ++j) ASSERT_EQ(out[static_cast<size_t>(j)], 0.0f);
    // Slot 42 received positions 126, 127 and 128: the last is the silent partial frame.
    EXPECT_EQ(world->ScopeRing[42], 0.0f);
    EXPECT_EQ(out[125], static_cast<float>(world->ScopeRing[41] * 0.5));
    EXPECT_NE(world->ScopeRing[41], 0.0f);
}

// A step that counts its calls and notes the state of the generator it was
// handed the first time.
int stepsTaken = 0;
uint32_t firstStepGenerator = 0;
void recordingStep(World& /*world*/, Random& audioRandom) {
    if (stepsTaken++ == 0) firstStepGenerator = audioRandom.state();
}

TEST(AudioBlock, EmptyBlockChangesNothingAndEachBlockDrawsFromTheClock) {
    auto world = songWorld(5);
    const int counter = world->chunkCounter;
    const uint32_t mainState = world->mainRandom.state();
    std::vector<float> out(512, 7.0f);
    stepsTaken = 0;
    renderAudioBlock(*world, out.data(), 0, 4242, recordingStep);
    renderAudioBlock(*world, out.data(), -3, 17, recordingStep);
    EXPECT_EQ(world->chunkCounter, counter);
    EXPECT_EQ(world->scopeWriteIndex, 0);
    EXPECT_EQ(out[0], 7.0f);
    EXPECT_EQ(stepsTaken, 0);

    // A step in the first chunk comes before any voice has drawn: its
    // generator is the block's clock value, and the main one is untouched.
    for (uint32_t clock : {4242u, 0xFFFFFFFFu}) {
        world->chunksPerStep = 1;
        world->chunkCounter = 0;
        stepsTaken = 0;
        renderAudioBlock(*world, out.data(), 512, clock, recordingStep);
        EXPECT_EQ(stepsTaken, 4);
        EXPECT_EQ(firstStepGenerator, clock);
    }
    EXPECT_EQ(world->mainRandom.state(), mainState);
}

TEST(AudioBlock, RingWrapsAfterPosition959) {
    auto world = std::make_unique<World>();
    world->voices[1].amplitude = 0.1f;  // a sounding voice so the ring sees values
    world->voices[1].period = 50.0f;
    world->voices[1].highLevel = 1.0f;
    world->voices[1].cutoff = 0.02f;
    world->scopeWriteIndex = 957;
    world->ScopeRing[0] = 123.0f;
    const auto out = renderBlock(*world, 128);
    EXPECT_EQ(world->scopeWriteIndex, (957 + 128) % 960);
    // Positions 957, 958 and 959 all write slot 319, which keeps the last (out[2], before the gain).
    EXPECT_EQ(out[2], static_cast<float>(static_cast<double>(world->ScopeRing[319]) * 0.15f));
    EXPECT_NE(world->ScopeRing[319], 0.0f);
    EXPECT_NE(world->ScopeRing[0], 123.0f);
}

TEST(AudioGain, ReadPerSampleAndAppliedAfterTheRing) {
    auto world = songWorld(8);
    world->chunkCounter = world->chunksPerStep - 1;
    world->masterGain = 0.0f;
    const auto out = renderBlock(*world, 512);
    bool ringHasMusic = false;
    for (float s : out) ASSERT_EQ(s, 0.0f);
    for (int i = 0; i < kScopeSlots; ++i) ringHasMusic |= world->ScopeRing[i] != 0.0f;
    EXPECT_TRUE(ringHasMusic);
}

TEST(AudioVoices, OnlyVoicesAboveZeroAreRendered) {
    auto world = std::make_unique<World>();
    Voice& silent = world->voices[2];
    silent.period = 40.0f;
    silent.attacking = true;
    silent.attackStep = 0.01f;
    renderBlock(*world, 512);
    EXPECT_EQ(silent.amplitude, 0.0f);  // frozen: its envelope never ran
    EXPECT_EQ(silent.counter, 0);
    silent.amplitude = 0.00001f;
    renderBlock(*world, 512);
    EXPECT_GT(silent.amplitude, 0.00001f);
    EXPECT_NE(silent.counter, 0);
}

}  // namespace
}  // namespace vonkel
