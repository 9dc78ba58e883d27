#include "web/canvas_pixels.h"

#include <bit>

namespace vonkel::web {

void canvasPixelsOf(const uint32_t* pixels, uint32_t* canvas, std::size_t count) {
    static_assert(std::endian::native == std::endian::little, "canvas bytes are written as little-endian words");
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        canvas[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
}

}  // namespace vonkel::web
