#pragma once
// FNV-1a, 64-bit: a short, stable digest of the terrain and the picture of a
// frame, so that two runs (two hosts, two builds) can be compared frame by
// frame without storing whole pictures.
//
// And the 32-bit digests that a run file (lockstep/run_file.h) keeps of every
// picture and every audio block: fast enough for the desktop's main thread
// and its audio callback, and defined bit for bit below, since they are part
// of the file format.
#include <cstddef>
#include <cstdint>
#include <cstring>
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

namespace detail {

constexpr uint64_t kLaneStart = 0x9E3779B97F4A7C15ULL;
constexpr uint64_t kLaneMultiplier = 0xD6E8FEB86659FD93ULL;

// The finaliser of splitmix64: every input bit reaches every output bit.
constexpr uint64_t mix64(uint64_t x) noexcept {
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

constexpr uint64_t laneStep(uint64_t lane, uint64_t pair) noexcept {
    const uint64_t x = (lane ^ pair) * kLaneMultiplier;
    return (x << 31) | (x >> 33);
}

// The digest of `count` 32-bit words, wordAt(k) giving word k:
//
//   pair j = word 2j | word 2j+1 << 32 (64 bits; past the end a word is 0),
//            for j = 0 .. ceil(count / 2) - 1
//   lane i = (i + 1) x 0x9E3779B97F4A7C15, for i = 0..3        (mod 2^64)
//   for each pair j in order, with i = j mod 4:
//            lane i = rotl64((lane i ^ pair j) x 0xD6E8FEB86659FD93, 31)
//   h = count; for i = 0..3: h = mix64(h ^ lane i)
//   digest = the low 32 bits of h ^ (h >> 32)
//
// The four lanes are independent chains of a multiply and a rotation, so a
// processor runs them side by side. Each lane step is a bijection of the
// lane for a given pair, so a single differing word always leaves its lane
// different; the final mix spreads every lane bit over the digest.
template <class WordAt>
uint32_t digest32(size_t count, WordAt wordAt) noexcept {
    uint64_t lane[4] = {kLaneStart, 2 * kLaneStart, 3 * kLaneStart, 4 * kLaneStart};
    const auto pair = [&](size_t j) {
        const size_t k = 2 * j;
        const uint64_t high = k + 1 < count ? wordAt(k + 1) : 0;
        return static_cast<uint64_t>(wordAt(k)) | (high << 32);
    };
    const size_t pairs = (count + 1) / 2;
    size_t j = 0;
    for (; 2 * j + 8 <= count; j += 4) {
        const size_t k = 2 * j;
        lane[0] = laneStep(lane[0], static_cast<uint64_t>(wordAt(k)) | static_cast<uint64_t>(wordAt(k + 1)) << 32);
        lane[1] = laneStep(lane[1], static_cast<uint64_t>(wordAt(k + 2)) | static_cast<uint64_t>(wordAt(k + 3)) << 32);
        lane[2] = laneStep(lane[2], static_cast<uint64_t>(wordAt(k + 4)) | static_cast<uint64_t>(wordAt(k + 5)) << 32);
        lane[3] = laneStep(lane[3], static_cast<uint64_t>(wordAt(k + 6)) | static_cast<uint64_t>(wordAt(k + 7)) << 32);
    }
    for (; j < pairs; ++j) lane[j % 4] = laneStep(lane[j % 4], pair(j));
    uint64_t h = count;
    for (uint64_t l : lane) h = mix64(h ^ l);
    return static_cast<uint32_t>(h ^ (h >> 32));
}

}  // namespace detail

// The 320 x 240 pixels of world.Framebuffer, one word each, row by row.
inline uint32_t pictureDigest32(const World& world) noexcept {
    const uint32_t* pixels = world.Framebuffer.data();
    return detail::digest32(world.Framebuffer.size(), [pixels](size_t k) { return pixels[k]; });
}

// The samples of an audio block as rendered: the bit pattern of each 32-bit
// float is one word. No allocation: the desktop runs it in its audio
// callback.
inline uint32_t soundDigest32(std::span<const float> samples) noexcept {
    const float* data = samples.data();
    return detail::digest32(samples.size(), [data](size_t k) {
        uint32_t bits;  // (the wasm build's library has no std::bit_cast)
        std::memcpy(&bits, &data[k], sizeof bits);
        return bits;
    });
}

}  // namespace vonkel::lockstep
