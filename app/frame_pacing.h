#pragma once
// Pacing of the frame loop on a 32-bit millisecond clock.
//
// A frame starts no earlier than the length the last one asked for (16 ms
// in play, 25 ms in the scope view; see game/game.h) after the start of that
// one, measured on the clock. A frame that ran longer is followed at once by
// the next: there is no catching up and no frame is skipped.
//
// The clock wraps every 2^32 ms, so readings are only ever compared through
// the unsigned difference now - frameStart. That difference is right across
// the wrap, and since the time still to wait is computed from it, the wait is
// never longer than the frame's length, whatever the readings are.
//
// The wait sleeps through most of the remaining time and only polls the
// clock, giving up the time slice between reads, for the last
// kYieldWindowMs: a sleep may overshoot a little, the poll does not, and a
// poll that covers the whole wait would keep a processor core busy.
#include <cstdint>

namespace vonkel {

constexpr uint32_t kYieldWindowMs = 1;

enum class WaitAction { Done, Sleep, Yield };

struct WaitStep {
    WaitAction action;
    int sleepMs;  // only for WaitAction::Sleep; at least 1
};

// Milliseconds from frameStart to now, right across the clock's wrap.
constexpr uint32_t elapsedMs(uint32_t frameStart, uint32_t now) { return now - frameStart; }

// What to do next while waiting for the end of the frame that began at
// frameStart and lasts frameMs, given the clock reads now.
WaitStep nextWaitStep(uint32_t frameStart, uint32_t frameMs, uint32_t now);

// Waits until the frame that began at frameStart has lasted frameMs.
// now() reads the clock, sleep(ms) sleeps and yield() gives up the time slice.
template <class Now, class Sleep, class Yield>
void waitForFrameEnd(uint32_t frameStart, uint32_t frameMs, Now&& now, Sleep&& sleep, Yield&& yield) {
    for (;;) {
        const WaitStep step = nextWaitStep(frameStart, frameMs, now());
        switch (step.action) {
            case WaitAction::Done:
                return;
            case WaitAction::Sleep:
                sleep(step.sleepMs);
                break;
            case WaitAction::Yield:
                yield();
                break;
        }
    }
}

}  // namespace vonkel
