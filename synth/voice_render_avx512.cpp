// The AVX-512 path: the eight filters in one vector of eight doubles, and the
// mix eight output samples to a vector (four groups in flight). The loop
// itself is voice_render_vector_loop.h.
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

__attribute__((target("avx512f"), always_inline)) inline Filters loadFilters(const FilterLanes& f) {
    Filters r;
    r.pos = _mm512_load_pd(f.pos);
    r.vel = _mm512_load_pd(f.vel);
    r.cutoff = _mm512_load_pd(f.cutoff);
    r.damping = _mm512_load_pd(f.damping);
    return r;
}

__attribute__((target("avx512f"), always_inline)) inline void storeFilters(const Filters& r, FilterLanes& f) {
    _mm512_store_pd(f.pos, r.pos);
    _mm512_store_pd(f.vel, r.vel);
}

// One internal sample of the eight spring filters, and its products.
__attribute__((target("avx512f"), always_inline)) inline void filterSample(Filters& r, __m256 osc, __m256 amp,
                                                                          double* products) {
    __m512d v = _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(_mm512_cvtps_pd(osc), r.pos), r.cutoff), r.vel);
    v = _mm512_sub_pd(v, _mm512_mul_pd(v, r.damping));
    r.vel = _mm512_cvtps_pd(_mm512_cvtpd_ps(v));
    r.pos = _mm512_cvtps_pd(_mm512_cvtpd_ps(_mm512_add_pd(r.pos, v)));
    _mm512_store_pd(products, _mm512_mul_pd(r.pos, _mm512_cvtps_pd(amp)));
}

// Output samples j0 .. j0+31: four sums of eight samples each, every
// contribution added and rounded in the order of mixPortable.
__attribute__((target("avx512f"))) void mixGroup(int count, const Contributions& contribution, float* out, int j0) {
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

#define VONKEL_VECTOR_TARGET "avx512f"
#include "synth/voice_render_vector_loop.h"

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace

void renderLanesAvx512(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames) {
    renderLanesVector(lanes, f, out, frames);
}

}  // namespace vonkel::render
