#pragma once
// What the page adds to run files (lockstep/run_file.h): the text of a run
// as its links carry it, and the limits of what it plays in a browser tab.
//
// A link holds a run's text with each key line's frame written as the
// difference from the previous key line's (the first from 0): the run
// "key 1200 up / key 1212 up,z" travels as "key 1200 up / key 12 up,z".
// Every other line is as the writer made it. Short numbers that repeat
// compress far better than growing ones: a 3-minute game with a key change
// every 10 frames or so takes a link of about 3,200 characters instead of
// 5,400 (tests/web/test_runs.py). Line numbers are the same in both texts, so the reader's messages
// hold for the link too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/world.h"
#include "lockstep/run_file.h"

namespace vonkel::web {

// Reading a desktop run's schedule takes 24 bytes a block in memory, and a
// block's record may take only 2: a run refused before it is read if its
// block lines hold more than this (a desktop run of 3 hours holds about
// 3 MB), so that no text under 16 MiB makes the tab run out of memory.
constexpr size_t kMaxPageScheduleBytes = size_t{6} << 20;
// The sound a desktop run may have rendered between two frames: the page
// renders it at once, in one animation frame (about 0.3 s of work for the
// most). A longer stall of the desktop's frames is refused.
constexpr int64_t kMaxBlocksAtOnce = 2048;
constexpr int64_t kMaxSamplesAtOnce = kMaxBlocksAtOnce * kBlockFrames;

// A run's text (as writeRun makes it) in the form of a link, and back.
// runTextOfLink leaves a key line whose difference is not a frame number as
// it is, for the reader to refuse.
std::string linkTextOf(std::string_view runText);
std::string runTextOfLink(std::string_view linkText);

// Before reading: "" or why the page does not read this text.
std::string pageReadsRun(std::string_view text);
// After reading: "" or why the page does not play this run.
std::string pagePlaysRun(const lockstep::Run& run);

}  // namespace vonkel::web
