#pragma once
// The oscillators and envelopes of the vector paths, eight internal samples
// (one block) at a time, all lanes side by side.
//
// Within a block a lane's counter only counts, unless a part starts: every
// lane then ticks exactly once (the counter meets a multiple of 8 once in
// eight samples), and the ticks of all lanes run as one vector step with the
// arithmetic of OscillatorLanes::tick, reading and writing the same voice
// fields (read when the block is stepped, a few internal samples before the
// tick's own sample, which only another thread could tell). A lane with a part start inside the block takes the scalar steps
// of OscillatorLanes event by event for that block, in its own order, which
// also keeps the kick's falling period right for its next period start.
// The lanes touch only their own voices, so the split changes no value.
#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "synth/voice_render_lanes.h"

namespace vonkel::render {

constexpr int kBlock = 8;

// The lanes' counters, part lengths, ramp and amplitude, in vectors.
struct BlockLanes {
    __m256i counter, period, high, active;
    __m256 osc, step, amp, noiseMask;
    int kickBits;  // lanes that are the kick
};

// What a block hands the filters: each lane's ramp (or noise) value and
// amplitude at each of its samples.
struct BlockSamples {
    __m256 osc[kBlock];
    __m256 amp[kBlock];
};

__attribute__((target("avx2"), always_inline)) inline __m256 maskFromBits(int bits) {
    const __m256i laneBit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    return _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(bits), laneBit), laneBit));
}

// f32(a op b) computed in double, eight lanes.
__attribute__((target("avx2"), always_inline)) inline __m256 addInDouble(__m256 a, __m256 b, bool subtract) {
    const __m256d lo[2] = {_mm256_cvtps_pd(_mm256_castps256_ps128(a)), _mm256_cvtps_pd(_mm256_castps256_ps128(b))};
    const __m256d hi[2] = {_mm256_cvtps_pd(_mm256_extractf128_ps(a, 1)), _mm256_cvtps_pd(_mm256_extractf128_ps(b, 1))};
    const __m256d l = subtract ? _mm256_sub_pd(lo[0], lo[1]) : _mm256_add_pd(lo[0], lo[1]);
    const __m256d h = subtract ? _mm256_sub_pd(hi[0], hi[1]) : _mm256_add_pd(hi[0], hi[1]);
    return _mm256_set_m128(_mm256_cvtpd_ps(h), _mm256_cvtpd_ps(l));
}

__attribute__((target("avx2"), always_inline)) inline BlockLanes loadBlockLanes(const OscillatorLanes& lanes) {
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    BlockLanes b;
    b.counter = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.counter));
    b.period = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.periodSamples));
    b.high = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.highSamples));
    b.active = _mm256_cmpgt_epi32(_mm256_set1_epi32(lanes.count), laneIndex);
    b.osc = _mm256_load_ps(lanes.osc);
    b.step = _mm256_load_ps(lanes.step);
    b.amp = _mm256_load_ps(lanes.amp);
    b.noiseMask = _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_set1_epi32(lanes.noiseLane), laneIndex));
    b.kickBits = 0;
    for (int k = 0; k < lanes.count; ++k) b.kickBits |= lanes.isKick[k] ? 1 << k : 0;
    return b;
}

__attribute__((target("avx2"), always_inline)) inline void storeBlockLanes(const BlockLanes& b, OscillatorLanes& lanes) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.counter), b.counter);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.periodSamples), b.period);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.highSamples), b.high);
    _mm256_store_ps(lanes.osc, b.osc);
    _mm256_store_ps(lanes.step, b.step);
    _mm256_store_ps(lanes.amp, b.amp);
}

// Scratch space of the blocks, set to zeros once per chunk so that lanes a
// block leaves alone still hold defined values.
struct BlockScratch {
    // The voice fields that the ticks read.
    alignas(32) float amplitude[kLanes] = {};
    alignas(32) float decayStep[kLanes] = {};
    alignas(32) float attackStep[kLanes] = {};
    alignas(32) int32_t decaying[kLanes] = {};
    alignas(32) int32_t attacking[kLanes] = {};
    // The part starts that the scalar steps of a block's event lanes find.
    alignas(32) float amp[kBlock][kLanes] = {};
    alignas(32) float osc[kBlock][kLanes] = {};
    alignas(32) float step[kBlock][kLanes] = {};
    int bits[kBlock] = {};  // lanes whose part starts fall on each sample
};

// The first half of the envelope ticks of the lanes in tickBits, as
// OscillatorLanes::tick: the kick's pitch falls, and the fields the ticks
// read are read.
__attribute__((target("avx2"), always_inline)) inline void readTickFields(OscillatorLanes& lanes, const BlockLanes& b,
                                                                         int tickBits, BlockScratch& scratch) {
    float* const amplitude = scratch.amplitude;
    float* const decayStep = scratch.decayStep;
    float* const attackStep = scratch.attackStep;
    int32_t* const decaying = scratch.decaying;
    int32_t* const attacking = scratch.attacking;
    for (int bits = tickBits; bits != 0; bits &= bits - 1) {
        const int k = __builtin_ctz(static_cast<unsigned>(bits));
        Voice& v = *lanes.voice[k];
        if (b.kickBits & (1 << k))
            v.period = static_cast<float>(static_cast<double>(v.period.load()) * f32(kKickPitchFall));
        amplitude[k] = v.amplitude;
        decaying[k] = v.decaying ? -1 : 0;
        decayStep[k] = v.decayStep;
        attacking[k] = v.attacking ? -1 : 0;
        attackStep[k] = v.attackStep;
    }
}

