#include "web/canvas_pixels.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vonkel::web {
namespace {

TEST(CanvasPixels, AreOpaqueRgbaBytesInMemoryOrder) {
    const uint32_t pixels[3] = {0x00123456, 0x00FFA040, 0xAB000000};
    uint32_t canvas[3] = {};
    canvasPixelsOf(pixels, canvas, 3);
    unsigned char bytes[12];
    std::memcpy(bytes, canvas, sizeof bytes);
    const unsigned char expected[12] = {0x12, 0x34, 0x56, 0xFF, 0xFF, 0xA0, 0x40, 0xFF, 0x00, 0x00, 0x00, 0xFF};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(bytes[i], expected[i]) << i;
}

}  // namespace
}  // namespace vonkel::web
