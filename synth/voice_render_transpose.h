#pragma once
// The transpose shared by the AVX2 and AVX-512 paths: it only moves values.
#include <immintrin.h>

#include "synth/voice_render_lanes.h"

namespace vonkel::render {

// The products of output samples from .. to-1 (within the ring's four, from
// a multiple of 4) into the contributions of lanes 0 .. count-1. Four whole
// output samples go as 4 x 4 blocks (output sample by lane, for each internal
// sample q and each half of the lanes) turned into lane by output sample.
__attribute__((target("avx2"), always_inline)) inline void moveProducts(const ProductRing& ring,
                                                                       Contributions& contribution, int from, int to,
                                                                       int count) {
    if (to - from < 4) {
        for (int j = from; j < to; ++j)
            for (int k = 0; k < count; ++k)
                for (int q = 0; q < kOversampling; ++q)
                    contribution[k][q][j] = ring.lane[(kOversampling * j + q) % kRingSamples][k];
        return;
    }
    for (int lane = 0; lane < count; lane += 4) {
        for (int q = 0; q < kOversampling; ++q) {
            const __m256d r0 = _mm256_load_pd(&ring.lane[q][lane]);
            const __m256d r1 = _mm256_load_pd(&ring.lane[kOversampling + q][lane]);
            const __m256d r2 = _mm256_load_pd(&ring.lane[2 * kOversampling + q][lane]);
            const __m256d r3 = _mm256_load_pd(&ring.lane[3 * kOversampling + q][lane]);
            const __m256d t0 = _mm256_unpacklo_pd(r0, r1);
            const __m256d t1 = _mm256_unpackhi_pd(r0, r1);
            const __m256d t2 = _mm256_unpacklo_pd(r2, r3);
            const __m256d t3 = _mm256_unpackhi_pd(r2, r3);
            _mm256_storeu_pd(&contribution[lane + 0][q][from], _mm256_permute2f128_pd(t0, t2, 0x20));
            _mm256_storeu_pd(&contribution[lane + 1][q][from], _mm256_permute2f128_pd(t1, t3, 0x20));
            _mm256_storeu_pd(&contribution[lane + 2][q][from], _mm256_permute2f128_pd(t0, t2, 0x31));
            _mm256_storeu_pd(&contribution[lane + 3][q][from], _mm256_permute2f128_pd(t1, t3, 0x31));
        }
    }
}

// After the block of internal samples that ends at `end`: moves the ring
// into the contributions when it is full or the chunk is done.
__attribute__((target("avx2"), always_inline)) inline void moveProductsAfter(const ProductRing& ring,
                                                                            Contributions& contribution, int end,
                                                                            int internalSamples, int count) {
    if (end % kRingSamples == 0 || end == internalSamples)
        moveProducts(ring, contribution, (end - 1) / kRingSamples * 4, end / kOversampling, count);
}

}  // namespace vonkel::render
