// Behaviour of a single voice: tone, envelope, period latching, kick pitch
// fall, noise values and the zero-length guard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "core/random.h"
#include "core/world.h"
#include "game/new_game.h"
#include "synth/voice.h"

namespace vonkel {
namespace {

std::unique_ptr<World> makeWorld() { return std::make_unique<World>(); }

// The audio generator that the noise voice draws from in these tests.
Random noise;

// Renders `frames` output frames (4 internal samples each) of one voice.
std::vector<float> render(Voice& voice, int frames, bool isKick = false) {
    std::vector<float> out(static_cast<size_t>(frames), 0.0f);
    renderVoice(voice, out.data(), frames, isKick, noise);
    return out;
}

// A voice with a plain ramp, a known period and the envelope idle.
void setUpRamp(World& world, int index, float period) {
    Voice& v = world.voices[index];
    v.highLevel = 1.0f;
    v.lowLevel = -1.0f;
    v.highSlope = -1.0f;
    v.lowSlope = 1.0f;
    v.period = period;
    v.amplitude = 0.1f;
    setVoiceTone(world, index, 1.0f, 0.0f, 0.0f);
}

TEST(VoiceTone, CutoffAndDampingFromBrightnessAndResonance) {
    auto world = makeWorld();
    setVoiceTone(*world, 2, 0.5f, 0.6f, 0.25f);
    EXPECT_FLOAT_EQ(world->voices[2].cutoff, 0.00502f);
    EXPECT_NEAR(world->voices[2].damping, 0.04568066, 5e-9);  // seven significant digits
    EXPECT_EQ(world->voices[2].pulseWidth, 0.25f);
    setVoiceTone(*world, 2, 0.0f, 1.0f, 0.0f);
    EXPECT_FLOAT_EQ(world->voices[2].cutoff, 0.00002f);
    EXPECT_NEAR(world->voices[2].damping, 0.001, 1e-9);
    // Out of range: ignored, no write anywhere.
    const auto* bytes = reinterpret_cast<const unsigned char*>(world.get());
    const std::vector<unsigned char> before(bytes, bytes + sizeof(World));
    setVoiceTone(*world, 8, 0.5f, 0.5f, 0.5f);
    setVoiceTone(*world, -1, 0.5f, 0.5f, 0.5f);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), bytes));
}

TEST(VoicePresets, EveryVoiceGetsItsToneEnvelopeAndShape) {
    auto world = makeWorld();
    world->voices[3].amplitude = 0.3f;
    world->voices[3].filterPos = 0.7f;
    world->voices[3].counter = 17;
    world->voices[5].highLevel = 0.5f;  // voices 5 and 7 keep their levels
    Random random(1234);
    presetVoices(*world, random);
    Random replay(1234);
    const int r1 = replay.draw();
    const int r2 = replay.draw();
    EXPECT_EQ(replay.state(), random.state());  // exactly two draws

    // The presets' own numbers are pinned by the golden games
    // (tests/lockstep/golden_run_test.cpp); here, what a preset resets.
    for (int k = 0; k < 8; ++k) {
        const Voice& v = world->voices[k];
        SCOPED_TRACE(k);
        EXPECT_GT(v.cutoff, 0.0f);
        EXPECT_GT(v.attackStep, 0.0f);
        EXPECT_GT(v.decayStep, 0.0f);
        EXPECT_EQ(v.amplitude, 0.0f);
        EXPECT_EQ(v.counter, 0);
        EXPECT_EQ(v.filterPos, 0.0f);
        EXPECT_EQ(v.pulseWidth, 0.0f);
        EXPECT_FALSE(v.attacking);
        EXPECT_FALSE(v.decaying);
    }
    EXPECT_EQ(world->voices[0].highSlope, static_cast<float>(-0.1f * static_cast<double>(r1 % 11)));
    EXPECT_EQ(world->voices[0].lowSlope, static_cast<float>(0.1f * static_cast<double>(r2 % 11)));
    EXPECT_EQ(world->voices[4].highLevel, 0.75f);
    EXPECT_EQ(world->voices[4].lowLevel, -0.75f);
    EXPECT_EQ(world->voices[3].lowSlope, 2.0f);
    EXPECT_TRUE(world->voices[5].noise);
    EXPECT_EQ(world->voices[5].highLevel, 0.5f);
}

TEST(VoiceTrigger, SilentVoiceStartsAtOneHundredthSoundingVoiceKeepsItsLevel) {
    Voice v;
    v.decaying = true;
    triggerVoice(v, 400.0f);
    EXPECT_EQ(v.amplitude, 0.01f);
    EXPECT_EQ(v.period, 400.0f);
    EXPECT_TRUE(v.attacking);
    EXPECT_FALSE(v.decaying);

    v.amplitude = 0.13f;
    releaseVoice(v);
    EXPECT_TRUE(v.decaying);
    EXPECT_TRUE(v.attacking);  // a release leaves the attack alone
    triggerVoice(v, 200.0f);
    EXPECT_EQ(v.amplitude, 0.13f);
}

