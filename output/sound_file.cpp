#include "output/sound_file.h"

#include <sndfile.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "core/world.h"

namespace vonkel::output {
namespace {

constexpr int kOpusRate = 48000;

struct Named {
    std::string_view name;
    SoundFormat format;
    int sndfileFormat;
};
constexpr Named kFormats[] = {
    {"wav", SoundFormat::Wav, 0},
    {"flac", SoundFormat::Flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
    {"ogg", SoundFormat::Ogg, SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {"opus", SoundFormat::Opus, SF_FORMAT_OGG | SF_FORMAT_OPUS},
    {"mp3", SoundFormat::Mp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
};

}  // namespace

std::optional<SoundFormat> soundFormatNamed(std::string_view name) {
    for (const Named& f : kFormats)
        if (f.name == name) return f.format;
    return std::nullopt;
}

std::optional<SoundFormat> soundFormatFor(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) {
        return SoundFormat::Wav;  // no extension (a leading dot names a hidden file)
    }
    return soundFormatNamed(path.substr(dot + 1));
}

std::string SoundWriter::open(const std::string& path, SoundFormat format, std::optional<int64_t> samples) {
    discard();
    format_ = format;
    if (format == SoundFormat::Wav) return wav_.open(path, samples);
    // The encoders seek back to finish their headers: a pipe is spooled.
    if (std::string error = file_.open(path, {.seekable = true}); !error.empty()) return error;
    SF_INFO info{};
    info.samplerate = format == SoundFormat::Opus ? kOpusRate : kSampleRate;
    info.channels = 1;
    for (const Named& f : kFormats)
        if (f.format == format) info.format = f.sndfileFormat;
    encoder_ = sf_open_fd(file_.descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (encoder_ == nullptr) return "cannot write " + quotedPath(path) + ": " + sf_strerror(nullptr);
    // Samples past full scale are clipped, never wrapped round.
    sf_command(encoder_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (format == SoundFormat::Opus) {
        AVChannelLayout mono{};
        av_channel_layout_default(&mono, 1);
        if (swr_alloc_set_opts2(&resampler_, &mono, AV_SAMPLE_FMT_FLT, kOpusRate, &mono, AV_SAMPLE_FMT_FLT,
                                kSampleRate, 0, nullptr) < 0 ||
            swr_init(resampler_) < 0) {
            return "cannot write " + quotedPath(path) + ": no resampler to 48 kHz";
        }
    }
    return {};
}

std::string SoundWriter::encoderError() const {
    return "cannot write " + quotedPath(file_.path()) + ": " + sf_strerror(encoder_);
}

std::string SoundWriter::encode(std::span<const float> samples) {
    const auto count = static_cast<sf_count_t>(samples.size());
    if (count > 0 && sf_write_float(encoder_, samples.data(), count) != count) return encoderError();
    return {};
}

std::string SoundWriter::write(std::span<const float> samples) {
    if (format_ == SoundFormat::Wav) return wav_.write(samples);
    if (resampler_ == nullptr) return encode(samples);
    resampled_.resize(static_cast<size_t>(swr_get_out_samples(resampler_, static_cast<int>(samples.size()))));
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(resampled_.data())};
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples.data())};
    const int made = swr_convert(resampler_, out, static_cast<int>(resampled_.size()), in,
                                 static_cast<int>(samples.size()));
    if (made < 0) return encoderError();
    return encode(std::span<const float>(resampled_).first(static_cast<size_t>(made)));
}

std::string SoundWriter::finish() {
    if (format_ == SoundFormat::Wav) return wav_.finish();
    if (resampler_ != nullptr) {  // what the resampler still holds
        if (std::string error = write({}); !error.empty()) return error;
        resampled_.resize(static_cast<size_t>(swr_get_out_samples(resampler_, 0)) + 64);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(resampled_.data())};
        const int made = swr_convert(resampler_, out, static_cast<int>(resampled_.size()), nullptr, 0);
        if (made < 0) return encoderError();
        if (std::string error = encode(std::span<const float>(resampled_).first(static_cast<size_t>(made)));
            !error.empty()) {
            return error;
        }
    }
    const int closed = sf_close(encoder_);
    encoder_ = nullptr;
    if (closed != 0) return "cannot write " + quotedPath(file_.path()) + ": " + sf_error_number(closed);
    return file_.finish();
}

std::string SoundWriter::publish() { return format_ == SoundFormat::Wav ? wav_.publish() : file_.publish(); }

void SoundWriter::discard() {
    if (encoder_ != nullptr) sf_close(encoder_);
    encoder_ = nullptr;
    swr_free(&resampler_);
    file_.discard();
    wav_.discard();
}

}  // namespace vonkel::output
