#pragma once
// The bytes of the game's sound as a WAV file: mono, 44100 Hz, 32-bit IEEE
// float samples. vonkel-lab writes these files and the page saves them, byte
// for byte alike.
#include <cstdint>
#include <span>
#include <string>

namespace vonkel::lockstep {

// The 80-byte header of a file holding `samples` samples: RIFF, fmt (IEEE
// float, 1 channel), fact, a PAD chunk that puts the samples at byte 80, and
// the data chunk's head.
std::string wavHeader(uint64_t samples);

// The samples as the data chunk holds them: 4 bytes each, little-endian.
void appendWavSamples(std::string& bytes, std::span<const float> samples);

}  // namespace vonkel::lockstep
