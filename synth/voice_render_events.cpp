// The start of the lane walk of the vector paths (see LaneWalk).
#include <algorithm>
#include <climits>
#include <cstdint>

#include "synth/voice_render_lanes.h"

namespace vonkel::render {
namespace {

void holdAmp(float* row, float a) {
    for (int s = 0; s < 8; ++s) row[s] = a;
}

alignas(64) const float kSilentRow[LaneWalk::kRow] = {};

}  // namespace

void LaneWalk::begin(OscillatorLanes& lanes, int samples) {
    internalSamples = samples;
    drawn = 0;
    for (int k = 0; k < kLanes; ++k) {
        osc[k] = lanes.osc[k];
        step[k] = lanes.step[k];
    }
    for (int k = 0; k < lanes.count; ++k) {
        // Past the chunk the rows hold zeros, so a last partial block of
        // eight reads defined values; the walk overwrites what falls inside.
        holdAmp(&amp[k][samples], 0.0f);
        holdAmp(&amp[k][samples + 8], 0.0f);
        holdAmp(amp[k], lanes.amp[k]);  // up to the first event, at most 8 samples on
        found[k] = 0;
        accounted[k] = -1;
        nextEvent[k] = samplesToEvent(lanes, k) - 1;
        starts[k][0] = PartStart{INT_MAX, 0.0f, 0.0f};
        ampRow[k] = amp[k];
    }
    for (int k = lanes.count; k < kLanes; ++k) {
        starts[k][0] = PartStart{INT_MAX, 0.0f, 0.0f};
        nextEvent[k] = INT_MAX;
        ampRow[k] = kSilentRow;
    }
}

}  // namespace vonkel::render
