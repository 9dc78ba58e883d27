#include "desktop/window/row_converters.h"

#include <cstddef>

namespace vonkel {
namespace {

constexpr uint32_t red(uint32_t p) { return (p >> 16) & 0xFFu; }
constexpr uint32_t green(uint32_t p) { return (p >> 8) & 0xFFu; }
constexpr uint32_t blue(uint32_t p) { return p & 0xFFu; }

// A destination pixel as a word; each converter stores its `Bytes` lowest
// bytes, lowest first.
constexpr uint32_t asIs(uint32_t p) { return p; }
constexpr uint32_t swapped(uint32_t p) { return blue(p) << 16 | green(p) << 8 | red(p); }
constexpr uint32_t rgb565(uint32_t p) { return (red(p) >> 3) << 11 | (green(p) >> 2) << 5 | (blue(p) >> 3); }
constexpr uint32_t bgr565(uint32_t p) { return (blue(p) >> 3) << 11 | (green(p) >> 2) << 5 | (red(p) >> 3); }
constexpr uint32_t rgb555(uint32_t p) { return (red(p) >> 3) << 10 | (green(p) >> 3) << 5 | (blue(p) >> 3); }
constexpr uint32_t bgr555(uint32_t p) { return (blue(p) >> 3) << 10 | (green(p) >> 3) << 5 | (red(p) >> 3); }

// Surface memory is written byte by byte so that no converter depends on the
// alignment of the destination or on the host's byte order: 16- and 32-bit
// pixels are little-endian words, and a 24-bit pixel's bytes come in the
// order of its word's (0xRRGGBB: B, G, R).
template <int Bytes, uint32_t (*Pixel)(uint32_t)>
void convertRow(const uint32_t* source, void* destination, int count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (int i = 0; i < count; ++i, d += Bytes) {
        const uint32_t word = Pixel(source[i]);
        for (int b = 0; b < Bytes; ++b) d[b] = static_cast<unsigned char>(word >> (8 * b));
    }
}

}  // namespace

void copyRow32(const uint32_t* s, void* d, int count) { convertRow<4, asIs>(s, d, count); }
void swapRow32(const uint32_t* s, void* d, int count) { convertRow<4, swapped>(s, d, count); }
void packRow24(const uint32_t* s, void* d, int count) { convertRow<3, asIs>(s, d, count); }
void packRow24Swapped(const uint32_t* s, void* d, int count) { convertRow<3, swapped>(s, d, count); }
void packRow565(const uint32_t* s, void* d, int count) { convertRow<2, rgb565>(s, d, count); }
void packRow565Swapped(const uint32_t* s, void* d, int count) { convertRow<2, bgr565>(s, d, count); }
void packRow555(const uint32_t* s, void* d, int count) { convertRow<2, rgb555>(s, d, count); }
void packRow555Swapped(const uint32_t* s, void* d, int count) { convertRow<2, bgr555>(s, d, count); }

RowConverter chooseRowConverter(int bitsPerPixel, uint32_t redMask, uint32_t greenMask, uint32_t blueMask) {
    struct Entry {
        int bits;
        uint32_t red, green, blue;
        RowConverter converter;
    };
    static constexpr Entry kTable[] = {
        {32, 0xFF0000, 0xFF00, 0xFF, copyRow32},
        {32, 0xFF, 0xFF00, 0xFF0000, swapRow32},
        {24, 0xFF0000, 0xFF00, 0xFF, packRow24},
        {24, 0xFF, 0xFF00, 0xFF0000, packRow24Swapped},
        {16, 0xF800, 0x07E0, 0x001F, packRow565},
        {16, 0x001F, 0x07E0, 0xF800, packRow565Swapped},
        {16, 0x7C00, 0x03E0, 0x001F, packRow555},
        {16, 0x001F, 0x03E0, 0x7C00, packRow555Swapped},
    };
    for (const Entry& e : kTable) {
        if (e.bits == bitsPerPixel && e.red == redMask && e.green == greenMask && e.blue == blueMask) {
            return e.converter;
        }
    }
    return nullptr;
}

void convertImage(RowConverter converter, const uint32_t* image, int width, int height, void* surface,
                  int pitchBytes) {
    auto* row = static_cast<unsigned char*>(surface);
    for (int y = 0; y < height; ++y) {
        converter(image + static_cast<ptrdiff_t>(y) * width, row + static_cast<ptrdiff_t>(y) * pitchBytes, width);
    }
}

}  // namespace vonkel
