#include "app/frame_pacing.h"

namespace vonkel {

WaitStep nextWaitStep(uint32_t frameStart, uint32_t frameMs, uint32_t now) {
    const uint32_t elapsed = elapsedMs(frameStart, now);
    if (elapsed >= frameMs) return {WaitAction::Done, 0};
    const uint32_t remaining = frameMs - elapsed;  // 1 .. frameMs
    if (remaining > kYieldWindowMs) return {WaitAction::Sleep, static_cast<int>(remaining - kYieldWindowMs)};
    return {WaitAction::Yield, 0};
}

}  // namespace vonkel
