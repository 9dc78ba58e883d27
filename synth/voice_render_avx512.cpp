// The AVX-512 path: as the AVX2 path (voice_render_avx2.cpp), with the eight
// filters in one vector of eight doubles and the mix eight output samples to
// a vector (four groups in flight).
#include <immintrin.h>

#include <algorithm>

#include "synth/voice_render_blocks.h"
#include "synth/voice_render_lanes.h"
#include "synth/voice_render_transpose.h"

namespace vonkel::render {
namespace {

// (GCC 12's own AVX-512 conversion intrinsics trip its uninitialised-value
// warning.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

struct Filters {
    __m512d pos, vel, cutoff, damping;
};

// One internal sample of the eight spring filters, and its products.
__attribute__((target("avx512f"), always_inline)) inline void filterSample(Filters& r, __m256 osc, __m256 amp,
                                                                          double* products) {
    __m512d v = _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(_mm512_cvtps_pd(osc), r.pos), r.cutoff), r.vel);
    v = _mm512_sub_pd(v, _mm512_mul_pd(v, r.damping));
    r.vel = _mm512_cvtps_pd(_mm512_cvtpd_ps(v));
    r.pos = _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_add_pd(r.pos, v)));
    _mm512_store_pd(products, _mm512_mul_pd(r.pos, _mm512_cvtps_pd(amp)));
}

template <bool Noise>
__attribute__((target("avx512f"))) void oscillatorsAndFilters(OscillatorLanes& lanes, FilterLanes& f,
                                                              Contributions& contribution, int internalSamples) {
    Filters r;
    r.pos = _mm512_load_pd(f.pos);
    r.vel = _mm512_load_pd(f.vel);
    r.cutoff = _mm512_load_pd(f.cutoff);
    r.damping = _mm512_load_pd(f.damping);
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
    _mm512_store_pd(f.pos, r.pos);
    _mm512_store_pd(f.vel, r.vel);
}

// Output samples j0 .. j0+31: four sums of eight samples each, every
// contribution added and rounded in the order of mixPortable.
__attribute__((target("avx512f"))) void mixGroupAvx512(int count, const Contributions& contribution, float* out,
                                                       int j0) {
    constexpr int kGroups = 4;
    __m512d sum[kGroups];
    for (int g = 0; g < kGroups; ++g) sum[g] = _mm512_cvtps_pd(_mm256_loadu_ps(out + j0 + 8 * g));
    for (int k = 0; k < count; ++k)
        for (int q = 0; q < kOversampling; ++q)
            for (int g = 0; g < kGroups; ++g)
                sum[g] = _mm512_cvtps_pd(
                    _mm512_cvtpd_ps(_mm512_add_pd(sum[g], _mm512_loadu_pd(&contribution[k][q][j0 + 8 * g]))));
    for (int g = 0; g < kGroups; ++g) _mm256_storeu_ps(out + j0 + 8 * g, _mm512_cvtpd_ps(sum[g]));
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace

void renderLanesAvx512(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames) {
    const int internalSamples = kOversampling * frames;
    Contributions contribution;
    if (lanes.noiseLane >= 0)
        oscillatorsAndFilters<true>(lanes, f, contribution, internalSamples);
    else
        oscillatorsAndFilters<false>(lanes, f, contribution, internalSamples);
    int mixed = 0;
    for (; mixed + 32 <= frames; mixed += 32) mixGroupAvx512(lanes.count, contribution, out, mixed);
    mixPortable(lanes.count, contribution, out, mixed, frames);
}

}  // namespace vonkel::render
