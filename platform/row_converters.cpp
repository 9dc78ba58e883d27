#include "platform/row_converters.h"

#include <cstddef>

namespace vonkel {

namespace {

constexpr uint32_t red(uint32_t p) { return (p >> 16) & 0xFFu; }
constexpr uint32_t green(uint32_t p) { return (p >> 8) & 0xFFu; }
constexpr uint32_t blue(uint32_t p) { return p & 0xFFu; }

// Surface memory is written byte by byte so that no converter depends on the
// alignment of the destination or on the host's byte order: 16- and 32-bit
// destination pixels are little-endian words.
inline void storeWord16(unsigned char* d, uint32_t v) {
    d[0] = static_cast<unsigned char>(v & 0xFFu);
    d[1] = static_cast<unsigned char>((v >> 8) & 0xFFu);
}

inline void storeWord32(unsigned char* d, uint32_t v) {
    d[0] = static_cast<unsigned char>(v & 0xFFu);
    d[1] = static_cast<unsigned char>((v >> 8) & 0xFFu);
    d[2] = static_cast<unsigned char>((v >> 16) & 0xFFu);
    d[3] = static_cast<unsigned char>((v >> 24) & 0xFFu);
}

}  // namespace

void copyRow32(const uint32_t* source, void* destination, int count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (int i = 0; i < count; ++i, d += 4) storeWord32(d, source[i]);
}

void swapRow32(const uint32_t* source, void* destination, int count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (int i = 0; i < count; ++i, d += 4) {
        const uint32_t p = source[i];
        storeWord32(d, blue(p) << 16 | green(p) << 8 | red(p));
    }
}

void packRow24(const uint32_t* source, void* destination, int count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (int i = 0; i < count; ++i, d += 3) {
        const uint32_t p = source[i];
        d[0] = static_cast<unsigned char>(blue(p));
        d[1] = static_cast<unsigned char>(green(p));
        d[2] = static_cast<unsigned char>(red(p));
    }
}

void packRow24Swapped(const uint32_t* source, void* destination, int count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (int i = 0; i < count; ++i, d += 3) {
        const uint32_t p = source[i];
        d[0] = static_cast<unsigned char>(red(p));
        d[1] = static_cast<unsigned char>(green(p));
        d[2] = static_cast<unsigned char>(blue(p));
    }
}

void packRow565(const uint32_t* source, void* destination, int count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (int i = 0; i < count; ++i, d += 2) {
        const uint32_t p = source[i];
        storeWord16(d, (red(p) >> 3) << 11 | (green(p) >> 2) << 5 | (blue(p) >> 3));
    }
}

void packRow565Swapped(const uint32_t* source, void* destination, int count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (int i = 0; i < count; ++i, d += 2) {
        const uint32_t p = source[i];
        storeWord16(d, (blue(p) >> 3) << 11 | (green(p) >> 2) << 5 | (red(p) >> 3));
    }
}

void packRow555(const uint32_t* source, void* destination, int count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (int i = 0; i < count; ++i, d += 2) {
        const uint32_t p = source[i];
        storeWord16(d, (red(p) >> 3) << 10 | (green(p) >> 3) << 5 | (blue(p) >> 3));
    }
}

void packRow555Swapped(const uint32_t* source, void* destination, int count) {
    auto* d = static_cast<unsigned char*>(destination);
    for (int i = 0; i < count; ++i, d += 2) {
        const uint32_t p = source[i];
        storeWord16(d, (blue(p) >> 3) << 10 | (green(p) >> 3) << 5 | (red(p) >> 3));
    }
}

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
