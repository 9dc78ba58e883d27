#include "output/video_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "core/world.h"
#include "output/output_file.h"
#include "output/stop_signal.h"

namespace vonkel::output {
namespace {

constexpr int kMaxSoundFrame = 4096;  // samples handed to a PCM encoder at once

std::string ffmpegMessage(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// FFmpeg asks this while it waits on a write: a stop signal ends the wait.
int stopRequested(void* /*opaque*/) { return stopSignal() != 0 ? 1 : 0; }

}  // namespace

std::optional<VideoFormat> videoFormatFor(const std::string& path) {
    if (path == "-") return VideoFormat::Matroska;
    std::string extension = path.substr(path.size() - std::min<size_t>(path.size(), 4));  // any case: .MP4
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".mkv") return VideoFormat::Matroska;
    if (extension == ".mp4") return VideoFormat::Mp4;
    return std::nullopt;
}

struct VideoWriter::State {
    OutputFile file;
    VideoFormat format = VideoFormat::Mp4;
    AVFormatContext* muxer = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    SwsContext* scale = nullptr;     // to the H.264 encoder's YUV 4:2:0
    AVFrame* picture = nullptr;      // in the video encoder's pixel format
    AVFrame* sound = nullptr;
    AVAudioFifo* pending = nullptr;  // AAC takes fixed frames of 1024 samples
    AVPacket* packet = nullptr;
    std::map<int64_t, int64_t> durations;  // of the pictures in the encoder, by start
    int64_t lastPictureMs = -1;
    int64_t soundSent = 0;  // samples
    bool headerWritten = false;

    ~State() {
        sws_freeContext(scale);
        av_frame_free(&picture);
        av_frame_free(&sound);
        if (pending != nullptr) av_audio_fifo_free(pending);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (muxer != nullptr) {
            if (muxer->pb != nullptr) avio_closep(&muxer->pb);
            avformat_free_context(muxer);
        }
    }

    // "cannot write 'PATH': WHAT: FFMPEG'S REASON"; a failed write has the reason alone.
    std::string failed(const std::string& what, int code) {
        if (stopSignal() != 0) return "stopped";
        if (code >= 0) return file.failure(what);
        return file.failure(what.empty() ? ffmpegMessage(code) : what + ": " + ffmpegMessage(code));
    }

    // Every packet the encoder has ready, into the file.
    std::string drain(AVCodecContext* encoder, AVStream* stream) {
        for (;;) {
            const int got = avcodec_receive_packet(encoder, packet);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return {};
            if (got < 0) return failed("encoding", got);
            if (encoder == video) {
                const auto d = durations.find(packet->pts);
                if (d != durations.end()) {
                    packet->duration = d->second;
                    durations.erase(d);
                }
            }
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int written = av_interleaved_write_frame(muxer, packet);
            if (written < 0) return failed("", written);
        }
    }

    std::string send(AVCodecContext* encoder, AVStream* stream, AVFrame* frame) {
        const int sent = avcodec_send_frame(encoder, frame);
        if (sent < 0) return failed("encoding", sent);
        return drain(encoder, stream);
    }

