#pragma once
// Sound files in the formats people share: WAV (32-bit float, exactly the
// samples), FLAC (lossless at 24 bits), Ogg Vorbis, Opus and MP3, the last
// four through libsndfile. Opus takes 48 kHz only: its samples are resampled
// from 44.1 kHz on the way (libswresample). The file is an OutputFile: it
// appears under its name only when complete, and "-" is standard output.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_file.h"
#include "output/wav_writer.h"

struct sf_private_tag;
struct SwrContext;

namespace vonkel::output {

enum class SoundFormat { Wav, Flac, Ogg, Opus, Mp3 };
inline constexpr const char* kSoundFormats = "wav, flac, ogg, opus, mp3";

// "wav", "flac", "ogg", "opus" or "mp3".
std::optional<SoundFormat> soundFormatNamed(std::string_view name);
// By the name's extension, in any case; a name without one (a device, "-")
// is WAV, one with an extension not listed has none.
std::optional<SoundFormat> soundFormatFor(const std::string& path);

// Where libsndfile's writes land: the file, and libsndfile's place in it.
struct SoundSink {
    OutputFile* file = nullptr;
    int64_t position = 0;
    int64_t length = 0;
};

class SoundWriter {
public:
    SoundWriter() = default;
    ~SoundWriter() { discard(); }
    SoundWriter(const SoundWriter&) = delete;
    SoundWriter& operator=(const SoundWriter&) = delete;

    // `samples`: how many will be written, if known (a WAV header then goes
    // out first, so a pipe gets the samples as they come). Each returns an
    // empty string or a message naming the file.
    std::string open(const std::string& path, SoundFormat format, std::optional<int64_t> samples = std::nullopt);
    std::string write(std::span<const float> samples);
    std::string finish();
    std::string publish();
    void discard();

private:
    std::string encode(std::span<const float> samples);
    // The file's write error, else `what` failed.
    std::string failure(std::string_view what) const;

    SoundFormat format_ = SoundFormat::Wav;
    WavWriter wav_;
    OutputFile file_;
    SoundSink sink_;
    sf_private_tag* encoder_ = nullptr;
    SwrContext* resampler_ = nullptr;  // Opus only
    std::vector<float> resampled_;
};

}  // namespace vonkel::output
