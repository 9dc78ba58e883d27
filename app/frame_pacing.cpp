#include "app/frame_pacing.h"

namespace vonkel {

WaitStep nextWaitStep(uint32_t frameStart, uint32_t now) {
    const uint32_t elapsed = elapsedMs(frameStart, now);
    if (elapsed >= kFramePeriodMs) return {WaitAction::Done, 0};
    const uint32_t remaining = kFramePeriodMs - elapsed;  // 1 .. kFramePeriodMs
    if (remaining > kYieldWindowMs) return {WaitAction::Sleep, static_cast<int>(remaining - kYieldWindowMs)};
    return {WaitAction::Yield, 0};
}

}  // namespace vonkel