    std::string openVideo(int threads) {
        const bool mp4 = format == VideoFormat::Mp4;
        const AVCodec* codec = avcodec_find_encoder_by_name(mp4 ? "libx264" : "ffv1");
        if (codec == nullptr) return failed(std::string("FFmpeg has no ") + (mp4 ? "libx264" : "ffv1") + " encoder", 0);
        video = avcodec_alloc_context3(codec);
        video->width = kOutputWidth;
        video->height = kOutputHeight;
        video->time_base = {1, 1000};  // the game's own frame times
        video->framerate = {125, 2};   // at most 62.5 pictures a second
        video->pix_fmt = mp4 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGR0;
        video->thread_count = threads;
        if (mp4) {
            video->gop_size = 125;  // a key picture every two seconds or so: quick seeking
            av_opt_set(video->priv_data, "preset", "veryfast", 0);
            av_opt_set(video->priv_data, "crf", "20", 0);
        } else {
            // FFV1 version 3 in slices, which its encoder works on in parallel.
            video->level = 3;
            video->slices = 4;
        }
        if (std::string error = openStream(video, codec, videoStream, "video encoder"); !error.empty()) return error;

        picture = av_frame_alloc();
        picture->format = video->pix_fmt;
        picture->width = kOutputWidth;
        picture->height = kOutputHeight;
        if (const int got = av_frame_get_buffer(picture, 0); got < 0) return failed("memory", got);
        if (mp4) {
            scale = sws_getContext(kOutputWidth, kOutputHeight, AV_PIX_FMT_BGR0, kOutputWidth, kOutputHeight,
                                   AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
            if (scale == nullptr) return failed("no pixel conversion", 0);
        }
        return {};
    }

    // Opens an encoder and gives the muxer a stream that carries what it makes.
    std::string openStream(AVCodecContext* encoder, const AVCodec* codec, AVStream*& stream, const char* what) {
        if ((muxer->oformat->flags & AVFMT_GLOBALHEADER) != 0) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (const int opened = avcodec_open2(encoder, codec, nullptr); opened < 0) return failed(what, opened);
        stream = avformat_new_stream(muxer, nullptr);
        if (stream == nullptr) return failed("memory", AVERROR(ENOMEM));
        stream->time_base = encoder->time_base;
        avcodec_parameters_from_context(stream->codecpar, encoder);
        return {};
    }

    std::string openAudio() {
        const bool mp4 = format == VideoFormat::Mp4;
        const AVCodec* codec = avcodec_find_encoder_by_name(mp4 ? "aac" : "pcm_f32le");
        if (codec == nullptr) return failed(std::string("FFmpeg has no ") + (mp4 ? "aac" : "pcm_f32le") + " encoder", 0);
        audio = avcodec_alloc_context3(codec);
        audio->sample_rate = kSampleRate;
        av_channel_layout_default(&audio->ch_layout, 1);
        audio->sample_fmt = mp4 ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_FLT;
        audio->time_base = {1, kSampleRate};
        if (mp4) audio->bit_rate = 160000;
        if (std::string error = openStream(audio, codec, audioStream, "sound encoder"); !error.empty()) return error;

        sound = av_frame_alloc();
        sound->format = audio->sample_fmt;
        av_channel_layout_default(&sound->ch_layout, 1);
        sound->sample_rate = kSampleRate;
        sound->nb_samples = audio->frame_size > 0 ? audio->frame_size : kMaxSoundFrame;
        if (const int got = av_frame_get_buffer(sound, 0); got < 0) return failed("memory", got);
        if (audio->frame_size > 0) pending = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLT, 1, 4 * audio->frame_size);
        return {};
    }

    // The queued sound, a frame of the encoder at a time, while `atLeast` samples wait.
    std::string sendPending(int atLeast) {
        float frame[4096];  // more than an AAC frame
        void* to[1] = {frame};
        while (av_audio_fifo_size(pending) >= atLeast) {
            const int count = av_audio_fifo_read(pending, to, std::min(av_audio_fifo_size(pending), audio->frame_size));
            if (count <= 0) return failed("sound queue", count);
            if (std::string error = sendSound(frame, count); !error.empty()) return error;
        }
        return {};
    }