TEST(VoiceEnvelope, AttackStopsExactlyAtTheCeiling) {
    auto world = makeWorld();
    setUpRamp(*world, 1, 64.0f);
    Voice& v = world->voices[1];
    v.amplitude = 0.19f;
    v.attackStep = 0.004f;
    v.attacking = true;
    // Ticks at counter 0, 8, ..., 56 of each 64-sample period: one per 8 samples.
    float expected = 0.19f;
    int ticks = 0;
    while (v.attacking && ticks < 100) {
        render(v, 2);  // 8 internal samples: exactly one tick
        ++ticks;
        expected = static_cast<float>(static_cast<double>(expected) + 0.004f);
        if (expected > 0.2f) expected = 0.2f;
        EXPECT_EQ(v.amplitude, expected);
    }
    EXPECT_EQ(ticks, 3);  // 0.194, 0.198, then 0.202 -> held at the ceiling
    EXPECT_EQ(v.amplitude, 0.2f);
    render(v, 8);
    EXPECT_EQ(v.amplitude, 0.2f);  // holding: neither flag
}

TEST(VoiceEnvelope, DecayBelowTheFloorSilencesAndClearsTheFlag) {
    auto world = makeWorld();
    setUpRamp(*world, 1, 64.0f);
    Voice& v = world->voices[1];
    v.amplitude = 0.00035f;
    v.decayStep = 0.0001f;
    v.decaying = true;
    render(v, 2);
    EXPECT_FLOAT_EQ(v.amplitude, 0.00025f);
    render(v, 2);
    EXPECT_FLOAT_EQ(v.amplitude, 0.00015f);
    EXPECT_TRUE(v.decaying);
    render(v, 2);
    EXPECT_EQ(v.amplitude, 0.0f);  // 0.00005 < 0.0001
    EXPECT_FALSE(v.decaying);
}

TEST(VoiceEnvelope, BothFlagsSubtractDecayBeforeAddingAttack) {
    auto world = makeWorld();
    setUpRamp(*world, 4, 64.0f);
    Voice& v = world->voices[4];
    v.amplitude = 0.01f;
    v.attackStep = 0.02f;
    v.decayStep = 0.00005f;
    v.attacking = true;
    v.decaying = true;
    render(v, 2);
    const float afterDecay = static_cast<float>(0.01f - static_cast<double>(0.00005f));
    EXPECT_EQ(v.amplitude, static_cast<float>(static_cast<double>(afterDecay) + 0.02f));
    for (int i = 0; i < 20 && v.attacking; ++i) render(v, 2);
    EXPECT_EQ(v.amplitude, 0.2f);
    EXPECT_TRUE(v.decaying);  // the decay runs on alone after the ceiling
    render(v, 2);
    EXPECT_EQ(v.amplitude, static_cast<float>(0.2f - static_cast<double>(0.00005f)));
}

TEST(VoicePeriod, RoundedLengthsAndLatchedChanges) {
    auto world = makeWorld();
    setUpRamp(*world, 2, 357.17f);
    Voice& v = world->voices[2];
    render(v, 1);  // the first internal sample starts a period
    EXPECT_EQ(v.periodSamples, 357);
    EXPECT_EQ(v.highSamples, 179);
    EXPECT_EQ(v.inLowPhase, 0);
    EXPECT_EQ(v.step, -1.0f / 179.0f);

    v.period = 100.0f;  // heard only from the next period start
    while (v.counter < 175) render(v, 1);  // 3, 7, ..., 175
    EXPECT_EQ(v.inLowPhase, 0);
    render(v, 1);  // counter reaches 179: the low part (178 samples) starts
    EXPECT_EQ(v.inLowPhase, 1);
    EXPECT_EQ(v.step, static_cast<float>(1.0 / static_cast<double>(178.0f)));
    EXPECT_EQ(v.periodSamples, 357);
    while (v.counter >= 4) render(v, 1);  // run into the next period
    EXPECT_EQ(v.periodSamples, 100);
    EXPECT_EQ(v.highSamples, 50);
}

TEST(VoicePeriod, TiesRoundToEven) {
    auto world = makeWorld();
    setUpRamp(*world, 2, 100.5f);
    world->voices[2].pulseWidth = 0.0f;
    render(world->voices[2], 1);
    EXPECT_EQ(world->voices[2].periodSamples, 100);
    EXPECT_EQ(world->voices[2].highSamples, 50);  // 50.25
    setUpRamp(*world, 3, 101.5f);
    render(world->voices[3], 1);
    EXPECT_EQ(world->voices[3].periodSamples, 102);
}

