#pragma once
// The sound keeper's judgement: when to open, reopen or leave the output
// stream, and with how large a buffer. Pure: it sees only a millisecond
// clock, the callback and underflow counts, and whether the audio library
// says the stream runs.
//
// - Starting, from an open until the callbacks run at the block rate (under
//   a sound server that can take a second or more), is not a stall: a stream
//   that has not played steadily kStartAllowanceMs after its open "did not
//   start".
// - A stream that played steadily is dead only when the library stops it
//   (an error, the device gone) or no callback came for kStallMs.
// - kUnderflowRun underflows within kUnderflowWindowMs reopen it once with
//   the buffer doubled, up to kLargestLatencyMs; the buffer never shrinks
//   back, and one the player chose (--audio-latency) is kept as it is.
// - Without a stream (none could be opened, or none at all at the start) a
//   stream is tried again every kRetryMs.
#include <cstdint>

namespace vonkel {

inline constexpr uint32_t kStartAllowanceMs = 3000;
inline constexpr uint32_t kStallMs = 2000;
inline constexpr uint32_t kRetryMs = 3000;
inline constexpr uint32_t kUnderflowWindowMs = 10000;
inline constexpr int kUnderflowRun = 3;
inline constexpr int kLargestLatencyMs = 200;
// Steady play: at least this many callbacks in the last kSteadyWindowMs,
// half the block rate (86 a second).
inline constexpr uint32_t kSteadyWindowMs = 1000;
inline constexpr uint32_t kSteadyCallbacks = 43;

struct StreamSample {
    uint32_t nowMs = 0;
    uint32_t callbacks = 0;   // ever, of every stream
    uint32_t underflows = 0;  // ever
    bool active = false;      // the library runs the stream (false: no stream, or it stopped)
};

struct KeeperAction {
    enum class Kind { None, Open, Reopen };
    enum class Reason { None, Retry, DidNotStart, Stalled, Failed, Underflows };
    Kind kind = Kind::None;
    Reason reason = Reason::None;
    int latencyMs = 0;  // the buffer to ask for
};

class StreamWatch {
public:
    // latencyMs: the first stream's buffer; fixed: the player chose it.
    StreamWatch(int latencyMs, bool fixed) : latencyMs_(latencyMs), fixed_(fixed) {}

    // The keeper opened a stream (open) or could not (!open) at `s.nowMs`.
    void opened(const StreamSample& s, bool open);
    // What to do now, from a sample taken every 100 ms or so.
    KeeperAction check(const StreamSample& s);

    int latencyMs() const { return latencyMs_; }
    bool open() const { return state_ != State::Closed; }
    // Whether the stream plays steadily (it may still run dry now and then).
    bool playing() const { return state_ == State::Playing; }

private:
    enum class State { Closed, Starting, Playing };
    KeeperAction reopen(KeeperAction::Reason reason, int latencyMs);
    bool steady(const StreamSample& s);

    int latencyMs_;
    bool fixed_;
    State state_ = State::Closed;
    uint32_t sinceMs_ = 0;            // when the state began
    uint32_t lastCallbacks_ = 0;
    uint32_t lastProgressMs_ = 0;     // when the callback count last moved
    uint32_t windowStartMs_ = 0;      // the steadiness window
    uint32_t windowCallbacks_ = 0;
    uint32_t underflowTimes_[kUnderflowRun] = {};  // the last few underflows' times
    int underflowsSeen_ = 0;
    uint32_t lastUnderflows_ = 0;
};

}  // namespace vonkel
