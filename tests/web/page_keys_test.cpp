#include "web/page_keys.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace vonkel::web {
namespace {

TEST(PageKeys, EachMaskBitHoldsItsOwnScanCodeAndNothingElse) {
    const std::array<std::pair<uint32_t, int>, 7> bits{{{PageKey::Up, ScanCode::Up},
                                                        {PageKey::Down, ScanCode::Down},
                                                        {PageKey::Left, ScanCode::Left},
                                                        {PageKey::Right, ScanCode::Right},
                                                        {PageKey::Z, ScanCode::Z},
                                                        {PageKey::Enter, ScanCode::Enter},
                                                        {PageKey::Escape, ScanCode::Escape}}};
    for (const auto& [bit, scanCode] : bits) {
        const KeyState state = keyStateOf(bit);
        for (int code = 0; code < 256; ++code) EXPECT_EQ(state.isKeyDown(code), code == scanCode) << bit << " " << code;
    }
    // The key script's order (up, down, left, right, z, enter, escape) is the
    // bit order that page.js and key_script.js use.
    EXPECT_EQ(PageKey::Up, 1u);
    EXPECT_EQ(PageKey::Escape, 64u);
}

TEST(PageKeys, SeveralKeysAtOnceAndUnknownBitsIgnored) {
    const KeyState state = keyStateOf(PageKey::Left | PageKey::Z | PageKey::Escape | 0xFFFFFF80u);
    KeyState expected;
    expected.press(ScanCode::Left);
    expected.press(ScanCode::Z);
    expected.press(ScanCode::Escape);
    EXPECT_EQ(state.bytes, expected.bytes);
    EXPECT_EQ(keyStateOf(0).bytes, KeyState{}.bytes);
}

TEST(PageKeys, CanvasPixelsAreOpaqueRgbaBytesInMemoryOrder) {
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
