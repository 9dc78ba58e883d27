// The oscillator side of a chunk for the vector paths, worked out lane by
// lane: between two events a lane's counter only counts and its amplitude
// holds, so the walk jumps from one event to the next. An event is a part
// start or an envelope tick (whenever the counter reaches a multiple of 8);
// at each one the lane takes the same steps as sample by sample, in the same
// order, so the kick's falling period reaches its next period start as it
// would. The lanes touch only their own voices, so walking them one after
// another changes nothing; the noise draws are the only draws of a pass, and
// they are taken first, one per internal sample, in order.
#include <algorithm>
#include <cstdint>

#include "synth/voice_render_lanes.h"

namespace vonkel::render {
namespace {

// Internal samples from the present counter to the next event, the sample
// that holds it included: at least 1, at most 8.
int64_t samplesToEvent(const OscillatorLanes& lanes, int k) {
    const int64_t counter = lanes.counter[k];
    const int64_t period = lanes.periodSamples[k];
    const int64_t high = lanes.highSamples[k];
    int64_t distance = 8 - (counter & 7);
    distance = std::min(distance, std::max<int64_t>(period - counter, 1));
    if (high != period && high > counter) distance = std::min(distance, high - counter);
    return distance;
}

void walkLane(OscillatorLanes& lanes, int k, LaneTimeline& timeline, int internalSamples) {
    PartStart* start = timeline.starts[k];
    int i = 0;
    while (i < internalSamples) {
        const int64_t distance = samplesToEvent(lanes, k);
        const float held = lanes.amp[k];
        const int last = static_cast<int>(std::min<int64_t>(i + distance - 1, internalSamples));
        for (int s = i; s < last; ++s) timeline.amp[s][k] = held;
        if (last == internalSamples) {  // the next event falls past the chunk
            lanes.counter[k] += internalSamples - i;
            break;
        }
        lanes.counter[k] += static_cast<int32_t>(distance);
        if (lanes.partStartsNow(k)) {
            lanes.partStarts(k);
            *start++ = PartStart{last, lanes.osc[k], lanes.step[k]};
        }
        if ((lanes.counter[k] & 7) == 0) lanes.tick(k);
        timeline.amp[last][k] = lanes.amp[k];
        i = last + 1;
    }
    *start = PartStart{internalSamples, 0.0f, 0.0f};
}

}  // namespace

void walkLanes(OscillatorLanes& lanes, LaneTimeline& timeline, int internalSamples) {
    for (int k = 0; k < kLanes; ++k) {
        timeline.osc[k] = lanes.osc[k];
        timeline.step[k] = lanes.step[k];
    }
    if (lanes.noiseLane >= 0)
        for (int i = 0; i < internalSamples; ++i) timeline.noise[i] = OscillatorLanes::noiseValue();
    for (int k = 0; k < lanes.count; ++k) walkLane(lanes, k, timeline, internalSamples);
    for (int k = lanes.count; k < kLanes; ++k) {
        for (int i = 0; i < internalSamples; ++i) timeline.amp[i][k] = 0.0f;
        timeline.starts[k][0] = PartStart{internalSamples, 0.0f, 0.0f};
    }
}

}  // namespace vonkel::render
