#include "lockstep/frame_pacer.h"

#include <algorithm>

namespace vonkel::lockstep {

FramePacer::FramePacer(int maxFramesPerRefresh) : maxFramesPerRefresh_(std::max(maxFramesPerRefresh, 1)) {}

void FramePacer::start(double realMs, int64_t simulatedMs) {
    offsetMs_ = realMs - static_cast<double>(simulatedMs);
    nowMs_ = realMs;
    framesThisRefresh_ = 0;
    rebases_ = 0;
}

void FramePacer::beginRefresh(double realMs) {
    // A clock that steps back (it should not) must not let frames run early
    // later on: the present never moves back.
    nowMs_ = std::max(nowMs_, realMs);
    framesThisRefresh_ = 0;
}

bool FramePacer::frameDue(int64_t frameStartMs) {
    const double startsAtMs = static_cast<double>(frameStartMs) + offsetMs_;
    if (startsAtMs > nowMs_) return false;
    if (framesThisRefresh_ >= maxFramesPerRefresh_) {
        // Still behind after the catch-up: this frame starts now instead, and
        // runs at the next refresh.
        offsetMs_ = nowMs_ - static_cast<double>(frameStartMs);
        ++rebases_;
        return false;
    }
    ++framesThisRefresh_;
    return true;
}

}  // namespace vonkel::lockstep
