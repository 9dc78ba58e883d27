#include "lockstep/wav_format.h"

#include <cstring>

#include "core/world.h"

namespace vonkel::lockstep {
namespace {

void appendLittleEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string wavHeader(uint64_t samples) {
    // Sizes are 32-bit in a WAV file.
    const auto dataBytes = static_cast<uint32_t>(samples * 4);
    std::string header;
    header += "RIFF";
    appendLittleEndian(header, 72 + dataBytes, 4);
    header += "WAVEfmt ";
    appendLittleEndian(header, 16, 4);
    appendLittleEndian(header, 3, 2);  // IEEE float
    appendLittleEndian(header, 1, 2);  // channels
    appendLittleEndian(header, kSampleRate, 4);
    appendLittleEndian(header, kSampleRate * 4, 4);  // bytes a second
    appendLittleEndian(header, 4, 2);                // bytes a frame
    appendLittleEndian(header, 32, 2);               // bits a sample
    header += "fact";
    appendLittleEndian(header, 4, 4);
    appendLittleEndian(header, static_cast<uint32_t>(samples), 4);
    header += "PAD ";
    appendLittleEndian(header, 16, 4);
    header.append(16, '\0');
    header += "data";
    appendLittleEndian(header, dataBytes, 4);
    return header;
}

void appendWavSamples(std::string& bytes, std::span<const float> samples) {
    bytes.reserve(bytes.size() + samples.size() * 4);
    for (float sample : samples) {
        uint32_t bits;  // (the wasm build's library has no std::bit_cast)
        std::memcpy(&bits, &sample, sizeof bits);
        appendLittleEndian(bytes, bits, 4);
    }
}

}  // namespace vonkel::lockstep
