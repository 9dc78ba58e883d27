#include "tools/wav_writer.h"

#include <bit>

namespace vonkel::lab {
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
    appendLittleEndian(header, kWavSampleRate, 4);
    appendLittleEndian(header, kWavSampleRate * 4, 4);  // bytes a second
    appendLittleEndian(header, 4, 2);                   // bytes a frame
    appendLittleEndian(header, 32, 2);                  // bits a sample
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

std::string WavWriter::open(const std::string& path, std::optional<int64_t> samples) {
    announced_ = samples;
    written_ = 0;
    if (std::string error = file_.open(path, !samples); !error.empty()) return error;
    if (!file_.write(wavHeader(static_cast<uint64_t>(samples.value_or(0))))) return file_.writeError();
    return {};
}

std::string WavWriter::write(std::span<const float> samples) {
    std::string bytes;
    bytes.reserve(samples.size() * 4);
    for (float sample : samples) appendLittleEndian(bytes, std::bit_cast<uint32_t>(sample), 4);
    written_ += static_cast<long long>(samples.size());
    return file_.write(bytes) ? std::string() : file_.writeError();
}

std::string WavWriter::finish() {
    if (announced_ != written_ && !file_.writeAt(0, wavHeader(static_cast<uint64_t>(written_)))) {
        return file_.writeError();
    }
    return file_.commit();
}

}  // namespace vonkel::lab
