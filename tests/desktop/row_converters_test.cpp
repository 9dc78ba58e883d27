#include "desktop/window/row_converters.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <vector>

namespace vonkel {
namespace {

// The display formats a converter must exist for, as the display describes
// them: bytes per pixel times 8, and the channel masks of a little-endian word.
struct Format {
    const char* name;
    int bits;
    uint32_t red, green, blue;
    RowConverter converter() const { return chooseRowConverter(bits, red, green, blue); }
};

const Format kFormats[] = {
    {"XRGB8888", 32, 0xFF0000, 0xFF00, 0xFF},  {"XBGR8888", 32, 0xFF, 0xFF00, 0xFF0000},
    {"RGB24", 24, 0xFF0000, 0xFF00, 0xFF},     {"BGR24", 24, 0xFF, 0xFF00, 0xFF0000},
    {"RGB565", 16, 0xF800, 0x07E0, 0x001F},    {"BGR565", 16, 0x001F, 0x07E0, 0xF800},
    {"XRGB1555", 16, 0x7C00, 0x03E0, 0x001F},  {"XBGR1555", 16, 0x001F, 0x03E0, 0x7C00},
};

// Pixels with every channel distinct, extreme values and a set top byte.
const std::vector<uint32_t> kSamples = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x123456,
                                        0x000080, 0x87654321, 0xFF08F7, 0x7F8081, 0xC0FFEE};

uint32_t readLittleEndian(const unsigned char* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

TEST(ChooseRowConverter, EveryOneOfTheFourValuesMustMatch) {
    for (const Format& f : kFormats) {
        ASSERT_NE(f.converter(), nullptr) << f.name;
        EXPECT_EQ(chooseRowConverter(f.bits + 1, f.red, f.green, f.blue), nullptr) << f.name;
        EXPECT_EQ(chooseRowConverter(f.bits, f.red ^ 1u, f.green, f.blue), nullptr) << f.name;
        EXPECT_EQ(chooseRowConverter(f.bits, f.red, f.green ^ 1u, f.blue), nullptr) << f.name;
        EXPECT_EQ(chooseRowConverter(f.bits, f.red, f.green, f.blue ^ 1u), nullptr) << f.name;
    }
}

// Reads each destination pixel back through the masks of its format: every
// channel holds the top bits of the source channel and nothing is set outside
// the three masks (except the copied top byte of copyRow32).
TEST(RowConverters, EveryPixelReadsBackThroughItsFormatMasks) {
    for (const Format& f : kFormats) {
        const int bytes = f.bits / 8;
        std::vector<unsigned char> out(kSamples.size() * static_cast<size_t>(bytes), 0xCD);
        f.converter()(kSamples.data(), out.data(), static_cast<int>(kSamples.size()));
        for (size_t i = 0; i < kSamples.size(); ++i) {
            const uint32_t p = kSamples[i];
            const uint32_t word = readLittleEndian(&out[i * static_cast<size_t>(bytes)], bytes);
            const uint32_t channels[3] = {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
            const uint32_t masks[3] = {f.red, f.green, f.blue};
            for (int c = 0; c < 3; ++c) {
                const int width = std::popcount(masks[c]);
                const uint32_t got = (word & masks[c]) >> std::countr_zero(masks[c]);
                EXPECT_EQ(got, channels[c] >> (8 - width)) << f.name << " pixel " << std::hex << p << " channel " << c;
            }
            uint32_t outside = word & ~(f.red | f.green | f.blue);
            if (f.converter() == copyRow32) outside &= 0x00FFFFFFu;
            EXPECT_EQ(outside, 0u) << f.name << " pixel " << std::hex << p;
        }
    }
}

// A converter writes exactly count pixels, at any byte address.
TEST(RowConverters, WriteExactlyCountPixelsAtAnyAddress) {
    const uint32_t row[] = {0xFFFFFF, 0x000000, 0x123456, 0xFFFFFF, 0xFFFFFF};
    for (const Format& f : kFormats) {
        const size_t bytes = static_cast<size_t>(f.bits / 8);
        for (int count : {0, 1, 3}) {
            std::vector<unsigned char> buffer(1 + 5 * bytes, 0xCD);
            f.converter()(row, buffer.data() + 1, count);
            EXPECT_EQ(buffer[0], 0xCD) << f.name;
            const size_t end = 1 + static_cast<size_t>(count) * bytes;
            for (size_t i = end; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xCD) << f.name << " count " << count;
            if (count == 3) {
                // The first pixel is white; its bytes can no longer all be the fill value.
                bool changed = false;
                for (size_t i = 1; i < 1 + bytes; ++i) changed = changed || buffer[i] != 0xCD;
                EXPECT_TRUE(changed) << f.name;
            }
        }
    }
}

TEST(ConvertImage, RowsLandAtThePitchAndThePaddingIsLeftAlone) {
    constexpr int kWidth = 3, kHeight = 4;
    uint32_t image[kWidth * kHeight];
    for (int i = 0; i < kWidth * kHeight; ++i) image[i] = 0x010203u * static_cast<uint32_t>(i + 1);

    for (const Format& f : kFormats) {
        const int bytes = f.bits / 8;
        const int pitch = kWidth * bytes + 5;  // not a multiple of the pixel size
        std::vector<unsigned char> surface(static_cast<size_t>(pitch * kHeight), 0xCD);
        convertImage(f.converter(), image, kWidth, kHeight, surface.data(), pitch);

        for (int y = 0; y < kHeight; ++y) {
            std::vector<unsigned char> expected(static_cast<size_t>(kWidth * bytes));
            f.converter()(image + y * kWidth, expected.data(), kWidth);
            const unsigned char* row = surface.data() + y * pitch;
            EXPECT_EQ(std::memcmp(row, expected.data(), expected.size()), 0) << f.name << " row " << y;
            for (int i = kWidth * bytes; i < pitch; ++i) EXPECT_EQ(row[i], 0xCD) << f.name << " row " << y;
        }
    }
}

}  // namespace
}  // namespace vonkel
