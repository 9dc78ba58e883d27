#pragma once
// FNV-1a, 64-bit: a short, stable digest for the trace of a run, so that two
// runs can be compared line by line without storing whole pictures.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vonkel::lab {

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

// Sixteen lowercase hex digits.
std::string toHex16(uint64_t value);

}  // namespace vonkel::lab
