// The desktop game. It reads the command line, then brings up its services
// in order, each an object that owns its state: the game's messages, the
// settings, the World, the sound out (which opens the sound on a thread of
// its own while the window opens), the window, the input and the capture.
// It starts the first game and runs the frames until the player quits; the
// services then end in reverse order, and that is the whole shutdown.
//
// Exit status: 0 on quitting (Escape in the scope view, closing the window,
// SIGINT, SIGTERM, SIGHUP and the other stop signals); 1 when there is no
// usable display or the window was lost, with one line on stderr; 2 for bad
// arguments or an unknown --audio-device.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "core/world.h"
#include "desktop/capture/capture.h"
#include "desktop/command_line.h"
#include "desktop/frame_loop.h"
#include "desktop/input/input.h"
#include "desktop/messages.h"
#include "desktop/settings/settings_store.h"
#include "desktop/sound/audio_library.h"
#include "desktop/sound/sound_out.h"
#include "desktop/stop_signals.h"
#include "desktop/window/window.h"
#include "game/game.h"
#include "lockstep/decimal.h"

int main(int argc, char** argv) {
    using namespace vonkel;
    const CommandLine commandLine = parseCommandLine(std::vector<std::string>(argv + (argc > 0), argv + argc));
    if (commandLine.action != CommandLine::Action::Run) {
        const bool refused = commandLine.action == CommandLine::Action::Refuse;
        std::fputs(commandLine.text.c_str(), refused ? stderr : stdout);
        return refused ? kExitUsage : std::fflush(stdout) == 0 ? 0 : 1;
    }
    const GameOptions& options = commandLine.options;
    // A reader of --verbose that goes away (vonkel --verbose | head -1) must
    // not end the game: the line is dropped, the game goes on.
    std::signal(SIGPIPE, SIG_IGN);
    StopSignals stopSignals;
    const Messages messages;

    if (options.listAudioDevices) {
        const AudioLibrary library;
        std::fputs(deviceList(library.devices()).c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    SettingsStore settings(
        options.noSettings ? std::string() : settingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
        messages);
    const Settings run = settingsForRun(settings.saved(), options.settings);

    // About 1.6 MB: on the heap, zero-filled, as the game's first blocks
    // of sound expect it.
    const auto world = std::make_unique<World>();
    SoundOut sound(*world,
                   {run.audioDevice, options.settings.audioDevice.has_value(), run.audioLatencyMs,
                    options.settings.audioLatencyMs.has_value(), run.volume, run.mute, options.verbose},
                   messages);
    // A device the player named must be there before anything is shown.
    if (const std::string devices = options.settings.audioDevice ? sound.waitForStart() : ""; !devices.empty()) {
        messages.say("vonkel: --audio-device: no single output device matches '" +
                     lockstep::printable(*options.settings.audioDevice, 80) + "'; the devices are:\n" +
                     devices.substr(0, devices.size() - 1));
        return kExitUsage;
    }

    Window window;
    if (const std::string error = window.open("vonkel", kOutputWidth, kOutputHeight, {run.zoom, run.fullscreen});
        !error.empty()) {
        messages.say(error);
        return 1;
    }
    Input input(window.sdlWindow());
    const uint32_t seed = options.seed ? *options.seed : static_cast<uint32_t>(std::time(nullptr));
    Capture capture({options.captureDir, options.verbose, options.saveRunAtExit}, sound.clipTap(), sound.runTap(), seed,
                    messages);

    // The first of the steps a run counts (desktop/sound/sound_callback.h).
    sound.runTap().steps.fetch_add(1);
    startGame(*world, seed);
    sound.runTap().steps.fetch_add(1);
    const FrameLoop::End end =
        FrameLoop{*world, window, input, sound, settings, capture, stopSignals, options.verbose}.run();
    if (end == FrameLoop::End::Quit) return 0;
    messages.say("vonkel: the window or the display went away; the game ends");
    return 1;
}