// The second half: the new amplitudes, written back where they changed, and
// the flags that end. Returns the new amplitudes (the present ones in the
// other lanes).
__attribute__((target("avx2"), always_inline)) inline __m256 tickLanes(OscillatorLanes& lanes, const BlockLanes& b,
                                                                      int tickBits, const BlockScratch& scratch) {
    const float* const amplitude = scratch.amplitude;
    const float* const decayStep = scratch.decayStep;
    const float* const attackStep = scratch.attackStep;
    const int32_t* const decaying = scratch.decaying;
    const int32_t* const attacking = scratch.attacking;
    const __m256 before = _mm256_load_ps(amplitude);
    const __m256 decayMask = _mm256_load_ps(reinterpret_cast<const float*>(decaying));
    const __m256 attackMask = _mm256_load_ps(reinterpret_cast<const float*>(attacking));
    __m256 a = _mm256_blendv_ps(before, addInDouble(before, _mm256_load_ps(decayStep), true), decayMask);
    const __m256 floorHit = _mm256_and_ps(decayMask, _mm256_cmp_ps(a, _mm256_set1_ps(kDecayFloor), _CMP_LT_OQ));
    a = _mm256_andnot_ps(floorHit, a);
    a = _mm256_blendv_ps(a, addInDouble(a, _mm256_load_ps(attackStep), false), attackMask);
    const __m256 ceilingHit = _mm256_and_ps(attackMask, _mm256_cmp_ps(a, _mm256_set1_ps(kAttackCeiling), _CMP_GT_OQ));
    a = _mm256_blendv_ps(a, _mm256_set1_ps(kAttackCeiling), ceilingHit);
    const int changed = _mm256_movemask_ps(_mm256_cmp_ps(a, before, _CMP_NEQ_UQ)) & tickBits;
    const int floors = _mm256_movemask_ps(floorHit) & tickBits;
    const int ceilings = _mm256_movemask_ps(ceilingHit) & tickBits;
    if ((changed | floors | ceilings) != 0) {
        alignas(32) float after[kLanes];
        _mm256_store_ps(after, a);
        for (int bits = changed; bits != 0; bits &= bits - 1)
            lanes.voice[__builtin_ctz(static_cast<unsigned>(bits))]->amplitude = after[__builtin_ctz(static_cast<unsigned>(bits))];
        for (int bits = floors; bits != 0; bits &= bits - 1) lanes.voice[__builtin_ctz(static_cast<unsigned>(bits))]->decaying = false;
        for (int bits = ceilings; bits != 0; bits &= bits - 1)
            lanes.voice[__builtin_ctz(static_cast<unsigned>(bits))]->attacking = false;
    }
    return _mm256_blendv_ps(b.amp, a, maskFromBits(tickBits));
}

// Lane k through the samples 0..len-1 of a block, event by event.
inline void walkBlockLane(OscillatorLanes& lanes, int k, int len, BlockScratch& starts) {
    int s = 0;
    while (s < len) {
        const int distance = samplesToEvent(lanes, k);
        const float held = lanes.amp[k];
        const int last = std::min(s + distance - 1, len);
        for (int t = s; t < last; ++t) starts.amp[t][k] = held;
        if (last == len) {
            lanes.counter[k] += len - s;
            break;
        }
        lanes.counter[k] += distance;
        if (lanes.partStartsNow(k)) {
            lanes.partStarts(k);
            starts.bits[last] |= 1 << k;
            starts.osc[last][k] = lanes.osc[k];
            starts.step[last][k] = lanes.step[k];
        }
        if ((lanes.counter[k] & 7) == 0) lanes.tick(k);
        starts.amp[last][k] = lanes.amp[k];
        s = last + 1;
    }
}

// The noise values of samples from .. to-1 of a block, drawn in order.
inline void drawNoise(OscillatorLanes& lanes, float* noise, int from, int to) {
    for (int s = from; s < to; ++s) noise[s] = lanes.noiseValue();
}

// The counters and envelopes of one block of len (4 or 8) samples, in three
// steps (begin, tick, finish) that the filter loop spreads over its samples.
struct EnvelopeStep {
    __m256i end;     // the counters at the block's last sample
    __m256i tickAt;  // each lane's tick: the sample whose counter is a multiple of 8
    __m256 ticked;
    int len;
    int eventBits;  // lanes with a part start in the block
    int tickBits;   // the other lanes that tick in the block
};

