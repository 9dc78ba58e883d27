#include "lockstep/wav_format.h"

#include <cstring>

#include "core/world.h"

namespace vonkel::lockstep {
namespace {

void appendLittleEndian(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void appendFormat(std::string& header) {
    header += "fmt ";
    appendLittleEndian(header, 16, 4);
    appendLittleEndian(header, 3, 2);  // IEEE float
    appendLittleEndian(header, 1, 2);  // channels
    appendLittleEndian(header, kSampleRate, 4);
    appendLittleEndian(header, kSampleRate * 4, 4);  // bytes a second
    appendLittleEndian(header, 4, 2);                // bytes a frame
    appendLittleEndian(header, 32, 2);               // bits a sample
}

constexpr uint64_t kHeaderBytes = 80;

}  // namespace

std::string wavHeader(uint64_t samples) {
    // The RIFF size (the file's size less 8) must fit in 32 bits.
    if (kHeaderBytes - 8 + samples * 4 > 0xFFFFFFFFu) return rf64Header(samples);
    const auto dataBytes = static_cast<uint32_t>(samples * 4);
    std::string header;
    header += "RIFF";
    appendLittleEndian(header, kHeaderBytes - 8 + dataBytes, 4);
    header += "WAVE";
    appendFormat(header);
    header += "fact";
    appendLittleEndian(header, 4, 4);
    appendLittleEndian(header, samples, 4);
    header += "PAD ";
    appendLittleEndian(header, 16, 4);
    header.append(16, '\0');
    header += "data";
    appendLittleEndian(header, dataBytes, 4);
    return header;
}

std::string rf64Header(uint64_t samples) {
    std::string header;
    header += "RF64";
    appendLittleEndian(header, 0xFFFFFFFFu, 4);  // see ds64
    header += "WAVEds64";
    appendLittleEndian(header, 28, 4);
    appendLittleEndian(header, kHeaderBytes - 8 + samples * 4, 8);  // the RIFF size
    appendLittleEndian(header, samples * 4, 8);                    // the data size
    appendLittleEndian(header, samples, 8);                        // the sample count
    appendLittleEndian(header, 0, 4);                              // no table
    appendFormat(header);
    header += "data";
    appendLittleEndian(header, 0xFFFFFFFFu, 4);  // see ds64
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
