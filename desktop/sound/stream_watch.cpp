#include "desktop/sound/stream_watch.h"

#include <algorithm>

namespace vonkel {

using Kind = KeeperAction::Kind;
using Reason = KeeperAction::Reason;

void StreamWatch::opened(const StreamSample& s, bool open) {
    state_ = open ? State::Starting : State::Closed;
    sinceMs_ = s.nowMs;
    lastCallbacks_ = s.callbacks;
    lastProgressMs_ = s.nowMs;
    windowStartMs_ = s.nowMs;
    windowCallbacks_ = s.callbacks;
    underflowsSeen_ = 0;
    lastUnderflows_ = s.underflows;
}

// Whether the callbacks came at least at half the block rate over the last
// window. Every difference is of the wrapping clock or counts.
bool StreamWatch::steady(const StreamSample& s) {
    const uint32_t elapsed = s.nowMs - windowStartMs_;
    if (elapsed < kSteadyWindowMs) return false;
    const uint32_t came = s.callbacks - windowCallbacks_;
    windowStartMs_ = s.nowMs;
    windowCallbacks_ = s.callbacks;
    return uint64_t{came} * kSteadyWindowMs >= uint64_t{kSteadyCallbacks} * elapsed;
}

KeeperAction StreamWatch::reopen(Reason reason, int latencyMs) {
    latencyMs_ = latencyMs;
    return {Kind::Reopen, reason, latencyMs};
}

KeeperAction StreamWatch::check(const StreamSample& s) {
    if (state_ == State::Closed) {
        if (s.nowMs - sinceMs_ < kRetryMs) return {};
        sinceMs_ = s.nowMs;
        return {Kind::Open, Reason::Retry, latencyMs_};
    }
    if (s.callbacks != lastCallbacks_) {
        lastCallbacks_ = s.callbacks;
        lastProgressMs_ = s.nowMs;
    }
    // After a failure or a stall the buffer is at least the largest, which
    // is above the blocks sound servers usually work in; unless the player
    // chose one.
    const int recovery = fixed_ ? latencyMs_ : std::max(latencyMs_, kLargestLatencyMs);
    if (!s.active) return reopen(Reason::Failed, recovery);
    if (state_ == State::Starting) {
        if (steady(s)) {
            state_ = State::Playing;
            lastUnderflows_ = s.underflows;
            return {};
        }
        if (s.nowMs - sinceMs_ >= kStartAllowanceMs) return reopen(Reason::DidNotStart, recovery);
        return {};
    }
    if (s.nowMs - lastProgressMs_ >= kStallMs) return reopen(Reason::Stalled, recovery);

    // The times of the last kUnderflowRun underflows, the newest first.
    for (uint32_t n = s.underflows - lastUnderflows_; n > 0 && underflowsSeen_ < 1000; --n, ++underflowsSeen_) {
        std::copy_backward(underflowTimes_, underflowTimes_ + kUnderflowRun - 1, underflowTimes_ + kUnderflowRun);
        underflowTimes_[0] = s.nowMs;
    }
    lastUnderflows_ = s.underflows;
    const bool run =
        underflowsSeen_ >= kUnderflowRun && s.nowMs - underflowTimes_[kUnderflowRun - 1] < kUnderflowWindowMs;
    if (run && !fixed_ && latencyMs_ < kLargestLatencyMs) {
        return reopen(Reason::Underflows, std::min(2 * latencyMs_, kLargestLatencyMs));
    }
    return {};
}

}  // namespace vonkel
