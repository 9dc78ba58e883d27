// The scalar path, and the reference for the others: every lane advances
// sample by sample as a voice on its own would, then each lane's filter runs
// through the chunk, then the mix.
#include <algorithm>

#include "synth/voice_render_lanes.h"

namespace vonkel::render {
namespace {

// Oscillator values and amplitudes, sample-major.
struct StageBuffers {
    float osc[kMaxInternal][kLanes];
    float amp[kMaxInternal][kLanes];
};

void advance(OscillatorLanes& lanes, int k, StageBuffers& stage, int i) {
    ++lanes.counter[k];
    lanes.partStarts(k);
    // The sum of two floats computed in double and rounded to float is
    // the correctly rounded float sum: a float addition gives that value.
    lanes.osc[k] = lanes.osc[k] + lanes.step[k];
    if (k == lanes.noiseLane) lanes.osc[k] = lanes.noiseValue();
    if ((lanes.counter[k] & 7) == 0) lanes.tick(k);
    stage.osc[i][k] = lanes.osc[k];
    stage.amp[i][k] = lanes.amp[k];
}

void filterLanes(FilterLanes& f, int count, const StageBuffers& stage, Contributions& contribution, int frames) {
    for (int k = 0; k < count; ++k) {
        for (int i = 0; i < kOversampling * frames; ++i) {
            double v = (static_cast<double>(stage.osc[i][k]) - f.pos[k]) * f.cutoff[k] + f.vel[k];
            v = v - v * f.damping[k];
            f.vel[k] = static_cast<float>(v);
            f.pos[k] = static_cast<float>(f.pos[k] + v);
            contribution[k][i % kOversampling][i / kOversampling] = f.pos[k] * static_cast<double>(stage.amp[i][k]);
        }
    }
}

}  // namespace

void mixPortable(int count, const Contributions& contribution, float* out, int from, int frames) {
    for (int j = from; j < frames; ++j) {
        float sample = out[j];
        for (int k = 0; k < count; ++k)
            for (int q = 0; q < kOversampling; ++q)
                sample = static_cast<float>(static_cast<double>(sample) + contribution[k][q][j]);
        out[j] = sample;
    }
}

void renderLanesScalar(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames) {
    StageBuffers stage;
    for (int i = 0; i < kOversampling * frames; ++i)
        for (int k = 0; k < lanes.count; ++k) advance(lanes, k, stage, i);
    Contributions contribution;
    filterLanes(f, lanes.count, stage, contribution, frames);
    mixPortable(lanes.count, contribution, out, 0, frames);
}

}  // namespace vonkel::render