    // `count` samples from `from` as one frame of the sound encoder.
    std::string sendSound(const float* from, int count) {
        if (const int writable = av_frame_make_writable(sound); writable < 0) return failed("memory", writable);
        sound->nb_samples = count;
        std::memcpy(sound->data[0], from, static_cast<size_t>(count) * sizeof(float));
        sound->pts = soundSent;
        soundSent += count;
        return send(audio, audioStream, sound);
    }
};

VideoWriter::VideoWriter() = default;
VideoWriter::~VideoWriter() { discard(); }

const std::string& VideoWriter::path() const {
    static const std::string none;
    return state_ ? state_->file.path() : none;
}

std::string VideoWriter::open(const std::string& path, const VideoOptions& options) {
    discard();
    // Failures come back as messages; FFmpeg's own log would add lines.
    av_log_set_level(AV_LOG_QUIET);
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.format = options.format;
    const OpenOptions file{.keepExisting = options.keepExisting, .otherName = options.otherName};
    if (std::string error = s.file.open(path, file); !error.empty()) return error;
    const std::string& written = s.file.writtenPath();
    struct stat status {};
    const bool regular = written != "-" && ::stat(written.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    if (s.format == VideoFormat::Mp4 && !regular) {
        return s.file.failure("an MP4 file must be a file (write .mkv to a pipe or device)");
    }
    const int made = avformat_alloc_output_context2(&s.muxer, nullptr,
                                                    s.format == VideoFormat::Mp4 ? "mp4" : "matroska", nullptr);
    if (made < 0) return s.failed("no muxer", made);
    s.muxer->interrupt_callback = {stopRequested, nullptr};
    s.packet = av_packet_alloc();
    if (std::string error = s.openVideo(options.encoderThreads); !error.empty()) return error;
    if (std::string error = s.openAudio(); !error.empty()) return error;

    // FFmpeg writes the file itself: MP4 is rewritten at the end (its index
    // moves to the front, for players that stream it).
    const std::string url = written == "-" ? "pipe:1" : "file:" + written;
    if (const int opened = avio_open2(&s.muxer->pb, url.c_str(), AVIO_FLAG_WRITE, &s.muxer->interrupt_callback,
                                      nullptr);
        opened < 0) {
        return s.failed("", opened);
    }
    s.muxer->url = av_strdup(url.c_str());  // where the MP4 muxer reads back its file
    AVDictionary* settings = nullptr;
    if (s.format == VideoFormat::Mp4) av_dict_set(&settings, "movflags", "+faststart", 0);
    const int header = avformat_write_header(s.muxer, &settings);
    av_dict_free(&settings);
    if (header < 0) return s.failed("", header);
    s.headerWritten = true;
    return {};
}

std::string VideoWriter::addPicture(const uint32_t* pixels, int64_t ms, int64_t durationMs) {
    State& s = *state_;
    if (ms <= s.lastPictureMs) return {};
    s.lastPictureMs = ms;
    if (const int writable = av_frame_make_writable(s.picture); writable < 0) return s.failed("memory", writable);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
    if (s.scale != nullptr) {
        const uint8_t* const planes[1] = {bytes};
        const int strides[1] = {kOutputWidth * 4};
        sws_scale(s.scale, planes, strides, 0, kOutputHeight, s.picture->data, s.picture->linesize);
    } else {
        for (int y = 0; y < kOutputHeight; ++y) {
            std::memcpy(s.picture->data[0] + y * s.picture->linesize[0], bytes + y * kOutputWidth * 4,
                        kOutputWidth * 4);
        }
    }
    s.picture->pts = ms;
    s.durations[ms] = durationMs;
    return s.send(s.video, s.videoStream, s.picture);
}

std::string VideoWriter::addSound(std::span<const float> samples) {
    State& s = *state_;
    if (s.pending == nullptr) {
        for (size_t at = 0; at < samples.size(); at += kMaxSoundFrame) {
            const int count = static_cast<int>(std::min<size_t>(kMaxSoundFrame, samples.size() - at));
            if (std::string error = s.sendSound(samples.data() + at, count); !error.empty()) return error;
        }
        return {};
    }
    void* from[1] = {const_cast<float*>(samples.data())};
    if (av_audio_fifo_write(s.pending, from, static_cast<int>(samples.size())) < 0) return s.failed("memory", 0);
    return s.sendPending(s.audio->frame_size);
}

std::string VideoWriter::finish() {
    State& s = *state_;
    if (s.pending != nullptr) {
        if (std::string error = s.sendPending(1); !error.empty()) return error;  // the last, shorter frame
    }
    if (std::string error = s.send(s.video, s.videoStream, nullptr); !error.empty()) return error;
    if (std::string error = s.send(s.audio, s.audioStream, nullptr); !error.empty()) return error;
    if (const int trailer = av_write_trailer(s.muxer); trailer < 0) return s.failed("", trailer);
    if (const int closed = avio_closep(&s.muxer->pb); closed < 0) return s.failed("", closed);
    return s.file.finish();
}

std::string VideoWriter::publish() { return state_->file.publish(); }

void VideoWriter::discard() {
    if (!state_) return;
    if (state_->muxer != nullptr && state_->muxer->pb != nullptr) avio_closep(&state_->muxer->pb);
    state_->file.discard();
    state_.reset();
}

}  // namespace vonkel::output
