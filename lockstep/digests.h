#pragma once
// FNV-1a, 64-bit: a short, stable digest of the terrain and the picture of a
// frame, so that two runs (two hosts, two builds) can be compared frame by
// frame without storing whole pictures.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/world.h"

namespace vonkel::lockstep {

class Fnv1a64 {
public:
    static constexpr uint64_t kOffsetBasis = 0xcbf29ce484222325ULL;
    static constexpr uint64_t kPrime = 0x100000001b3ULL;

    constexpr void addByte(uint8_t byte) noexcept {
        hash_ ^= byte;
        hash_ *= kPrime;
    }
    constexpr void addBytes(std::span<const uint8_t> bytes) noexcept {
        for (uint8_t b : bytes) addByte(b);
    }
    // Four bytes, least significant first, whatever the host's byte order.
    constexpr void addU32LittleEndian(uint32_t value) noexcept {
        addByte(static_cast<uint8_t>(value));
        addByte(static_cast<uint8_t>(value >> 8));
        addByte(static_cast<uint8_t>(value >> 16));
        addByte(static_cast<uint8_t>(value >> 24));
    }
    constexpr uint64_t value() const noexcept { return hash_; }

private:
    uint64_t hash_ = kOffsetBasis;
};

// The 1200 cell kinds, one byte each, row by row.
inline uint64_t gridDigest(const World& world) {
    Fnv1a64 hash;
    for (int32_t kind : world.TerrainGrid) hash.addByte(static_cast<uint8_t>(kind));
    return hash.value();
}

// The 320 x 240 pixels, four bytes each, least significant first.
inline uint64_t framebufferDigest(const World& world) {
    Fnv1a64 hash;
    for (uint32_t pixel : world.Framebuffer) hash.addU32LittleEndian(pixel);
    return hash.value();
}

// A digest as the lab and the page print it: sixteen lowercase hex digits.
inline std::string hex16(uint64_t value) {
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = "0123456789abcdef"[value & 0xF];
    return text;
}

}  // namespace vonkel::lockstep
