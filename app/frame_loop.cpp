#include "app/frame_loop.h"

#include "app/frame_pacing.h"
#include "core/keys.h"
#include "core/world.h"
#include "game/frame_update.h"
#include "game/framebuffer.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "platform/presenter.h"

namespace vonkel {
namespace {

// The game's sleeps spend real time on the desktop.
class WallClockSleeper final : public Sleeper {
public:
    void sleep(int milliseconds) override { sleepMilliseconds(milliseconds); }
};

}  // namespace

void runFrameLoop(World& world, Keyboard* keyboard) {
    static const KeyState noKeys{};
    WallClockSleeper sleeper;
    for (;;) {
        const uint32_t frameStart = millisecondClock();
        if (keyboard != nullptr) keyboard->poll();
        const KeyState& keys = keyboard != nullptr ? keyboard->state() : noKeys;

        if (!updateFrame(world, keys, sleeper)) return;
        doubleFramebuffer(world, world.OutputBuffer.data());
        // A frame that cannot be shown is lost; the next one tries again.
        presentFrame(world.OutputBuffer.data());

        waitForFrameEnd(frameStart, millisecondClock, sleepMilliseconds, yieldTimeSlice);
    }
}

}  // namespace vonkel
