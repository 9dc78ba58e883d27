#pragma once
// The random generator: one state per thread, each draw 0..32767.
//
// It is the classic linear congruential generator
//   x = x * 214013 + 2531011 (mod 2^32), draw = (x >> 16) & 0x7FFF
// so that one seed gives the same song on every build and platform. The main
// thread seeds it once at start-up; the audio thread reseeds its own from the
// millisecond clock at every block.
#include <cstdint>

namespace vonkel {

void seedRandom(uint32_t seed);
int drawRandom();  // 0..32767, from the calling thread's state

// The raw state, so a single-threaded host can stand in for two threads by
// swapping states, and a test can count draws.
uint32_t randomState();
void setRandomState(uint32_t state);

// The value that the next drawRandom() on this thread would return.
int peekRandom();

}  // namespace vonkel
