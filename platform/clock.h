#pragma once
// The host's time: a millisecond counter and the sleeps that the frame loop
// and the game use. All three are safe to call from any thread.
#include <cstdint>

namespace vonkel {

// Milliseconds of a monotonic clock, truncated to 32 bits; wraps about every
// 49.7 days, so compare readings only through their unsigned difference.
uint32_t millisecondClock();

// Sleeps for the given number of milliseconds (nothing for 0 or less).
void sleepMilliseconds(int milliseconds);

// Gives the rest of the time slice to any other runnable thread.
void yieldTimeSlice();

}  // namespace vonkel
