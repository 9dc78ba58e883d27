// The AVX2 path: the filters of all eight lanes side by side as two vectors
// of four doubles, fed block by block (voice_render_blocks.h) with the ramps
// and amplitudes, which run one block ahead. The loop's time goes to the
// filters' own dependency chain; the other work sits beside it. The products
// go into the contributions four output samples at a time
// (voice_render_transpose.h), and the mix keeps eight groups of four output
// samples in flight.
#include <immintrin.h>

#include <algorithm>

#include "synth/voice_render_blocks.h"
#include "synth/voice_render_lanes.h"
#include "synth/voice_render_transpose.h"

namespace vonkel::render {
namespace {

struct Filters {
    __m256d pos[2], vel[2], cutoff[2], damping[2];
};

// One internal sample of the eight spring filters, and its products.
__attribute__((target("avx2"), always_inline)) inline void filterSample(Filters& r, __m256 osc, __m256 amp,
                                                                       double* products) {
    const __m256d oscHalf[2] = {_mm256_cvtps_pd(_mm256_castps256_ps128(osc)),
                                _mm256_cvtps_pd(_mm256_extractf128_ps(osc, 1))};
    const __m256d ampHalf[2] = {_mm256_cvtps_pd(_mm256_castps256_ps128(amp)),
                                _mm256_cvtps_pd(_mm256_extractf128_ps(amp, 1))};
    for (int h = 0; h < 2; ++h) {
        __m256d v = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(oscHalf[h], r.pos[h]), r.cutoff[h]), r.vel[h]);
        v = _mm256_sub_pd(v, _mm256_mul_pd(v, r.damping[h]));
        r.vel[h] = _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
        r.pos[h] = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_add_pd(r.pos[h], v)));
        _mm256_store_pd(products + 4 * h, _mm256_mul_pd(r.pos[h], ampHalf[h]));
    }
}

template <bool Noise>
__attribute__((target("avx2"))) void oscillatorsAndFilters(OscillatorLanes& lanes, FilterLanes& f,
                                                           Contributions& contribution, int internalSamples) {
    Filters r;
    for (int h = 0; h < 2; ++h) {
        r.pos[h] = _mm256_load_pd(&f.pos[4 * h]);
        r.vel[h] = _mm256_load_pd(&f.vel[4 * h]);
        r.cutoff[h] = _mm256_load_pd(&f.cutoff[4 * h]);
        r.damping[h] = _mm256_load_pd(&f.damping[4 * h]);
    }
    BlockLanes b = loadBlockLanes(lanes);
    alignas(32) float noise[kBlock] = {};
    BlockScratch scratch;
    // The oscillators and envelopes run one block ahead of the filters, and
    // their steps sit between the filters' samples, so that the filters'
    // dependency chain always has independent work beside it.
    BlockSamples blocks[2];
    ProductRing ring;
    const int firstLen = std::min(kBlock, internalSamples);
    if (Noise) drawNoise(lanes, noise, 0, firstLen);
    EnvelopeStep e = beginEnvelopes(lanes, b, firstLen, scratch);
    tickEnvelopes(lanes, b, e, scratch);
    stepRamps<Noise>(b, noise, firstLen, finishEnvelopes(lanes, b, e, blocks[0], scratch), blocks[0], scratch);
    for (int i0 = 0, now = 0; i0 < internalSamples; i0 += kBlock, now ^= 1) {
        const int len = std::min(kBlock, internalSamples - i0);  // 4 or 8
        const int nextLen = std::min(kBlock, internalSamples - i0 - kBlock);
        const BlockSamples& in = blocks[now];
        BlockSamples& next = blocks[now ^ 1];
        const bool more = nextLen > 0;
        double(*const out)[kLanes] = ring.lane;
        const int at = i0 % kRingSamples;
        // The next block's steps, a few between each two of this block's
        // samples: in one piece they would fill the processor's window of
        // waiting instructions and starve the filters' chain.
        filterSample(r, in.osc[0], in.amp[0], out[at + 0]);
        if (Noise && more) drawNoise(lanes, noise, 0, std::min(nextLen, 4));
        filterSample(r, in.osc[1], in.amp[1], out[at + 1]);
        if (more) e = beginEnvelopes(lanes, b, nextLen, scratch);
        filterSample(r, in.osc[2], in.amp[2], out[at + 2]);
        if (more) tickEnvelopes(lanes, b, e, scratch);
        filterSample(r, in.osc[3], in.amp[3], out[at + 3]);
        if (Noise && more) drawNoise(lanes, noise, 4, nextLen);
        int nextEvents = 0;
        if (len == kBlock) {
            filterSample(r, in.osc[4], in.amp[4], out[at + 4]);
            if (more) nextEvents = finishEnvelopes(lanes, b, e, next, scratch);
            filterSample(r, in.osc[5], in.amp[5], out[at + 5]);
            if (more) stepRamps<Noise>(b, noise, nextLen, nextEvents, next, scratch);
            filterSample(r, in.osc[6], in.amp[6], out[at + 6]);
            filterSample(r, in.osc[7], in.amp[7], out[at + 7]);
        } else if (more) {
            nextEvents = finishEnvelopes(lanes, b, e, next, scratch);
            stepRamps<Noise>(b, noise, nextLen, nextEvents, next, scratch);
        }
        moveProductsAfter(ring, contribution, i0 + len, internalSamples, lanes.count);
    }
    storeBlockLanes(b, lanes);
    for (int h = 0; h < 2; ++h) {
        _mm256_store_pd(&f.pos[4 * h], r.pos[h]);
        _mm256_store_pd(&f.vel[4 * h], r.vel[h]);
    }
}

// Output samples j0 .. j0+31: eight sums of four samples each, every
// contribution added and rounded in the order of mixPortable.
__attribute__((target("avx2"))) void mixGroupAvx2(int count, const Contributions& contribution, float* out, int j0) {
    constexpr int kGroups = 8;
    __m256d sum[kGroups];
    for (int g = 0; g < kGroups; ++g) sum[g] = _mm256_cvtps_pd(_mm_loadu_ps(out + j0 + 4 * g));
    for (int k = 0; k < count; ++k)
        for (int q = 0; q < kOversampling; ++q)
            for (int g = 0; g < kGroups; ++g)
                sum[g] = _mm256_cvtps_pd(
                    _mm256_cvtpd_ps(_mm256_add_pd(sum[g], _mm256_loadu_pd(&contribution[k][q][j0 + 4 * g]))));
    for (int g = 0; g < kGroups; ++g) _mm_storeu_ps(out + j0 + 4 * g, _mm256_cvtpd_ps(sum[g]));
}

}  // namespace

void renderLanesAvx2(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames) {
    const int internalSamples = kOversampling * frames;
    Contributions contribution;
    if (lanes.noiseLane >= 0)
        oscillatorsAndFilters<true>(lanes, f, contribution, internalSamples);
    else
        oscillatorsAndFilters<false>(lanes, f, contribution, internalSamples);
    int mixed = 0;
    for (; mixed + 32 <= frames; mixed += 32) mixGroupAvx2(lanes.count, contribution, out, mixed);
    mixPortable(lanes.count, contribution, out, mixed, frames);
}

}  // namespace vonkel::render
