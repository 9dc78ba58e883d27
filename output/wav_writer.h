#pragma once
// Mono 44100 Hz WAV files of 32-bit IEEE float samples (lockstep/
// wav_format.h; RF64 past 4 GiB), written as the samples arrive into an
// OutputFile: the file appears under its name only when complete, and "-"
// is standard output.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "output/output_file.h"

namespace vonkel::output {

class WavWriter {
public:
    // Opens the file for exactly `samples` samples, whose header can then go
    // out first (a pipe gets the samples as they come); or, without it, for
    // as many as are written, whose header finish() writes again.
    std::string open(const std::string& path, std::optional<int64_t> samples = std::nullopt);
    // Each returns an empty string on success, else a message.
    std::string write(std::span<const float> samples);
    // The final header, then OutputFile::finish.
    std::string finish();
    std::string publish() { return file_.publish(); }
    std::string commit();
    void discard() { file_.discard(); }

private:
    OutputFile file_;
    std::optional<int64_t> announced_;
    int64_t written_ = 0;
};

}  // namespace vonkel::output