__attribute__((target("avx2"), always_inline)) inline EnvelopeStep beginEnvelopes(OscillatorLanes& lanes,
                                                                                 const BlockLanes& b, int len,
                                                                                 BlockScratch& scratch) {
    EnvelopeStep e;
    e.len = len;
    const __m256i lenV = _mm256_set1_epi32(len);
    e.end = _mm256_add_epi32(b.counter, lenV);
    const __m256i periodIn = _mm256_andnot_si256(_mm256_cmpgt_epi32(b.period, e.end), b.active);
    const __m256i lowIn = _mm256_and_si256(
        _mm256_andnot_si256(_mm256_cmpeq_epi32(b.high, b.period), _mm256_cmpgt_epi32(b.high, b.counter)),
        _mm256_andnot_si256(_mm256_cmpgt_epi32(b.high, e.end), b.active));
    e.eventBits = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_or_si256(periodIn, lowIn)));
    e.tickAt = _mm256_andnot_si256(b.counter, _mm256_set1_epi32(7));
    const int activeBits = _mm256_movemask_ps(_mm256_castsi256_ps(b.active));
    e.tickBits =
        _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(lenV, e.tickAt))) & activeBits & ~e.eventBits;
    readTickFields(lanes, b, e.tickBits, scratch);
    return e;
}

__attribute__((target("avx2"), always_inline)) inline void tickEnvelopes(OscillatorLanes& lanes, const BlockLanes& b,
                                                                        EnvelopeStep& e, const BlockScratch& scratch) {
    e.ticked = tickLanes(lanes, b, e.tickBits, scratch);
}

// Fills out.amp and returns the lanes with a part start in the block, whose
// new ramp values and steps are left in the scratch for stepRamps.
__attribute__((target("avx2"), always_inline)) inline int finishEnvelopes(OscillatorLanes& lanes, BlockLanes& b,
                                                                         const EnvelopeStep& e, BlockSamples& out,
                                                                         BlockScratch& scratch) {
    const int len = e.len, eventBits = e.eventBits;
    const __m256i end = e.end, lenV = _mm256_set1_epi32(len);
    const __m256 tickMask = maskFromBits(e.tickBits);
    for (int s = 0; s < len; ++s) {
        const __m256i reached = _mm256_cmpgt_epi32(_mm256_set1_epi32(s + 1), e.tickAt);
        out.amp[s] = _mm256_blendv_ps(b.amp, e.ticked, _mm256_and_ps(tickMask, _mm256_castsi256_ps(reached)));
    }
    b.amp = e.ticked;
    b.counter = end;
    if (eventBits == 0) return 0;

    // Lanes with a part start in this block: scalar, event by event.
    for (int s = 0; s < kBlock; ++s) scratch.bits[s] = 0;
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.counter), _mm256_sub_epi32(end, lenV));
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.periodSamples), b.period);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes.highSamples), b.high);
    _mm256_store_ps(lanes.amp, b.amp);
    for (int bits = eventBits; bits != 0; bits &= bits - 1)
        walkBlockLane(lanes, __builtin_ctz(static_cast<unsigned>(bits)), len, scratch);
    const __m256 eventMask = maskFromBits(eventBits);
    b.counter = _mm256_blendv_epi8(end, _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.counter)),
                                   _mm256_castps_si256(eventMask));
    b.period = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.periodSamples));
    b.high = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.highSamples));
    b.amp = _mm256_blendv_ps(b.amp, _mm256_load_ps(lanes.amp), eventMask);
    for (int s = 0; s < len; ++s) out.amp[s] = _mm256_blendv_ps(out.amp[s], _mm256_load_ps(scratch.amp[s]), eventMask);
    return eventBits;
}

// The ramp (or noise) values of the block: each sample adds its step, after
// the part starts that fall on it. noise holds the block's noise values.
template <bool Noise>
__attribute__((target("avx2"), always_inline)) inline void stepRamps(BlockLanes& b, const float* noise, int len,
                                                                    int eventBits, BlockSamples& out,
                                                                    const BlockScratch& scratch) {
    if (eventBits == 0) {
        for (int s = 0; s < len; ++s) {
            b.osc = _mm256_add_ps(b.osc, b.step);
            if (Noise) b.osc = _mm256_blendv_ps(b.osc, _mm256_broadcast_ss(&noise[s]), b.noiseMask);
            out.osc[s] = b.osc;
        }
        return;
    }
    for (int s = 0; s < len; ++s) {
        const __m256 startMask = maskFromBits(scratch.bits[s]);
        b.osc = _mm256_blendv_ps(b.osc, _mm256_load_ps(scratch.osc[s]), startMask);
        b.step = _mm256_blendv_ps(b.step, _mm256_load_ps(scratch.step[s]), startMask);
        b.osc = _mm256_add_ps(b.osc, b.step);
        if (Noise) b.osc = _mm256_blendv_ps(b.osc, _mm256_broadcast_ss(&noise[s]), b.noiseMask);
        out.osc[s] = b.osc;
    }
}

}  // namespace vonkel::render
