#include "app/random.h"

namespace vonkel {
namespace {
thread_local uint32_t tState = 0;

constexpr uint32_t advance(uint32_t x) { return x * 214013u + 2531011u; }
constexpr int output(uint32_t x) { return static_cast<int>((x >> 16) & 0x7FFFu); }
}  // namespace

void seedRandom(uint32_t seed) { tState = seed; }

int drawRandom() {
    tState = advance(tState);
    return output(tState);
}

uint32_t randomState() { return tState; }
void setRandomState(uint32_t state) { tState = state; }
int peekRandom() { return output(advance(tState)); }

}  // namespace vonkel
