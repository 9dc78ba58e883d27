#pragma once
// Records a run as it is played (lockstep/run_file.h), compactly enough for
// hours of the desktop game: key changes only, the digests as 32-bit words,
// and the schedule as its encoded stream (about 2 bytes a block).
//
// The recorder is not thread-safe and may allocate: a two-threaded host
// hands what its audio callback rendered (clock, frames, step, overlapped,
// digest) to its main thread, through a lock-free ring, and records it
// there, in the order the blocks were rendered. A block may arrive before
// the frame that precedes it is recorded: the text holds a block only once
// its step is at most frames() + 1.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lockstep/key_script.h"
#include "lockstep/run_file.h"

namespace vonkel::lockstep {

// The recorder stops at 3 hours of 16 ms frames. Its text takes per frame
// a picture digest (4 bytes, 5.97 characters as base64 lines) and per block
// a sound digest (5.83 characters) and a schedule record (2 bytes as a rule,
// 2.91 characters); at 1.38 blocks a 16 ms frame that is 18.0 characters a
// frame, 1125 a second, and with ten key changes a second (about 18
// characters each) 1305 a second: 14.1 MB after 3 hours, under kMaxRunBytes.
// The recorder also stops early should its text come within 64 KiB of
// kMaxRunBytes (a main thread stalled while the sound goes on, keys changed
// every frame).
constexpr int64_t kMaxRecordedFrames = 3 * 3600 * 1000 / 16;  // 675000

class RunRecorder {
public:
    // A desktop run (no clock base), whose blocks keep their place in the
    // schedule, or a run on the simulated schedule with this clock base,
    // whose blocks keep only their sound digests.
    RunRecorder(uint32_t seed, std::optional<uint32_t> clockBaseMs);

    // A frame played with `keys` (a KeyBit mask), after its update: the
    // picture's digest and whether it asked to quit.
    void frame(uint8_t keys, uint32_t pictureDigest, bool quit);

    // A block as rendered: its clock value, its length, the steps completed
    // when it began, whether a step ran meanwhile, and its digest. On the
    // simulated schedule only the digest is kept. A block that does not fit
    // (a step below the previous block's, a length outside 1..4096) is
    // dropped and counted.
    void block(uint32_t clockMs, int32_t frames, int64_t step, bool overlapped, uint32_t soundDigest);
    void block(uint32_t soundDigest) { block(0, kBlockFrames, 0, false, soundDigest); }

    // The run's whole text up to here ("" before the first frame).
    std::string text(std::string_view from) const;

    int64_t frames() const { return frames_; }
    // The blocks the text holds, and those dropped (not fitting, or after
    // the recorder became full).
    int64_t blocks() const { return static_cast<int64_t>(confirmedBlocks_); }
    int64_t droppedBlocks() const { return dropped_; }
    // Recording has stopped: kMaxRecordedFrames frames, or the text's size.
    // Blocks that precede the next frame are still taken.
    bool full() const { return full_; }
    // The memory the recorder holds.
    size_t bytes() const;

private:
    size_t textBound() const;
    void becomeFull();

    struct Pending {
        int64_t step;
        size_t scheduleEnd;  // the stream's size after the block
    };

    uint32_t seed_;
    std::optional<uint32_t> clock_;
    int64_t frames_ = 0;
    bool quit_ = false;
    uint8_t lastKeys_ = 0;
    std::vector<KeyChange> keys_;
    size_t keyChars_ = 0;
    std::vector<uint32_t> pictures_;
    std::string schedule_;
    std::vector<uint32_t> sounds_;
    ScheduleEncoder encoder_;
    int64_t lastStep_ = 0;
    size_t confirmedBlocks_ = 0;
    size_t confirmedScheduleBytes_ = 0;
    std::vector<Pending> pending_;  // blocks past frames() + 1, in order
    int64_t dropped_ = 0;
    bool full_ = false;
    bool closed_ = false;  // no more blocks
};

}  // namespace vonkel::lockstep
