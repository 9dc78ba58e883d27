// The AVX-512 path: as the AVX2 path, with the eight filters in one vector
// of eight doubles and the mix eight output samples to a vector.
#include <immintrin.h>

#include <algorithm>

#include "synth/voice_render_lanes.h"

namespace vonkel::render {
namespace {

// (GCC 12's own AVX-512 conversion intrinsics trip its uninitialised-value
// warning.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

// Samples from..to-1, none of which starts a part.
template <bool Noise>
__attribute__((target("avx512f"), always_inline)) inline void runSamples(__m256& osc, __m256 step, __m256 noiseMask,
                                                                        __m512d& pos, __m512d& vel, __m512d cutoff,
                                                                        __m512d damping, const LaneTimeline& t,
                                                                        Products& products, int from, int to) {
    for (int i = from; i < to; ++i) {
        osc = _mm256_add_ps(osc, step);
        if (Noise) osc = _mm256_blendv_ps(osc, _mm256_broadcast_ss(&t.noise[i]), noiseMask);
        const __m512d amp = _mm512_cvtps_pd(_mm256_load_ps(t.amp[i]));
        __m512d v = _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(_mm512_cvtps_pd(osc), pos), cutoff), vel);
        v = _mm512_sub_pd(v, _mm512_mul_pd(v, damping));
        vel = _mm512_cvtps_pd(_mm512_cvtpd_ps(v));
        pos = _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_add_pd(pos, v)));
        _mm512_store_pd(products.lane[i], _mm512_mul_pd(pos, amp));
    }
}

template <bool Noise>
__attribute__((target("avx512f"))) void oscillatorsAndFilters(OscillatorLanes& lanes, const LaneTimeline& t,
                                                              FilterLanes& f, Products& products, int internalSamples) {
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256 noiseMask = _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_set1_epi32(lanes.noiseLane), laneIndex));
    __m512d pos = _mm512_load_pd(f.pos);
    __m512d vel = _mm512_load_pd(f.vel);
    const __m512d cutoff = _mm512_load_pd(f.cutoff);
    const __m512d damping = _mm512_load_pd(f.damping);
    __m256 osc = _mm256_load_ps(t.osc);
    __m256 step = _mm256_load_ps(t.step);
    const PartStart* next[kLanes];
    for (int k = 0; k < kLanes; ++k) next[k] = t.starts[k];
    int i = 0;
    for (;;) {
        int until = internalSamples;
        for (int k = 0; k < kLanes; ++k) until = std::min<int>(until, next[k]->sample);
        runSamples<Noise>(osc, step, noiseMask, pos, vel, cutoff, damping, t, products, i, until);
        if (until >= internalSamples) break;
        // The lanes whose part starts fall on this sample take their new
        // ramp value and step before the sample's step is added.
        _mm256_store_ps(lanes.osc, osc);
        _mm256_store_ps(lanes.step, step);
        for (int k = 0; k < kLanes; ++k) {
            if (next[k]->sample != until) continue;
            lanes.osc[k] = next[k]->osc;
            lanes.step[k] = next[k]->step;
            ++next[k];
        }
        osc = _mm256_load_ps(lanes.osc);
        step = _mm256_load_ps(lanes.step);
        i = until;
    }
    _mm256_store_ps(lanes.osc, osc);
    _mm256_store_ps(lanes.step, step);
    _mm512_store_pd(f.pos, pos);
    _mm512_store_pd(f.vel, vel);
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
    LaneTimeline timeline;
    walkLanes(lanes, timeline, internalSamples);
    Products products;
    if (lanes.noiseLane >= 0)
        oscillatorsAndFilters<true>(lanes, timeline, f, products, internalSamples);
    else
        oscillatorsAndFilters<false>(lanes, timeline, f, products, internalSamples);
    Contributions contribution;
    transposeProductsAvx2(products, contribution, frames);
    int mixed = 0;
    for (; mixed + 32 <= frames; mixed += 32) mixGroupAvx512(lanes.count, contribution, out, mixed);
    mixPortable(lanes.count, contribution, out, mixed, frames);
}

}  // namespace vonkel::render
