#pragma once
// Mono 44100 Hz WAV files of 32-bit IEEE float samples, written as the
// samples arrive. The file appears under its name only when finish()
// succeeds; a writer dropped before that leaves nothing behind.
#include <span>
#include <string>

#include "tools/output_file.h"

typedef struct sf_private_tag SNDFILE;

namespace vonkel::lab {

constexpr int kWavSampleRate = 44100;

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Each returns an empty string on success, else a message.
    std::string open(const std::string& path);
    std::string write(std::span<const float> samples);
    std::string finish();

    long long samplesWritten() const { return written_; }

private:
    void abandon();

    PendingFile file_;
    SNDFILE* sndfile_ = nullptr;
    long long written_ = 0;
};

}  // namespace vonkel::lab
