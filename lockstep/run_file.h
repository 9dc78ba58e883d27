#pragma once
// Run files (.vonkelrun): a whole play of the game from launch, small enough
// to keep and share, which the core replays exactly (lockstep/run_player.h).
//
// A run is determined by its seed (startGame on an all-zero World), the keys
// of every frame, and its audio blocks: each block's clock value, its length
// and where it fell among the main thread's steps. Step 0 is startGame; step
// f + 1 is frame f's updateFrame. A block's step is the number of steps
// completed when it began: 0 on the zero World before startGame, 1 after
// startGame and before frame 0, f + 1 before frame f, and frames + 1 after the
// last frame. A block of the desktop game may have been rendered while a
// step ran on the other thread ("overlapped"): it saw none, some or all of
// that step's writes, and the player tries both orders (when the run has
// its sound digests). A single-threaded host (the lab, the page) renders its
// blocks on the simulated schedule of SimulatedRun, which needs only the
// clock base.
//
// The text, version 1: ASCII, lines ending in LF (a CR before the LF is
// allowed). Blank lines and lines starting with '#' are ignored. Every other
// line is a keyword and its fields, separated by single spaces, in this
// order:
//
//   vonkel-run 1    the first line (after blank and comment lines); another
//                   version is refused
//   seed N          0 to 4294967295, plain decimal (no sign, no leading zero)
//   from TEXT       where the run was made ("desktop vonkel 1.2.0", "lab",
//                   "page"): 1 to 100 printable characters, single spaces
//   clock C         only for the simulated schedule, with clock base C
//   frames N        the frames played, 1 to 10000000
//   quit            only if frame N - 1 asked to quit
//   key F KEYS      from frame F on exactly KEYS are held ("up,z", "-": the
//                   key-script list); F strictly increasing, F < N; before
//                   the first key line no key is held
//   block B64       the desktop's schedule, never with `clock`
//   picture B64     pictureDigest32 of each frame after its update
//   sound B64       soundDigest32 of each block as rendered
//   end             the last line: a file without it is cut short, and
//                   nothing may follow it, not even a comment
//
// seed, from and frames are required. A run without `clock` is a desktop run
// and its block lines are its whole schedule: with no block line it
// rendered no block (and so has no sound line). Each of block, picture and
// sound is one base64url text (A-Z a-z 0-9 - _, no padding; the unused bits
// of the last character zero) spread over lines of 1 to 76 characters,
// which are joined in order; a writer puts 76 on every line but the last.
// Pictures are none or exactly N 32-bit words; sounds are none or, in a
// desktop run, exactly one word per block (a run with `clock` has as many
// blocks as its replay renders, which the player checks). Words are little
// endian.
//
// The schedule is one record per block, of unsigned LEB128 varints (at most
// 64 bits):
//
//   v = stepDelta << 2 | overlapped << 1 | odd
//   frames        only if odd: 1 to 4096 (otherwise the block has 512)
//   clockDelta    (clockMs - previous clockMs) mod 2^32, < 2^32
//
// stepDelta is the block's step minus the previous block's (the first
// block's: its step), so steps never decrease; no step exceeds frames + 1.
// The "previous clockMs" of the first block is 0.
//
// A reader refuses anything else with one line: "line N: what is wrong",
// and text over kMaxRunBytes before reading it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/world.h"
#include "lockstep/key_script.h"

namespace vonkel::lockstep {

constexpr int kRunVersion = 1;
constexpr size_t kMaxRunBytes = size_t{16} << 20;
constexpr size_t kMaxRunFromChars = 100;
constexpr int32_t kMaxScheduledBlockFrames = 4096;
constexpr size_t kRunLineChars = 76;  // base64 characters on a full line

struct ScheduledBlock {
    uint32_t clockMs = 0;
    int32_t frames = kBlockFrames;
    int64_t step = 0;  // steps completed when the block began
    bool overlapped = false;

    bool operator==(const ScheduledBlock&) const = default;
};

struct Run {
    uint32_t seed = 0;
    std::string from;
    std::optional<uint32_t> clock;  // the simulated schedule's clock base
    int64_t frames = 0;
    bool quit = false;
    std::vector<KeyChange> keys;
    std::vector<ScheduledBlock> blocks;  // a desktop run's schedule
    std::vector<uint32_t> pictures;      // none, or one per frame
    std::vector<uint32_t> sounds;        // none, or one per block

    bool operator==(const Run&) const = default;
};

// Reads a whole run. Returns an empty string (and replaces `run`), or what
// is wrong (and leaves `run` as it was).
std::string readRun(std::string_view text, Run& run);

// The text of a run such as readRun makes (the from text is passed through
// runFromText). readRun gives the run back equal.
std::string writeRun(const Run& run);

// `text` made fit for a `from` line: other characters than printable ASCII
// become '?', runs of blanks one blank, no blank at either end, at most
// kMaxRunFromChars characters; "unknown" if nothing is left.
std::string runFromText(std::string_view text);

// The run's keys as a key script.
KeysScript keysScriptOf(const Run& run);

// Appends blocks to a schedule stream, one record each, in order.
class ScheduleEncoder {
public:
    // The block's step must not be below the previous one's.
    void add(std::string& stream, const ScheduledBlock& block);

private:
    int64_t step_ = 0;
    uint32_t clockMs_ = 0;
};

// A run as its parts, with the schedule as its encoded stream: what a
// RunRecorder keeps, written without unpacking.
struct RunParts {
    uint32_t seed = 0;
    std::string_view from;
    std::optional<uint32_t> clock;
    int64_t frames = 0;
    bool quit = false;
    std::span<const KeyChange> keys;
    std::string_view schedule;
    std::span<const uint32_t> pictures;
    std::span<const uint32_t> sounds;
};
std::string writeRunParts(const RunParts& parts);

// The characters of `bytes` bytes written as lines "KEYWORD B64", each with
// its LF, for a keyword of `keywordChars` characters.
size_t runSectionChars(size_t bytes, size_t keywordChars);

}  // namespace vonkel::lockstep
