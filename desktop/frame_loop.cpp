#include "desktop/frame_loop.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "core/world.h"
#include "desktop/capture/capture.h"
#include "desktop/clock.h"
#include "desktop/input/input.h"
#include "desktop/settings/settings_store.h"
#include "desktop/stop_signals.h"
#include "desktop/sound/sound_out.h"
#include "desktop/window/window.h"
#include "game/game.h"
#include "lockstep/key_script.h"

namespace vonkel {

std::string soundTitle(int volume, bool muted) {
    const std::string level = "volume " + std::to_string(volume) + "%";
    return "vonkel - " + (muted ? "sound off (" + level + ")" : level);
}

int steppedVolume(int volume, int steps) { return std::clamp(volume + steps * kVolumeStep, 0, 100); }

std::string songLine(uint32_t songNumber) {
    const std::string n = std::to_string(songNumber);
    return "song " + n + ": vonkel-lab audio --seed " + n + " --seconds 60 --out song-" + n + ".wav";
}

FrameLoop::End FrameLoop::run() {
    std::atomic<uint64_t>& steps = sound.runTap().steps;
    uint32_t gamesReported = 0;
    std::optional<uint32_t> soundNotedAt;  // when the title began to show the level
    for (;;) {
        const uint64_t frameStart = monotonicMs();
        const auto now = static_cast<uint32_t>(frameStart);
        if (verbose && world.gamesStarted != gamesReported) {
            gamesReported = world.gamesStarted;
            std::printf("%s\n", songLine(world.songNumber).c_str());
            std::fflush(stdout);
        }

        const WindowEvents events = window.takeEvents();
        if (events.toggleMute) {
            sound.setMuted(!sound.muted());
            settings.change([muted = sound.muted()](Settings& s) { s.mute = muted; });
            soundNotedAt = now;
        }
        if (events.volumeSteps != 0) {
            sound.setVolume(steppedVolume(sound.volume(), events.volumeSteps));
            settings.change([volume = sound.volume()](Settings& s) { s.volume = volume; });
            soundNotedAt = now;
        }
        if (events.zoomed != 0) settings.change([zoom = events.zoomed](Settings& s) { s.zoom = zoom; });
        if (events.fullscreenChanged) {
            settings.change([fullscreen = window.fullscreen()](Settings& s) { s.fullscreen = fullscreen; });
        }
        if (events.lost) return End::WindowLost;
        if (events.quit || stopSignals.received()) return End::Quit;

        // The update is one of the steps a run counts (desktop/sound/
        // sound_callback.h): the audio thread sees when it runs.
        const KeyState keys = input.poll();
        steps.fetch_add(1);
        const FrameRequest request = updateFrame(world, keys);
        steps.fetch_add(1);
        capture.framePlayed(world, lockstep::keyMaskOf(keys), request.quit);
        if (request.quit) return End::Quit;
        doubleFramebuffer(world, world.OutputBuffer.data());
        // A frame that cannot be shown is lost; the next one tries again.
        window.present(world.OutputBuffer.data());

        if (events.screenshot) capture.screenshot(world);
        if (events.saveRun) capture.saveRun(world);
        if (events.toggleClip) capture.toggleClip(world, now);
        capture.pictureShown(world, now);
        const std::string captureTitle = capture.title(now);
        const bool noting = soundNotedAt && now - *soundNotedAt < kTitleNoteMs;
        window.setTitle(noting ? soundTitle(sound.volume(), sound.muted()) : captureTitle);

        sleepUntilMs(frameStart + static_cast<uint64_t>(request.minFrameMs));
    }
}

}  // namespace vonkel
