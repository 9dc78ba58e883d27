#include "desktop/sound/stream_watch.h"

namespace vonkel {

void StreamWatch::started(uint32_t now, uint32_t count, bool open) {
    open_ = open;
    played_ = false;
    lastCount_ = count;
    lastProgress_ = now;
    lastAttempt_ = now;
}

bool StreamWatch::check(uint32_t now, uint32_t count) {
    // Differences of the wrapping clock, never the readings themselves.
    if (open_ && count != lastCount_) {
        lastCount_ = count;
        lastProgress_ = now;
        played_ = true;
        if (attempts_ > 0) {
            attempts_ = 0;
            ++recoveries_;
        }
        return false;
    }
    const bool due = attempts_ == 0 ? open_ && now - lastProgress_ >= kStallMs : now - lastAttempt_ >= kRetryMs;
    if (due) ++attempts_;
    return due;
}

}  // namespace vonkel
