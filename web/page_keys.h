#pragma once
// What the page's script hands the wasm module each frame, and what it gets
// back to show: pure conversions, built natively for the tests as well.
#include <cstddef>
#include <cstdint>

#include "core/keys.h"

namespace vonkel::web {

// The seven keys the game reads, one bit each, in the order of the key
// script's names: up, down, left, right, z, enter, escape. The page builds
// the mask from the keyboard, the gamepad or a key script.
namespace PageKey {
constexpr uint32_t Up = 1u << 0;
constexpr uint32_t Down = 1u << 1;
constexpr uint32_t Left = 1u << 2;
constexpr uint32_t Right = 1u << 3;
constexpr uint32_t Z = 1u << 4;
constexpr uint32_t Enter = 1u << 5;
constexpr uint32_t Escape = 1u << 6;
}  // namespace PageKey

// The keyboard snapshot of a frame: exactly the keys of the mask are down.
// Bits beyond the seven are ignored.
KeyState keyStateOf(uint32_t mask);

// 0x00RRGGBB pixels to the canvas's RGBA bytes (R first in memory), opaque.
void canvasPixelsOf(const uint32_t* pixels, uint32_t* canvas, std::size_t count);

}  // namespace vonkel::web
