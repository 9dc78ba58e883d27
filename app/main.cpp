// The entry point: reads the command line, brings up the window, the audio
// stream, the keyboard and the pads, starts the first game, runs the frame
// loop, and takes everything down again in reverse order. Quitting (Escape
// in the scope view, or closing the window) ends with exit code 0; no usable
// display with 1 and one line on stderr; bad arguments with 2.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/command_line.h"
#include "app/frame_loop.h"
#include "core/world.h"
#include "game/game.h"
#include "platform/audio_stream.h"
#include "platform/gamepad.h"
#include "platform/keyboard.h"
#include "platform/presenter.h"

namespace {

// The one process-wide World, about 1.6 MB: static storage, never the stack.
// Zero-filled storage constructed at the start of main, so that the binary
// carries no 1.6 MB initial image for the few fields that are not zero.
alignas(vonkel::World) unsigned char worldStorage[sizeof(vonkel::World)];

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

    World& world = *new (worldStorage) World;
    const uint32_t seed = options.seed ? *options.seed : static_cast<uint32_t>(std::time(nullptr));

    SDL_Window* window = nullptr;
    const PresenterOpening opening =
        openPresenter("vonkel", kOutputWidth, kOutputHeight, &window, {options.zoom, options.fullscreen});
    if (!opening) {
        std::fprintf(stderr, "%s\n", opening.message.c_str());
        return 1;
    }

    // The stream runs before the first game: its first blocks render the
    // all-zero World, which is silent.
    setAudioMuted(options.mute);
    startAudioStream(world);
    Keyboard* keyboard = new (std::nothrow) Keyboard(window);
    Gamepads* gamepads = new (std::nothrow) Gamepads;
    startGame(world, seed);

    Capture capture({options.captureDir, options.verbose});
    runFrameLoop(world, keyboard, gamepads, capture, options.verbose);
    // A clip in progress is finished, while its sound still runs.
    capture.finish();

    delete gamepads;
    delete keyboard;
    stopAudioStream();
    closePresenter();
    return 0;
}
