#pragma once
// When an output stream has gone quiet and should be opened again. Pure: it
// sees only a millisecond clock and the count of callbacks so far.
//
// A stream that has had no callback for kStallMs, from its start or since
// the last one (a device unplugged, a sound server restarted, a block size
// above the buffer), is reopened at once; while it stays quiet, or cannot be
// opened, it is tried again every kRetryMs. The first callback after that
// ends the outage.
#include <cstdint>

namespace vonkel {

constexpr uint32_t kStallMs = 1000;
constexpr uint32_t kRetryMs = 3000;
// The suggested latency of every reopened stream, at least: a buffer larger
// than the sound servers' usual processing blocks.
constexpr int kRecoveryLatencyMs = 200;

class StreamWatch {
public:
    // A stream was opened (open) or could not be (!open) at `now`, with the
    // callback count at `count`.
    void started(uint32_t now, uint32_t count, bool open);

    // Whether to reopen the stream now.
    bool check(uint32_t now, uint32_t count);

    // Reopenings in the current outage; 0 while the sound plays.
    int attempts() const { return attempts_; }
    // Whether the stream played at all since it was last started.
    bool playedSinceStart() const { return played_; }
    // The outages that have ended with the sound back.
    int recoveries() const { return recoveries_; }

private:
    bool open_ = false;
    bool played_ = false;
    uint32_t lastCount_ = 0;
    uint32_t lastProgress_ = 0;
    uint32_t lastAttempt_ = 0;
    int attempts_ = 0;
    int recoveries_ = 0;
};

}  // namespace vonkel
