#pragma once
// Mono 44100 Hz WAV files of 32-bit IEEE float samples (lockstep/
// wav_format.h), written as the samples arrive, into an OutputFile (so the
// file appears under its name only when finish() succeeds, and "-" is
// standard output).
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tools/output_file.h"

namespace vonkel::lab {

class WavWriter {
public:
    // Opens the file for exactly `samples` samples, whose header can then go
    // out first (a pipe gets the samples as they come); or, without it, for
    // as many as are written, whose header finish() writes again.
    std::string open(const std::string& path, std::optional<int64_t> samples = std::nullopt);
    // Each returns an empty string on success, else a message.
    std::string write(std::span<const float> samples);
    std::string finish();

private:
    OutputFile file_;
    std::optional<int64_t> announced_;
    long long written_ = 0;
};

}  // namespace vonkel::lab
