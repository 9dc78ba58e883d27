// The AVX2 path: the eight filters as two vectors of four doubles, and the
// mix with eight groups of four output samples in flight. The loop itself is
// voice_render_vector_loop.h.
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

__attribute__((target("avx2"), always_inline)) inline Filters loadFilters(const FilterLanes& f) {
    Filters r;
    for (int h = 0; h < 2; ++h) {
        r.pos[h] = _mm256_load_pd(&f.pos[4 * h]);
        r.vel[h] = _mm256_load_pd(&f.vel[4 * h]);
        r.cutoff[h] = _mm256_load_pd(&f.cutoff[4 * h]);
        r.damping[h] = _mm256_load_pd(&f.damping[4 * h]);
    }
    return r;
}

__attribute__((target("avx2"), always_inline)) inline void storeFilters(const Filters& r, FilterLanes& f) {
    for (int h = 0; h < 2; ++h) {
        _mm256_store_pd(&f.pos[4 * h], r.pos[h]);
        _mm256_store_pd(&f.vel[4 * h], r.vel[h]);
    }
}

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

// Output samples j0 .. j0+31: eight sums of four samples each, every
// contribution added and rounded in the order of mixPortable.
__attribute__((target("avx2"))) void mixGroup(int count, const Contributions& contribution, float* out, int j0) {
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

#define VONKEL_VECTOR_TARGET "avx2"
#include "synth/voice_render_vector_loop.h"

}  // namespace

void renderLanesAvx2(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames) {
    renderLanesVector(lanes, f, out, frames);
}

}  // namespace vonkel::render
