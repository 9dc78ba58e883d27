#pragma once
// A snapshot of the keyboard: one byte per scan code, bit 7 set while the key
// is down. Scan codes follow the DirectInput numbering the game was designed
// around, so a key script reads the same on every host.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vonkel {

namespace ScanCode {
constexpr int Escape = 1;
constexpr int Enter = 28;
constexpr int Z = 44;
constexpr int Up = 200;
constexpr int Left = 203;
constexpr int Right = 205;
constexpr int Down = 208;
}  // namespace ScanCode

struct KeyState {
    std::array<uint8_t, 256> bytes{};

    bool isKeyDown(int scanCode) const {
        return scanCode >= 0 && scanCode < 256 && (bytes[static_cast<std::size_t>(scanCode)] & 0x80) != 0;
    }
    void press(int scanCode) {
        if (scanCode >= 0 && scanCode < 256) bytes[static_cast<std::size_t>(scanCode)] = 0x80;
    }
    void clear() { bytes.fill(0); }
};

}  // namespace vonkel
