#pragma once
// What the paths of the voice renderer share: the lanes of one pass (one
// voice per lane, at most eight), their oscillator, envelope and filter
// state, and the buffers between the stages of a chunk.
//
// Every path computes, for each voice and internal sample, exactly what the
// voice would compute on its own: the counter moves, the part starts, the
// ramp (or noise) value, the envelope tick, the spring filter, and the
// contribution filterPos x amplitude. The mix then adds into each output
// sample the four contributions of voice 0, then voice 1's, and so on, each
// rounded to the 32-bit sample on its own. Nothing is fused (-ffp-contract=off
// and no FMA intrinsics) and no sum is regrouped.
#include <cstdint>

#include "synth/voice.h"

namespace vonkel::render {

constexpr int kLanes = kVoiceCount;
constexpr int kMaxInternal = kOversampling * kMaxChunkFrames;

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

    OscillatorLanes(Voice* const* voices, const bool* kick, int n);
    OscillatorLanes(const OscillatorLanes&) = delete;
    OscillatorLanes& operator=(const OscillatorLanes&) = delete;
    ~OscillatorLanes();

    // After the counter has moved: the start of the low part, then the start
    // of a period (which wins when both fall on one sample).
    void partStarts(int k);
    // Whether partStarts(k) would start a part now.
    bool partStartsNow(int k) const {
        return (counter[k] == highSamples[k] && highSamples[k] != periodSamples[k]) ||
               counter[k] >= periodSamples[k];
    }
    // Envelope tick: decay before attack; the kick's pitch falls at every tick.
    void tick(int k);
    // One raw noise value (one draw from the audio thread's generator).
    static float noiseValue();
};

// The filter state of the voices of one pass, one lane each. Lanes without a
// voice hold zeros and stay at rest.
struct FilterLanes {
    alignas(64) double pos[kLanes] = {};
    alignas(64) double vel[kLanes] = {};
    alignas(64) double cutoff[kLanes] = {};
    alignas(64) double damping[kLanes] = {};
};

// A part start of one lane: the internal sample it falls on and the ramp
// value and step it leaves (before that sample's step is added).
struct PartStart {
    int32_t sample;
    float osc;
    float step;
};

// The oscillator side of a chunk worked out lane by lane before the filters
// run: the amplitude of every lane at every internal sample (sample-major),
// the noise values in the order they are drawn, and each lane's part starts
// in time order, closed by one at `internalSamples` (past the chunk).
struct LaneTimeline {
    alignas(64) float amp[kMaxInternal][kLanes];
    alignas(64) float noise[kMaxInternal];
    alignas(64) float osc[kLanes];  // ramp value and step at the start of the chunk
    alignas(64) float step[kLanes];
    PartStart starts[kLanes][kMaxInternal + 1];
};

// Walks every lane's counter, part starts and envelope ticks through
// `internalSamples` samples, in each lane's own order, and draws the noise.
// Leaves the counters, periods and envelopes in `lanes` as at the end of the
// chunk; the ramp values are the vector paths' to finish.
void walkLanes(OscillatorLanes& lanes, LaneTimeline& timeline, int internalSamples);

// filterPos x amplitude of every lane at every internal sample, sample-major.
struct Products {
    alignas(64) double lane[kMaxInternal][kLanes];
};

// Mixes output samples from..frames-1 one at a time (every path's tail).
void mixPortable(int count, const Contributions& contribution, float* out, int from, int frames);

// The paths. Each renders the lanes into out[0 .. frames-1] (frames at most
// kMaxChunkFrames) and leaves the filter state in f.
void renderLanesScalar(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames);
void renderLanesAvx2(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames);
void renderLanesAvx512(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames);

// Shared by the AVX2 and AVX-512 paths: products into contributions.
void transposeProductsAvx2(const Products& products, Contributions& contribution, int frames);

}  // namespace vonkel::render
