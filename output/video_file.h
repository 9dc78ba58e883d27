#pragma once
// Video files of the game's pictures with its sound, through FFmpeg's
// libraries: MP4 (H.264 and AAC), which players, phones and web sites take,
// and Matroska (FFV1 and 32-bit float PCM), an exact copy of every picture
// and sample. Pictures keep the game's own frame times (a variable frame
// rate, in milliseconds); the sound runs on from sample 0 at 0 ms.
// The file is an OutputFile: it appears under its name only when complete.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace vonkel::output {

enum class VideoFormat { Mp4, Matroska };

// By the name's extension, in any case: .mp4, .mkv; "-" (standard output)
// is Matroska, which can be written as a stream.
std::optional<VideoFormat> videoFormatFor(const std::string& path);
inline constexpr const char* kVideoFormats = ".mp4 (H.264 and AAC) or .mkv (lossless; also '-')";

struct VideoOptions {
    VideoFormat format = VideoFormat::Mp4;
    bool keepExisting = false;  // never replace a file of that name
    std::function<std::string(int)> otherName = {};  // names to try when it is taken (OpenOptions)
    int encoderThreads = 0;     // 0: the encoder's own choice
};

class VideoWriter {
public:
    VideoWriter();
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Each returns an empty string or a message naming the file.
    std::string open(const std::string& path, const VideoOptions& options);
    // A picture of kOutputWidth x kOutputHeight 0x00RRGGBB pixels, row stride
    // kOutputWidth, shown from `ms` on (later than the picture before) for
    // `durationMs`, until the next one.
    std::string addPicture(const uint32_t* pixels, int64_t ms, int64_t durationMs);
    // Mono samples at kSampleRate, continuing the sound so far.
    std::string addSound(std::span<const float> samples);
    // The encoders are drained and the file is finished, still under its
    // temporary name.
    std::string finish();
    std::string publish();
    // Stops and removes what was written.
    void discard();

    const std::string& path() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vonkel::output
