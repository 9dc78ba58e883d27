#include "app/frame_loop.h"

#include "app/frame_pacing.h"
#include "app/keys.h"
#include "app/world.h"
#include "game/frame_update.h"
#include "game/framebuffer.h"
#include "platform/clock.h"
#include "platform/keyboard.h"
#include "platform/presenter.h"

namespace vonkel {

void runFrameLoop(World& world, Keyboard* keyboard) {
    static const KeyState noKeys{};
    for (;;) {
        const uint32_t frameStart = millisecondClock();
        if (keyboard != nullptr) keyboard->poll();
        const KeyState& keys = keyboard != nullptr ? keyboard->state() : noKeys;

        if (!updateFrame(world, keys, sleepMilliseconds)) return;
        doubleFramebuffer(world, world.OutputBuffer.data());
        // A frame that cannot be shown is lost; the next one tries again.
        presentFrame(world.OutputBuffer.data());

        waitForFrameEnd(frameStart, millisecondClock, sleepMilliseconds, yieldTimeSlice);
    }
}

}  // namespace vonkel
