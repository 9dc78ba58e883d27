#pragma once
// The picture as the page's canvas takes it: a pure conversion, built
// natively for the tests as well.
#include <cstddef>
#include <cstdint>

namespace vonkel::web {

// 0x00RRGGBB pixels to the canvas's RGBA bytes (R first in memory), opaque.
void canvasPixelsOf(const uint32_t* pixels, uint32_t* canvas, std::size_t count);

}  // namespace vonkel::web
