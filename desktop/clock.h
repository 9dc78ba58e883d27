#pragma once
// The desktop game's real time, from the system's monotonic clock: frame
// starts, the audio blocks' clock values, clip times, the sound keeper's
// watch. Safe on any thread.
#include <time.h>

#include <cerrno>
#include <cstdint>

namespace vonkel {

// Milliseconds of the monotonic clock.
inline uint64_t monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

// The same, truncated to 32 bits as the game's clock values are: it wraps
// about every 49.7 days, so readings are compared only through their
// unsigned difference.
inline uint32_t millisecondClock() { return static_cast<uint32_t>(monotonicMs()); }

// Sleeps until monotonicMs() reads `ms` or more; returns at once when it does
// already. A signal does not cut the sleep short.
inline void sleepUntilMs(uint64_t ms) {
    const timespec deadline{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

}  // namespace vonkel
