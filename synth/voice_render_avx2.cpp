// The AVX2 path: the ramps and filters of all eight lanes side by side, the
// filters as two vectors of four doubles. The lane walk runs a few blocks of
// eight samples ahead and places every part start and envelope tick, so the
// loop runs without a test from one part start to the next and its time goes
// to the filter's own dependency chain, with the walk's work beside it. The
// products come out sample-major and are turned lane-major four by four for
// the mix, which keeps eight groups of four output samples in flight.
#include <immintrin.h>

#include <algorithm>
#include <climits>

#include "synth/voice_render_lanes.h"
#include "synth/voice_render_transpose.h"

namespace vonkel::render {
namespace {

struct Registers {
    __m256 osc, step, noiseMask;
    __m256d pos[2], vel[2], cutoff[2], damping[2];
};

// Samples from..to-1 of the block that starts at i0; none starts a part.
template <bool Noise>
__attribute__((target("avx2"), always_inline)) inline void runSamples(Registers& r, OscillatorLanes& lanes, LaneWalk& walk,
                                                                     const __m256 amp[8], Products& products, int i0,
                                                                     int from, int to) {
    for (int i = from; i < to; ++i) {
        // One lane's walk per sample, beside the filters' chain.
        walk.walkLane(lanes, i & 7, std::min(walk.internalSamples, i + kWalkAhead));
        r.osc = _mm256_add_ps(r.osc, r.step);
        if (Noise) r.osc = _mm256_blendv_ps(r.osc, _mm256_broadcast_ss(&walk.noise[i]), r.noiseMask);
        const __m256 a = amp[i - i0];
        const __m256d oscHalf[2] = {_mm256_cvtps_pd(_mm256_castps256_ps128(r.osc)),
                                    _mm256_cvtps_pd(_mm256_extractf128_ps(r.osc, 1))};
        const __m256d ampHalf[2] = {_mm256_cvtps_pd(_mm256_castps256_ps128(a)),
                                    _mm256_cvtps_pd(_mm256_extractf128_ps(a, 1))};
        for (int h = 0; h < 2; ++h) {
            __m256d v = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(oscHalf[h], r.pos[h]), r.cutoff[h]), r.vel[h]);
            v = _mm256_sub_pd(v, _mm256_mul_pd(v, r.damping[h]));
            r.vel[h] = _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
            r.pos[h] = _mm256_cvtps_pd(_mm256_cvtpd_ps(_mm256_add_pd(r.pos[h], v)));
            _mm256_store_pd(&products.lane[i][4 * h], _mm256_mul_pd(r.pos[h], ampHalf[h]));
        }
    }
}

template <bool Noise>
__attribute__((target("avx2"))) void oscillatorsAndFilters(OscillatorLanes& lanes, LaneWalk& walk, FilterLanes& f,
                                                           Products& products, int internalSamples) {
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    Registers r;
    r.noiseMask = _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_set1_epi32(lanes.noiseLane), laneIndex));
    for (int h = 0; h < 2; ++h) {
        r.pos[h] = _mm256_load_pd(&f.pos[4 * h]);
        r.vel[h] = _mm256_load_pd(&f.vel[4 * h]);
        r.cutoff[h] = _mm256_load_pd(&f.cutoff[4 * h]);
        r.damping[h] = _mm256_load_pd(&f.damping[4 * h]);
    }
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

__attribute__((target("avx2"))) void transposeProductsAvx2(const Products& products, Contributions& contribution,
                                                           int frames) {
    int j = 0;
    for (; j + 4 <= frames; j += 4) {
        for (int q = 0; q < kOversampling; ++q) {
            for (int h = 0; h < 2; ++h) {
                const int lane = 4 * h;
                const __m256d r0 = _mm256_load_pd(&products.lane[kOversampling * (j + 0) + q][lane]);
                const __m256d r1 = _mm256_load_pd(&products.lane[kOversampling * (j + 1) + q][lane]);
                const __m256d r2 = _mm256_load_pd(&products.lane[kOversampling * (j + 2) + q][lane]);
                const __m256d r3 = _mm256_load_pd(&products.lane[kOversampling * (j + 3) + q][lane]);
                const __m256d t0 = _mm256_unpacklo_pd(r0, r1);
                const __m256d t1 = _mm256_unpackhi_pd(r0, r1);
                const __m256d t2 = _mm256_unpacklo_pd(r2, r3);
                const __m256d t3 = _mm256_unpackhi_pd(r2, r3);
                _mm256_storeu_pd(&contribution[lane + 0][q][j], _mm256_permute2f128_pd(t0, t2, 0x20));
                _mm256_storeu_pd(&contribution[lane + 1][q][j], _mm256_permute2f128_pd(t1, t3, 0x20));
                _mm256_storeu_pd(&contribution[lane + 2][q][j], _mm256_permute2f128_pd(t0, t2, 0x31));
                _mm256_storeu_pd(&contribution[lane + 3][q][j], _mm256_permute2f128_pd(t1, t3, 0x31));
            }
        }
    }
    for (; j < frames; ++j)
        for (int k = 0; k < kLanes; ++k)
            for (int q = 0; q < kOversampling; ++q)
                contribution[k][q][j] = products.lane[kOversampling * j + q][k];
}

void renderLanesAvx2(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames) {
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
    for (; mixed + 32 <= frames; mixed += 32) mixGroupAvx2(lanes.count, contribution, out, mixed);
    mixPortable(lanes.count, contribution, out, mixed, frames);
}

}  // namespace vonkel::render
