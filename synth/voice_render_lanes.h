#pragma once
// What the paths of the voice renderer share: the lanes of one pass (one
// voice per lane, at most eight), their oscillator, envelope and filter
// state, and the buffers between the stages of a chunk.
//
// The per-lane steps are always inlined: a call inside the vector loops would
// spill the filter state to memory at every sample.
//
// Every path computes, for each voice and internal sample, exactly what the
// voice would compute on its own: the counter moves, the part starts, the
// ramp (or noise) value, the envelope tick, the spring filter, and the
// contribution filterPos x amplitude. The mix then adds into each output
// sample the four contributions of voice 0, then voice 1's, and so on, each
// rounded to the 32-bit sample on its own. Nothing is fused (-ffp-contract=off
// and no FMA intrinsics) and no sum is regrouped.
#include <algorithm>
#include <cstdint>

#include "core/random.h"
#include "core/rounding.h"
#include "synth/voice.h"

namespace vonkel::render {

constexpr int kLanes = kVoiceCount;
constexpr int kMaxInternal = kOversampling * kMaxChunkFrames;
constexpr float kAttackCeiling = 0.2f;
constexpr float kDecayFloor = 0.0001f;
constexpr float kKickPitchFall = 1.001f;
constexpr float kNoiseScale = 0.006666667f;  // 1/150

// A part of the period is at least one internal sample long, so no step is
// ever divided by a zero length, whatever period or pulse width a voice holds.
inline int32_t atLeastOneSample(int32_t samples) { return std::max<int32_t>(samples, 1); }

inline float rampStep(float slope, int32_t samples) {
    return static_cast<float>(static_cast<double>(slope) / static_cast<double>(static_cast<float>(samples)));
}

// contribution[k][q][j]: voice k, internal sample q of output sample j
// (filterPos x amplitude, two floats, so exact in double).
using Contributions = double[kLanes][kOversampling][kMaxChunkFrames];

// The oscillator and envelope state of the voices of one pass, one lane each.
// This state belongs to the audio thread: it is loaded at the start of a
// chunk and stored back at its end. Fields the game writes while a voice
// sounds are read afresh where they take effect: period and pulse width at
// each period start, the envelope at each tick, the tone once per chunk.
// Unused lanes never reach a period start and never tick.
struct OscillatorLanes {
    alignas(32) int32_t counter[kLanes];
    alignas(32) int32_t periodSamples[kLanes];
    alignas(32) int32_t highSamples[kLanes];
    alignas(32) float osc[kLanes];
    alignas(32) float step[kLanes];
    alignas(32) float amp[kLanes];
    int32_t inLowPhase[kLanes];
    Voice* voice[kLanes];
    bool isKick[kLanes];
    int count;
    int noiseLane;  // the lane that draws noise, or -1
    Random& random;  // the block's audio generator, drawn by the noise lane

    OscillatorLanes(Voice* const* voices, const bool* kick, int n, Random& noiseRandom);
    OscillatorLanes(const OscillatorLanes&) = delete;
    OscillatorLanes& operator=(const OscillatorLanes&) = delete;
    ~OscillatorLanes();

    // After the counter has moved: the start of the low part, then the start
    // of a period (which wins when both fall on one sample).
    [[gnu::always_inline]] void partStarts(int k) {
        Voice& v = *voice[k];
        if (counter[k] == highSamples[k] && highSamples[k] != periodSamples[k]) {
            inLowPhase[k] = 1;
            osc[k] = v.lowLevel;
            step[k] = rampStep(v.lowSlope, periodSamples[k] - highSamples[k]);
        }
        if (counter[k] >= periodSamples[k]) {
            inLowPhase[k] = 0;
            counter[k] = 0;
            const float period = v.period;
            const double highShare = static_cast<double>(v.pulseWidth.load()) * 0.5 + 0.5;
            periodSamples[k] = atLeastOneSample(roundToInt(period));
            highSamples[k] = atLeastOneSample(roundToInt(highShare * static_cast<double>(period)));
            osc[k] = v.highLevel;
            step[k] = rampStep(v.highSlope, highSamples[k]);
        }
    }
    // Whether partStarts(k) would start a part now.
    bool partStartsNow(int k) const {
        return (counter[k] == highSamples[k] && highSamples[k] != periodSamples[k]) ||
               counter[k] >= periodSamples[k];
    }
    // Envelope tick: decay before attack; the kick's pitch falls at every tick.
    [[gnu::always_inline]] void tick(int k) {
        Voice& v = *voice[k];
        if (isKick[k]) v.period = static_cast<float>(static_cast<double>(v.period.load()) * f32(kKickPitchFall));
        float a = v.amplitude;
        const float before = a;
        if (v.decaying) {
            a = static_cast<float>(static_cast<double>(a) - static_cast<double>(v.decayStep.load()));
            if (a < kDecayFloor) {
                a = 0.0f;
                v.decaying = false;
            }
        }
        if (v.attacking) {
            a = static_cast<float>(static_cast<double>(a) + static_cast<double>(v.attackStep.load()));
            if (a > kAttackCeiling) {
                a = kAttackCeiling;
                v.attacking = false;
            }
        }
        if (a != before) v.amplitude = a;
        amp[k] = a;
    }
    // One raw noise value (one draw from the block's audio generator).
    float noiseValue() { return static_cast<float>((random.draw() % 101 - 50) * f32(kNoiseScale)); }
};

// The filter state of the voices of one pass, one lane each. Lanes without a
// voice hold zeros and stay at rest.
struct FilterLanes {
    alignas(64) double pos[kLanes] = {};
    alignas(64) double vel[kLanes] = {};
    alignas(64) double cutoff[kLanes] = {};
    alignas(64) double damping[kLanes] = {};
};

// Internal samples from lane k's present counter to its next event (a part
// start, or a tick where the counter meets a multiple of 8), the sample that
// holds it included: at least 1, at most 8.
inline int samplesToEvent(const OscillatorLanes& lanes, int k) {
    const int64_t counter = lanes.counter[k];
    const int64_t period = lanes.periodSamples[k];
    const int64_t high = lanes.highSamples[k];
    int64_t distance = 8 - (counter & 7);
    distance = std::min(distance, std::max<int64_t>(period - counter, 1));
    if (high != period && high > counter) distance = std::min(distance, high - counter);
    return static_cast<int>(distance);
}

// filterPos x amplitude of every lane for the last 16 internal samples (four
// output samples), sample-major, on their way into the contributions.
constexpr int kRingSamples = 4 * kOversampling;
struct ProductRing {
    alignas(64) double lane[kRingSamples][kLanes];
};

// Mixes output samples from..frames-1 one at a time (every path's tail).
void mixPortable(int count, const Contributions& contribution, float* out, int from, int frames);

// The paths. Each renders the lanes into out[0 .. frames-1] (frames at most
// kMaxChunkFrames) and leaves the filter state in f.
void renderLanesScalar(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames);
void renderLanesAvx2(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames);
void renderLanesAvx512(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames);

}  // namespace vonkel::render
