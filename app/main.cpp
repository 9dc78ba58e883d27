// The entry point: reads the command line and the settings file, starts the
// audio keeper (which opens the sound output on a thread of its own while
// the window opens), brings up the window, the keyboard and the pads, starts
// the first game, runs the frame loop, and takes everything down again in
// reverse order. Quitting (Escape in the scope view, or closing the window)
// ends with exit code 0; no usable display with 1 and one line on stderr;
// bad arguments or an unknown --audio-device with 2.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/command_line.h"
#include "app/frame_loop.h"
#include "app/player_controls.h"
#include "app/settings_file.h"
#include "app/settings_saver.h"
#include "core/world.h"
#include "game/game.h"
#include "platform/audio_keeper.h"
#include "platform/audio_library.h"
#include "platform/audio_stream.h"
#include "platform/gamepad.h"
#include "platform/keyboard.h"
#include "platform/messages.h"
#include "platform/presenter.h"

namespace {

// The one process-wide World, about 1.6 MB: static storage, never the stack.
// Zero-filled storage constructed at the start of main, so that the binary
// carries no 1.6 MB initial image for the few fields that are not zero.
alignas(vonkel::World) unsigned char worldStorage[sizeof(vonkel::World)];

int listAudioDevices() {
    using namespace vonkel;
    const bool started = startAudioLibrary();
    const std::string list = deviceList(listOutputDevices());
    if (started) stopAudioLibrary();
    std::fputs(list.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vonkel;
    const CommandLine commandLine = parseCommandLine(std::vector<std::string>(argv + (argc > 0), argv + argc));
    if (commandLine.action == CommandLine::Action::PrintAndEnd) {
        std::fputs(commandLine.text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (commandLine.action == CommandLine::Action::Refuse) {
        std::fputs(commandLine.text.c_str(), stderr);
        return kExitUsage;
    }
    const GameOptions& options = commandLine.options;

    // A reader of --verbose that goes away (vonkel --verbose | head -1) must
    // not end the game: the line is dropped, the game goes on.
    std::signal(SIGPIPE, SIG_IGN);
    quietLibraryMessages();
    if (options.listAudioDevices) return listAudioDevices();

    // The settings file, unless told to leave it alone.
    const std::string settingsFile =
        options.noSettings ? std::string() : settingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    SettingsRead fileSettings;
    if (!settingsFile.empty()) fileSettings = readSettingsFile(settingsFile);
    if (!fileSettings.warning.empty()) sayLine(fileSettings.warning);
    SettingsSaver saver(fileSettings.settings, settingsFile.empty() ? SettingsSaver::Writer()
                                                                     : [settingsFile](const Settings& s, std::string& problem) {
        return writeSettingsFile(settingsFile, s, problem);
    });
    const Settings run = settingsForRun(fileSettings.settings, options);

    World& world = *new (worldStorage) World;
    const uint32_t seed = options.seed ? *options.seed : static_cast<uint32_t>(std::time(nullptr));

    // The stream runs before the first game: its first blocks render the
    // all-zero World, which is silent.
    setAudioMuted(run.mute);
    setAudioVolume(run.volume);
    // PortAudio's PulseAudio back end, where it has one, takes this as its
    // minimum latency; set here, before any other thread reads the
    // environment.
    setenv("PA_MIN_LATENCY_MSEC", std::to_string(run.audioLatencyMs).c_str(), 1);
    AudioKeeper audio;
    audio.start(world, {run.audioDevice, options.audioDevice.has_value(), run.audioLatencyMs});
    // A device the player named must be there before anything is shown.
    if (options.audioDevice && audio.waitForStart().outcome == AudioStart::Outcome::UnknownDevice) {
        const std::string devices = audio.waitForStart().devices;
        audio.stop();
        sayLine("vonkel: --audio-device: no single output device matches '" + printableText(*options.audioDevice, 80) +
                "'; the devices are:\n" + devices.substr(0, devices.size() - 1));
        return kExitUsage;
    }

    SDL_Window* window = nullptr;
    const PresenterOpening opening =
        openPresenter("vonkel", kOutputWidth, kOutputHeight, &window, {run.zoom, run.fullscreen});
    if (!opening) {
        audio.stop();
        sayLine(opening.message);
        return 1;
    }

    Keyboard* keyboard = new (std::nothrow) Keyboard(window);
    Gamepads* gamepads = new (std::nothrow) Gamepads;
    startGame(world, seed);

    PlayerControls controls(saver);
    Capture capture({options.captureDir, options.verbose});
    runFrameLoop(world, keyboard, gamepads, controls, capture, options.verbose);
    // A clip in progress is finished, while its sound still runs.
    capture.finish();
    controls.finish();

    delete gamepads;
    delete keyboard;
    audio.stop();
    closePresenter();
    if (options.verbose) {
        std::printf("audio: %u output underflows, stream reopened %u times\n", audioUnderflowCount(),
                    audio.reopenings());
        std::fflush(stdout);
    }
    return 0;
}
