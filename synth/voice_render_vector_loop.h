// The filter loop of the vector paths, written once and compiled once per
// instruction set: voice_render_avx2.cpp and voice_render_avx512.cpp each
// include this file inside their own unnamed namespace (so it has no include
// guard), after voice_render_blocks.h and voice_render_transpose.h, and after
// they define
//   VONKEL_VECTOR_TARGET  the instruction set, as the target attribute names
//                         it ("avx2", "avx512f");
//   Filters               the eight spring filters in registers, with
//                         loadFilters(f), storeFilters(r, f) and
//                         filterSample(r, osc, amp, products), all always
//                         inlined (a call would spill the filters);
//   mixGroup(count, contribution, out, j0)  output samples j0 .. j0+31.
// The file defines oscillatorsAndFilters and renderLanesVector, and undefines
// VONKEL_VECTOR_TARGET. Only the functions that run vector code carry the
// target attribute (never the whole file's flags), so that no inline function
// of a shared header is compiled for an instruction set the processor may
// lack.
//
// The filters of all eight lanes run side by side, fed block by block
// (voice_render_blocks.h) with the ramps and amplitudes, which run one block
// ahead. The loop's time goes to the filters' own dependency chain; the other
// work sits beside it. The products go into the contributions four output
// samples at a time (voice_render_transpose.h).
#ifndef VONKEL_VECTOR_TARGET
#error "define VONKEL_VECTOR_TARGET before including voice_render_vector_loop.h"
#endif

template <bool Noise>
__attribute__((target(VONKEL_VECTOR_TARGET))) void oscillatorsAndFilters(OscillatorLanes& lanes, FilterLanes& f,
                                                                        Contributions& contribution,
                                                                        int internalSamples) {
    Filters r = loadFilters(f);
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
    storeFilters(r, f);
}

// Plain code without a target: it only calls the vector functions, and the
// renderer takes this path only on a processor that runs them.
void renderLanesVector(OscillatorLanes& lanes, FilterLanes& f, float* out, int frames) {
    const int internalSamples = kOversampling * frames;
    Contributions contribution;
    if (lanes.noiseLane >= 0)
        oscillatorsAndFilters<true>(lanes, f, contribution, internalSamples);
    else
        oscillatorsAndFilters<false>(lanes, f, contribution, internalSamples);
    int mixed = 0;
    for (; mixed + 32 <= frames; mixed += 32) mixGroup(lanes.count, contribution, out, mixed);
    mixPortable(lanes.count, contribution, out, mixed, frames);
}

#undef VONKEL_VECTOR_TARGET
