#include "lockstep/run_recorder.h"

#include <algorithm>

namespace vonkel::lockstep {
namespace {

constexpr size_t kHeaderChars = 256;       // vonkel-run .. quit, with a from of 100 characters
constexpr size_t kFullMargin = 64 * 1024;  // room for the blocks still to come when full
constexpr size_t kBlockChars = 64;         // more than a block's record and digest take

}  // namespace

RunRecorder::RunRecorder(uint32_t seed, std::optional<uint32_t> clockBaseMs) : seed_(seed), clock_(clockBaseMs) {}

size_t RunRecorder::textBound() const {
    return kHeaderChars + keyChars_ + runSectionChars(schedule_.size(), 5) +
           runSectionChars(pictures_.size() * 4, 7) + runSectionChars(sounds_.size() * 4, 5) + 4;
}

void RunRecorder::frame(uint8_t keys, uint32_t pictureDigest, bool quit) {
    if (full_) return;
    keys &= 0x7F;
    if (keys != lastKeys_) {
        keys_.push_back(KeyChange{frames_, keys});
        keyChars_ += 6 + std::to_string(frames_).size() + keyListText(keys).size();
        lastKeys_ = keys;
    }
    pictures_.push_back(pictureDigest);
    quit_ = quit;
    ++frames_;
    const auto waiting = std::find_if(pending_.begin(), pending_.end(),
                                      [this](const Pending& p) { return p.step > frames_ + 1; });
    if (waiting != pending_.begin()) {
        confirmedBlocks_ += static_cast<size_t>(waiting - pending_.begin());
        confirmedScheduleBytes_ = std::prev(waiting)->scheduleEnd;
        pending_.erase(pending_.begin(), waiting);
    }
    if (frames_ >= kMaxRecordedFrames || textBound() + kFullMargin > kMaxRunBytes) becomeFull();
}

void RunRecorder::becomeFull() {
    full_ = true;
    if (pending_.empty()) return;
    // Blocks after a frame that will not be recorded: they, and all that
    // follow them, are left out.
    dropped_ += static_cast<int64_t>(pending_.size());
    pending_.clear();
    schedule_.resize(confirmedScheduleBytes_);
    sounds_.resize(confirmedBlocks_);
    closed_ = true;
}

void RunRecorder::block(uint32_t clockMs, int32_t frames, int64_t step, bool overlapped, uint32_t soundDigest) {
    if (clock_) {
        // On the simulated schedule the frames decide which blocks a replay
        // renders: after the last recorded frame, none.
        if (full_) {
            ++dropped_;
            return;
        }
        sounds_.push_back(soundDigest);
        confirmedBlocks_ = sounds_.size();
        return;
    }
    const bool fits = frames >= 1 && frames <= kMaxScheduledBlockFrames && step >= lastStep_ &&
                      step <= kMaxFrameIndex + 2;
    if (full_ && !closed_) {
        // Only blocks before the frame that was not recorded, not one that
        // may have seen some of its writes.
        const bool before = step < frames_ + 1 || (step == frames_ + 1 && !overlapped);
        if (!before || textBound() + kBlockChars > kMaxRunBytes) closed_ = true;
    }
    if (!fits || closed_) {
        ++dropped_;
        return;
    }
    encoder_.add(schedule_, ScheduledBlock{clockMs, frames, step, overlapped});
    sounds_.push_back(soundDigest);
    lastStep_ = step;
    if (pending_.empty() && step <= frames_ + 1) {
        confirmedBlocks_ = sounds_.size();
        confirmedScheduleBytes_ = schedule_.size();
    } else {
        pending_.push_back(Pending{step, schedule_.size()});
    }
    if (!full_ && textBound() + kFullMargin > kMaxRunBytes) becomeFull();
}

std::string RunRecorder::text(std::string_view from) const {
    if (frames_ == 0) return {};
    return writeRunParts(RunParts{
        .seed = seed_,
        .from = from,
        .clock = clock_,
        .frames = frames_,
        .quit = quit_,
        .keys = keys_,
        .schedule = std::string_view(schedule_).substr(0, confirmedScheduleBytes_),
        .pictures = pictures_,
        .sounds = std::span<const uint32_t>(sounds_).first(confirmedBlocks_),
    });
}

size_t RunRecorder::bytes() const {
    return sizeof(*this) + keys_.capacity() * sizeof(KeyChange) + pictures_.capacity() * sizeof(uint32_t) +
           schedule_.capacity() + sounds_.capacity() * sizeof(uint32_t) + pending_.capacity() * sizeof(Pending);
}

}  // namespace vonkel::lockstep
