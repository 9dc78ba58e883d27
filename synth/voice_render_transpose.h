#pragma once
// The transpose shared by the AVX2 and AVX-512 paths: it only moves values.
#include "synth/voice_render_lanes.h"

namespace vonkel::render {

// Products into contributions, four output samples at a time: for each
// internal sample q and each half of the lanes, a 4 x 4 block (output sample
// by lane) turned into lane by output sample.
void transposeProductsAvx2(const Products& products, Contributions& contribution, int frames);

}  // namespace vonkel::render
