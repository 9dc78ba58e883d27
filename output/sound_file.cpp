#include "output/sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

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
    const char* encoderFailed;
};
constexpr Named kFormats[] = {
    {"wav", SoundFormat::Wav, 0, ""},
    {"flac", SoundFormat::Flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, "the FLAC encoder failed"},
    {"ogg", SoundFormat::Ogg, SF_FORMAT_OGG | SF_FORMAT_VORBIS, "the Vorbis encoder failed"},
    {"opus", SoundFormat::Opus, SF_FORMAT_OGG | SF_FORMAT_OPUS, "the Opus encoder failed"},
    {"mp3", SoundFormat::Mp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, "the MP3 encoder failed"},
};

const Named& named(SoundFormat format) {
    for (const Named& f : kFormats)
        if (f.format == format) return f;
    return kFormats[0];
}

// libsndfile writes through these calls into the OutputFile, so every failed
// write is kept there and reported in its words, also where an encoder
// (LAME's MP3) would not pass a failure on. The encoders only append, and
// seek back to finish their headers.
sf_count_t sinkLength(void* user) { return static_cast<SoundSink*>(user)->length; }

sf_count_t sinkTell(void* user) { return static_cast<SoundSink*>(user)->position; }

sf_count_t sinkSeek(sf_count_t offset, int whence, void* user) {
    SoundSink& sink = *static_cast<SoundSink*>(user);
    const int64_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? sink.position : sink.length;
    if (from + offset < 0) return -1;
    sink.position = from + offset;
    return sink.position;
}

sf_count_t sinkWrite(const void* data, sf_count_t count, void* user) {
    SoundSink& sink = *static_cast<SoundSink*>(user);
    std::string_view bytes(static_cast<const char*>(data), static_cast<size_t>(count));
    if (sink.position < sink.length) {  // over bytes already written
        const auto over = static_cast<size_t>(std::min<int64_t>(count, sink.length - sink.position));
        if (!sink.file->writeAt(static_cast<uint64_t>(sink.position), bytes.substr(0, over))) return 0;
        sink.position += static_cast<int64_t>(over);
        bytes.remove_prefix(over);
    }
    // Past the end: zeros up to the position, then the bytes.
    if (!bytes.empty() && sink.position > sink.length &&
        !sink.file->write(std::string(static_cast<size_t>(sink.position - sink.length), '\0'))) {
        return 0;
    }
    if (!bytes.empty() && !sink.file->write(bytes)) return 0;
    sink.position += static_cast<int64_t>(bytes.size());
    sink.length = std::max(sink.length, sink.position);
    return count;
}

// Nothing an encoder wrote is read back.
sf_count_t sinkRead(void* /*data*/, sf_count_t /*count*/, void* /*user*/) { return 0; }

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
    std::string extension = path.substr(dot + 1);  // any case: song.MP3 is MP3
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return soundFormatNamed(extension);
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
    info.format = named(format).sndfileFormat;
    sink_ = {.file = &file_};
    SF_VIRTUAL_IO calls{sinkLength, sinkSeek, sinkRead, sinkWrite, sinkTell};
    encoder_ = sf_open_virtual(&calls, SFM_WRITE, &info, &sink_);
    if (encoder_ == nullptr) return failure(named(format).encoderFailed);
    // Samples past full scale are clipped, never wrapped round.
    sf_command(encoder_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (format == SoundFormat::Opus) {
        AVChannelLayout mono{};
        av_channel_layout_default(&mono, 1);
        if (swr_alloc_set_opts2(&resampler_, &mono, AV_SAMPLE_FMT_FLT, kOpusRate, &mono, AV_SAMPLE_FMT_FLT,
                                kSampleRate, 0, nullptr) < 0 ||
            swr_init(resampler_) < 0) {
            return failure("no resampler to 48 kHz");
        }
    }
    return {};
}

// libsndfile's own messages are not used: they name the wrong codec (FLAC's
// "decoder"), or none, and for a code it does not know it prints on
// standard output, which may be the sound itself.
std::string SoundWriter::failure(std::string_view what) const {
    return file_.failed() ? file_.writeError() : file_.failure(what);
}

std::string SoundWriter::encode(std::span<const float> samples) {
    const auto count = static_cast<sf_count_t>(samples.size());
    if (count > 0 && sf_write_float(encoder_, samples.data(), count) != count) {
        return failure(named(format_).encoderFailed);
    }
    return file_.failed() ? file_.writeError() : std::string();
}

std::string SoundWriter::write(std::span<const float> samples) {
    if (format_ == SoundFormat::Wav) return wav_.write(samples);
    if (resampler_ == nullptr) return encode(samples);
    resampled_.resize(static_cast<size_t>(swr_get_out_samples(resampler_, static_cast<int>(samples.size()))));
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(resampled_.data())};
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples.data())};
    const int made = swr_convert(resampler_, out, static_cast<int>(resampled_.size()), in,
                                 static_cast<int>(samples.size()));
    if (made < 0) return failure("the resampler failed");
    return encode(std::span<const float>(resampled_).first(static_cast<size_t>(made)));
}

std::string SoundWriter::finish() {
    if (format_ == SoundFormat::Wav) return wav_.finish();
    if (resampler_ != nullptr) {  // what the resampler still holds
        if (std::string error = write({}); !error.empty()) return error;
        resampled_.resize(static_cast<size_t>(swr_get_out_samples(resampler_, 0)) + 64);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(resampled_.data())};
        const int made = swr_convert(resampler_, out, static_cast<int>(resampled_.size()), nullptr, 0);
        if (made < 0) return failure("the resampler failed");
        if (std::string error = encode(std::span<const float>(resampled_).first(static_cast<size_t>(made)));
            !error.empty()) {
            return error;
        }
    }
    const int closed = sf_close(encoder_);
    encoder_ = nullptr;
    if (closed != 0 || file_.failed()) return failure(named(format_).encoderFailed);
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
