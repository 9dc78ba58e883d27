#pragma once
// Transposes shared by the AVX2 and AVX-512 paths: they only move values.
#include <immintrin.h>

#include "synth/voice_render_lanes.h"

namespace vonkel::render {

// The amplitudes of internal samples i0 .. i0+7, turned from lane-major rows
// into one vector of eight lanes per sample.
__attribute__((target("avx2"), always_inline)) inline void ampBlock(const LaneWalk& walk, int i0, __m256 sample[8]) {
    __m256 r[8];
    for (int k = 0; k < kLanes; ++k) r[k] = _mm256_load_ps(walk.ampRow[k] + i0);
    __m256 t[8], u[8];
    for (int p = 0; p < 4; ++p) {
        t[2 * p] = _mm256_unpacklo_ps(r[2 * p], r[2 * p + 1]);
        t[2 * p + 1] = _mm256_unpackhi_ps(r[2 * p], r[2 * p + 1]);
    }
    for (int h = 0; h < 2; ++h) {
        u[4 * h + 0] = _mm256_shuffle_ps(t[4 * h], t[4 * h + 2], 0x44);
        u[4 * h + 1] = _mm256_shuffle_ps(t[4 * h], t[4 * h + 2], 0xEE);
        u[4 * h + 2] = _mm256_shuffle_ps(t[4 * h + 1], t[4 * h + 3], 0x44);
        u[4 * h + 3] = _mm256_shuffle_ps(t[4 * h + 1], t[4 * h + 3], 0xEE);
    }
    for (int s = 0; s < 4; ++s) {
        sample[s] = _mm256_permute2f128_ps(u[s], u[4 + s], 0x20);
        sample[4 + s] = _mm256_permute2f128_ps(u[s], u[4 + s], 0x31);
    }
}

// Products into contributions, four output samples at a time: for each
// internal sample q and each half of the lanes, a 4 x 4 block (output sample
// by lane) turned into lane by output sample.
void transposeProductsAvx2(const Products& products, Contributions& contribution, int frames);

}  // namespace vonkel::render
