#include "web/page_keys.h"

#include <array>
#include <bit>

namespace vonkel::web {
namespace {

struct MaskBit {
    uint32_t bit;
    int scanCode;
};

constexpr std::array<MaskBit, 7> kMaskBits{{
    {PageKey::Up, ScanCode::Up},
    {PageKey::Down, ScanCode::Down},
    {PageKey::Left, ScanCode::Left},
    {PageKey::Right, ScanCode::Right},
    {PageKey::Z, ScanCode::Z},
    {PageKey::Enter, ScanCode::Enter},
    {PageKey::Escape, ScanCode::Escape},
}};

}  // namespace

KeyState keyStateOf(uint32_t mask) {
    KeyState state;
    for (const MaskBit& key : kMaskBits) {
        if ((mask & key.bit) != 0) state.press(key.scanCode);
    }
    return state;
}

void canvasPixelsOf(const uint32_t* pixels, uint32_t* canvas, std::size_t count) {
    static_assert(std::endian::native == std::endian::little, "canvas bytes are written as little-endian words");
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        canvas[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
}

}  // namespace vonkel::web
