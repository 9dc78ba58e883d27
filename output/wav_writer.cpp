#include "output/wav_writer.h"

#include "lockstep/wav_format.h"

namespace vonkel::output {

using lockstep::wavHeader;

std::string WavWriter::open(const std::string& path, std::optional<int64_t> samples) {
    announced_ = samples;
    written_ = 0;
    if (std::string error = file_.open(path, {.seekable = !samples}); !error.empty()) return error;
    if (!file_.write(wavHeader(static_cast<uint64_t>(samples.value_or(0))))) return file_.writeError();
    return {};
}

std::string WavWriter::write(std::span<const float> samples) {
    std::string bytes;
    lockstep::appendWavSamples(bytes, samples);
    written_ += static_cast<int64_t>(samples.size());
    return file_.write(bytes) ? std::string() : file_.writeError();
}

std::string WavWriter::finish() {
    if (announced_ != written_ && !file_.writeAt(0, wavHeader(static_cast<uint64_t>(written_)))) {
        return file_.writeError();
    }
    return file_.finish();
}

std::string WavWriter::commit() {
    if (std::string error = finish(); !error.empty()) {
        file_.discard();
        return error;
    }
    return file_.publish();
}

}  // namespace vonkel::output
