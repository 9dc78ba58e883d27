#include "desktop/capture/clip.h"

#include <algorithm>
#include <span>

namespace vonkel {

std::string ClipWriter::open(const std::string& path, uint32_t startMs, std::function<std::string(int)> otherName) {
    discard();
    // One encoder thread: the other core stays the game's.
    const std::string error = video_.open(path, {.format = output::VideoFormat::Mp4,
                                                 .keepExisting = true,
                                                 .otherName = std::move(otherName),
                                                 .encoderThreads = 1});
    if (!error.empty()) return error;
    path_ = path;
    open_ = true;
    startMs_ = startMs;
    endMs_ = INT32_MAX;
    picturesEndMs_ = 0;
    lastStep_ = -1;
    heardFirstBlock_ = false;
    soundWritten_ = 0;
    lostSamples_ = 0;
    return {};
}

void ClipWriter::endAt(uint32_t atMs) { endMs_ = sinceStart(atMs); }

// The pictures go at 62.5 a second, each at the step of 16 ms nearest its
// frame's start, and a picture that was shown longer (a frame of the scope
// view, a slow frame) is repeated: a constant rate that every player and
// converter keeps picture for picture. Frames start at least 16 ms apart,
// so no two pictures ever fall on one step.
std::string ClipWriter::addPicture(const uint32_t* pixels, uint32_t atMs) {
    const int32_t at = sinceStart(atMs);
    if (!open_ || at < 0 || at >= endMs_) return {};
    const int32_t step = (at + kStepMs / 2) / kStepMs;
    if (step <= lastStep_) return {};
    for (int32_t repeat = lastStep_ + 1; lastStep_ >= 0 && repeat < step; ++repeat) {
        if (std::string error = video_.addPicture(last_.data(), repeat * kStepMs, kStepMs); !error.empty()) return error;
    }
    std::copy(pixels, pixels + last_.size(), last_.begin());
    lastStep_ = step;
    picturesEndMs_ = (step + 1) * kStepMs;
    return video_.addPicture(pixels, step * kStepMs, kStepMs);
}

std::string ClipWriter::addSilence(int64_t samples) {
    samples = std::min(samples, samplesUntil(endMs_) - soundWritten_);
    soundWritten_ += std::max<int64_t>(samples, 0);
    for (; samples > 0; samples -= kBlockFrames) {
        const auto count = static_cast<size_t>(std::min<int64_t>(samples, kBlockFrames));
        if (std::string error = video_.addSound(std::span<const float>(silence_).first(count)); !error.empty()) {
            return error;
        }
    }
    return {};
}

// The sound starts at the clip's start: the first block is put in place by
// silence before it, and so is a block that comes more than 100 ms late (the
// sound stopped for a while: a dropout the speakers played as silence too).
// It ends with the pictures: what was rendered for later is left out.
std::string ClipWriter::addSound(const CapturedSound& block) {
    constexpr int64_t kLateSamples = kSampleRate / 10;
    const int32_t at = sinceStart(block.clockMs);
    if (!open_ || at < 0 || at >= endMs_) return {};
    const int64_t due = int64_t{at} * kSampleRate / 1000;
    if (!heardFirstBlock_) {
        heardFirstBlock_ = true;
        nextBlock_ = block.sequence;
        if (std::string error = addSilence(due); !error.empty()) return error;
    }
    if (block.sequence > nextBlock_) {
        const int64_t lost = static_cast<int64_t>(block.sequence - nextBlock_) * kBlockFrames;
        lostSamples_ += lost;
        if (std::string error = addSilence(lost); !error.empty()) return error;
    }
    if (due - soundWritten_ > kLateSamples) {
        if (std::string error = addSilence(due - soundWritten_); !error.empty()) return error;
    }
    nextBlock_ = block.sequence + 1;
    const int64_t room = samplesUntil(endMs_) - soundWritten_;
    const auto count = static_cast<size_t>(std::clamp<int64_t>(room, 0, block.frames));
    soundWritten_ += static_cast<int64_t>(count);
    return video_.addSound(std::span<const float>(block.samples, count));
}

// The sound lasts as long as the pictures: where no block came (the sound
// stopped, or there was no sound device at all) the clip holds silence.
std::string ClipWriter::finish() {
    if (!open_) return {};
    open_ = false;
    // Pictures the capture thread could not take at the end: the last one
    // it took is shown until the clip ends.
    std::string error;
    for (int32_t step = lastStep_ + 1; lastStep_ >= 0 && endMs_ != INT32_MAX && step * kStepMs < endMs_; ++step) {
        if (error.empty()) error = video_.addPicture(last_.data(), step * kStepMs, kStepMs);
        picturesEndMs_ = (step + 1) * kStepMs;
    }
    if (error.empty()) error = addSilence(samplesUntil(std::min(endMs_, picturesEndMs_)) - soundWritten_);
    if (error.empty()) error = video_.finish();
    if (error.empty()) error = video_.publish();
    if (error.empty()) path_ = video_.path();
    if (!error.empty()) video_.discard();
    return error;
}

void ClipWriter::discard() {
    open_ = false;
    video_.discard();
}

}  // namespace vonkel
