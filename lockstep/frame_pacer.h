#pragma once
// Ties the simulated frame schedule to a real clock, for a host whose display
// calls it back at its own refresh rate (the web page's animation frames).
//
// Simulated time t maps to real time t + offset. At each display refresh the
// host asks, frame after frame, whether the next frame (starting at F_f on
// the simulated clock) is due: it is once the real clock has reached F_f +
// offset, so frames never come faster than the schedule (62.5 per second at
// most) whatever the refresh rate. After a stall (a hidden page, a slow
// machine) the frames that fell behind are caught up, but no more than
// `maxFramesPerRefresh` in one refresh: if one is still due then, the clock
// is re-based so that it starts at the present, and the schedule goes on
// from there at its normal pace.
//
// The pacer only decides when a frame runs, never what it computes: the game
// and the audio stay on the simulated clock, frame for frame the same as a
// run without real time.
#include <cstdint>

namespace vonkel::lockstep {

class FramePacer {
public:
    static constexpr int kDefaultMaxFramesPerRefresh = 3;

    explicit FramePacer(int maxFramesPerRefresh = kDefaultMaxFramesPerRefresh);

    // Simulated time `simulatedMs` is real time `realMs` from now on.
    void start(double realMs, int64_t simulatedMs = 0);

    // A display refresh at real time `realMs`.
    void beginRefresh(double realMs);

    // Whether the frame starting at `frameStartMs` (simulated) runs now. Each
    // true counts as one frame run in this refresh.
    bool frameDue(int64_t frameStartMs);

    // How many times the clock was re-based since start().
    int64_t rebaseCount() const { return rebases_; }
    // Real time minus simulated time.
    double offsetMs() const { return offsetMs_; }

private:
    int maxFramesPerRefresh_;
    double offsetMs_ = 0;
    double nowMs_ = 0;
    int framesThisRefresh_ = 0;
    int64_t rebases_ = 0;
};

}  // namespace vonkel::lockstep
