// The AVX-512 path: as the AVX2 path (voice_render_avx2.cpp), with the eight
// filters in one vector of eight doubles and the mix eight output samples to
// a vector.
#include <immintrin.h>

#include <algorithm>
#include <climits>

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

struct Registers {
    __m256 osc, step, noiseMask;
    __m512d pos, vel, cutoff, damping;
};

// Samples from..to-1 of the block that starts at i0; none starts a part.
template <bool Noise>
__attribute__((target("avx512f"), always_inline)) inline void runSamples(Registers& r, OscillatorLanes& lanes, LaneWalk& walk,
                                                                        const __m256 amp[8], Products& products,
                                                                        int i0, int from, int to) {
    for (int i = from; i < to; ++i) {
        // One lane's walk per sample, beside the filters' chain.
        walk.walkLane(lanes, i & 7, std::min(walk.internalSamples, i + kWalkAhead));
        r.osc = _mm256_add_ps(r.osc, r.step);
        if (Noise) r.osc = _mm256_blendv_ps(r.osc, _mm256_broadcast_ss(&walk.noise[i]), r.noiseMask);
        const __m512d a = _mm512_cvtps_pd(amp[i - i0]);
        __m512d v = _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(_mm512_cvtps_pd(r.osc), r.pos), r.cutoff), r.vel);
        v = _mm512_sub_pd(v, _mm512_mul_pd(v, r.damping));
        r.vel = _mm512_cvtps_pd(_mm512_cvtpd_ps(v));
        r.pos = _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_add_pd(r.pos, v)));
        _mm512_store_pd(products.lane[i], _mm512_mul_pd(r.pos, a));
    }
}

template <bool Noise>
__attribute__((target("avx512f"))) void oscillatorsAndFilters(OscillatorLanes& lanes, LaneWalk& walk, FilterLanes& f,
                                                              Products& products, int internalSamples) {
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    Registers r;
    r.noiseMask = _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_set1_epi32(lanes.noiseLane), laneIndex));
    r.pos = _mm512_load_pd(f.pos);
    r.vel = _mm512_load_pd(f.vel);
    r.cutoff = _mm512_load_pd(f.cutoff);
    r.damping = _mm512_load_pd(f.damping);
    r.osc = _mm256_load_ps(walk.osc);
    r.step = _mm256_load_ps(walk.step);
    int applied[kLanes] = {};  // part starts taken, per lane
    for (int k = 0; k < kLanes; ++k) walk.walkLane(lanes, k, std::min(internalSamples, kWalkAhead));
    for (int i0 = 0; i0 < internalSamples; i0 += 8) {
        const int end = std::min(i0 + 8, internalSamples);
        walk.drawNoise(lanes, end);
        __m256 amp[8];
        ampBlock(walk, i0, amp);
        int i = i0;
        for (;;) {
            int start = INT_MAX;
            for (int k = 0; k < kLanes; ++k) start = std::min(start, walk.starts[k][applied[k]].sample);
            if (start >= end) break;
            runSamples<Noise>(r, lanes, walk, amp, products, i0, i, start);
            // The lanes whose part starts fall on this sample take their new
            // ramp value and step before the sample's step is added.
            alignas(32) float osc[kLanes], step[kLanes];
            _mm256_store_ps(osc, r.osc);
            _mm256_store_ps(step, r.step);
            for (int k = 0; k < kLanes; ++k) {
                const PartStart& next = walk.starts[k][applied[k]];
                if (next.sample != start) continue;
                osc[k] = next.osc;
                step[k] = next.step;
                ++applied[k];
            }
            r.osc = _mm256_load_ps(osc);
            r.step = _mm256_load_ps(step);
            i = start;
        }
        runSamples<Noise>(r, lanes, walk, amp, products, i0, i, end);
    }
    for (int k = 0; k < kLanes; ++k) walk.walkLane(lanes, k, internalSamples);
    walk.finish(lanes);
    _mm256_storeu_ps(lanes.osc, r.osc);
    _mm256_storeu_ps(lanes.step, r.step);
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
    LaneWalk walk;
    walk.begin(lanes, internalSamples);
    Products products;
    if (lanes.noiseLane >= 0)
        oscillatorsAndFilters<true>(lanes, walk, f, products, internalSamples);
    else
        oscillatorsAndFilters<false>(lanes, walk, f, products, internalSamples);
    Contributions contribution;
    transposeProductsAvx2(products, contribution, frames);
    int mixed = 0;
    for (; mixed + 32 <= frames; mixed += 32) mixGroupAvx512(lanes.count, contribution, out, mixed);
    mixPortable(lanes.count, contribution, out, mixed, frames);
}

}  // namespace vonkel::render
