#pragma once
// A clip being written on the capture thread: the pictures and the sound of
// the game, each at its time since the clip began, into an MP4 file. The
// sound keeps time with the pictures: where the callback's blocks came late
// (a dropout) or were lost (the capture thread fell behind), the clip holds
// silence of that length.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "desktop/sound/sound_callback.h"
#include "output/video_file.h"

namespace vonkel {

class ClipWriter {
public:
    // A new file at `path` (never over an existing one: where it is taken
    // when the clip is saved, the first free name of otherName(2), (3) ...),
    // beginning at `startMs` on the millisecond clock. Returns an empty
    // string or a message.
    std::string open(const std::string& path, uint32_t startMs, std::function<std::string(int)> otherName = {});
    bool isOpen() const { return open_; }
    const std::string& path() const { return path_; }

    // What was shown or rendered before the start or after `endAt` is
    // skipped; each returns an empty string or a message.
    std::string addPicture(const uint32_t* pixels, uint32_t atMs);
    std::string addSound(const CapturedSound& block);
    // Nothing from `atMs` on belongs to the clip.
    void endAt(uint32_t atMs);

    // Finishes the file and gives it its name. Returns an empty string or a
    // message; the clip is closed either way.
    std::string finish();
    void discard();
    // The sound lost to the clip (recorded as silence), in milliseconds.
    int64_t lostMs() const { return lostSamples_ * 1000 / kSampleRate; }

private:
    int32_t sinceStart(uint32_t atMs) const { return static_cast<int32_t>(atMs - startMs_); }
    static int64_t samplesUntil(int32_t ms) { return int64_t{ms} * kSampleRate / 1000; }
    std::string addSilence(int64_t samples);

    output::VideoWriter video_;
    std::string path_;
    bool open_ = false;
    uint32_t startMs_ = 0;
    int32_t endMs_ = INT32_MAX;  // from the start
    static constexpr int32_t kStepMs = 16;
    int32_t picturesEndMs_ = 0;  // where the last picture ends, from the start
    int32_t lastStep_ = -1;      // the last picture's step of kStepMs, from the start
    std::vector<uint32_t> last_ = std::vector<uint32_t>(kOutputWidth * kOutputHeight);
    bool heardFirstBlock_ = false;
    uint64_t nextBlock_ = 0;
    int64_t soundWritten_ = 0;  // samples in the clip so far
    int64_t lostSamples_ = 0;
    std::vector<float> silence_ = std::vector<float>(kBlockFrames, 0.0f);
};

}  // namespace vonkel