TEST(VoicePeriod, KickPitchFallsByOnePerMillePerTick) {
    auto world = makeWorld();
    setUpRamp(*world, 3, 8000.0f);  // one long period: ticks every 8 samples
    setUpRamp(*world, 1, 8000.0f);
    render(world->voices[3], 89, true);  // 356 samples: ticks at 0 (the period start), 8, ..., 352 -> 45
    render(world->voices[1], 89);
    float expected = 8000.0f;
    for (int t = 0; t < 45; ++t) expected = static_cast<float>(static_cast<double>(expected) * 1.001f);
    EXPECT_EQ(world->voices[3].period, expected);
    EXPECT_NEAR(world->voices[3].period / 8000.0f, 1.046, 0.001);
    EXPECT_EQ(world->voices[1].period, 8000.0f);  // no other voice moves its own pitch
}

TEST(VoiceEnvelope, TicksAtEveryPeriodStartAndEveryEighthSample) {
    auto world = makeWorld();
    setUpRamp(*world, 1, 12.0f);  // ticks at counter 0 and 8: two per 12 samples
    Voice& v = world->voices[1];
    v.amplitude = 0.1f;
    v.decayStep = 0.001f;
    v.decaying = true;
    render(v, 12);  // 48 samples = 4 periods = 8 ticks
    float expected = 0.1f;
    for (int t = 0; t < 8; ++t) expected = static_cast<float>(static_cast<double>(expected) - 0.001f);
    EXPECT_EQ(v.amplitude, expected);
}

TEST(VoiceNoise, RawValuesAreMultiplesOfOneHundredFiftieth) {
    auto world = makeWorld();
    setUpRamp(*world, 5, 50.0f);
    world->voices[5].noise = true;
    noise.seed(99);
    bool sawNegative = false, sawPositive = false;
    for (int i = 0; i < 2000; ++i) {
        render(world->voices[5], 1);
        const double scaled = world->voices[5].oscValue * 150.0;
        ASSERT_NEAR(scaled, std::round(scaled), 1e-4);
        ASSERT_LE(std::fabs(scaled), 50.0 + 1e-4);
        sawNegative |= scaled < -40;
        sawPositive |= scaled > 40;
    }
    EXPECT_TRUE(sawNegative && sawPositive);
}

TEST(VoiceGuard, ZeroLengthsNeverLeaveNonFiniteValues) {
    auto world = makeWorld();
    for (float period : {0.0f, 0.4f, -5.0f, 1.0f}) {
        for (float pulseWidth : {-1.0f, 0.0f, 1.0f, 3.0f}) {
            Voice& v = world->voices[6];
            v.counter = 0;
            v.periodSamples = 0;
            v.filterPos = 0.0f;
            v.filterVel = 0.0f;
            v.highLevel = 1.0f;
            v.highSlope = -2.0f;
            v.lowSlope = 2.0f;
            v.period = period;
            v.amplitude = 0.2f;
            setVoiceTone(*world, 6, 0.5f, 0.5f, pulseWidth);
            const auto out = render(v, 256);
            for (float s : out) ASSERT_TRUE(std::isfinite(s)) << period << " " << pulseWidth;
            EXPECT_TRUE(std::isfinite(v.step) && std::isfinite(v.filterPos) && std::isfinite(v.oscValue));
        }
    }
}

TEST(VoiceOutput, FourInternalSamplesLandInEachOutputSample) {
    auto world = makeWorld();
    setUpRamp(*world, 1, 40.0f);
    Voice& v = world->voices[1];
    v.amplitude = 0.2f;
    // Reproduce the first output sample by hand: four steps of ramp and filter.
    const double cutoff = v.cutoff, damping = v.damping;
    float osc = 1.0f, pos = 0.0f, vel = 0.0f;
    const float step = static_cast<float>(-1.0 / 20.0);
    float expected = 0.0f;
    for (int i = 0; i < 4; ++i) {
        osc = static_cast<float>(static_cast<double>(osc) + step);
        double x = (static_cast<double>(osc) - pos) * cutoff + vel;
        x = x - x * damping;
        vel = static_cast<float>(x);
        pos = static_cast<float>(pos + x);
        expected = static_cast<float>(expected + static_cast<double>(pos) * 0.2f);
    }
    const auto out = render(v, 1);
    EXPECT_EQ(out[0], expected);
    EXPECT_GT(out[0], 0.0f);
}

}  // namespace
}  // namespace vonkel
