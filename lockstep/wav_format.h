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
// the data chunk's head. Past 4 GiB, whose sizes a RIFF header cannot hold,
// it is rf64Header(samples).
std::string wavHeader(uint64_t samples);

// The 80-byte RF64 header (the 64-bit WAV that libsndfile, FFmpeg and sox
// read): RF64, ds64 with the 64-bit sizes and the sample count, fmt, and the
// data chunk's head; the samples start at byte 80 as in wavHeader.
std::string rf64Header(uint64_t samples);

// The samples as the data chunk holds them: 4 bytes each, little-endian.
void appendWavSamples(std::string& bytes, std::span<const float> samples);

}  // namespace vonkel::lockstep
