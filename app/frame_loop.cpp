#include "app/frame_loop.h"

#include <cstdio>

#include "app/capture.h"
#include "app/command_line.h"
#include "app/frame_pacing.h"
#include "app/player_controls.h"
#include "core/keys.h"
#include "core/world.h"
#include "game/game.h"
#include "platform/clock.h"
#include "platform/gamepad.h"
#include "platform/keyboard.h"
#include "platform/presenter.h"
#include "platform/window_events.h"

namespace vonkel {
namespace {

// The frame's keys: the keyboard's snapshot with the pads' keys added while
// the window has the focus.
KeyState readKeys(Keyboard* keyboard, Gamepads* gamepads) {
    KeyState keys{};
    if (keyboard != nullptr) {
        keyboard->poll();
        keys = keyboard->state();
    }
    if (gamepads != nullptr) {
        gamepads->poll();
        pressPadKeys(keys, gamepads->state(), keyboard != nullptr && keyboard->hasFocus());
    }
    return keys;
}

}  // namespace

void runFrameLoop(World& world, Keyboard* keyboard, Gamepads* gamepads, PlayerControls& controls, Capture& capture,
                  bool verbose) {
    uint32_t gamesReported = 0;
    for (;;) {
        const uint32_t frameStart = millisecondClock();
        if (verbose && world.gamesStarted != gamesReported) {
            gamesReported = world.gamesStarted;
            std::printf("%s\n", songLine(world.songNumber).c_str());
            std::fflush(stdout);
        }
        const WindowEvents events = pumpWindowEvents();
        controls.apply(events, frameStart);
        controls.tick(frameStart);
        if (events.quit) return;

        const FrameRequest request = updateFrame(world, readKeys(keyboard, gamepads));
        if (request.quit) return;
        doubleFramebuffer(world, world.OutputBuffer.data());
        // A frame that cannot be shown is lost; the next one tries again.
        presentFrame(world.OutputBuffer.data());
        if (events.screenshot) capture.screenshot(world);
        if (events.toggleClip) capture.toggleClip(world, frameStart);
        capture.pictureShown(world, frameStart, request.minFrameMs);
        const std::string captureTitle = capture.title(frameStart);
        setWindowTitle(controls.noteTitle(frameStart).value_or(captureTitle));

        waitForFrameEnd(frameStart, static_cast<uint32_t>(request.minFrameMs), millisecondClock, sleepMilliseconds,
                        yieldTimeSlice);
    }
}

}  // namespace vonkel
