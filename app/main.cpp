// The entry point: brings up the window, the audio stream and the keyboard,
// starts the first game, runs the frame loop, and takes everything down again
// in reverse order. Every way out ends with exit code 0, and the program
// prints nothing of its own.
#include <unistd.h>

#include <ctime>
#include <new>

#include "app/frame_loop.h"
#include "core/world.h"
#include "game/new_game.h"
#include "platform/audio_stream.h"
#include "platform/keyboard.h"
#include "platform/presenter.h"

namespace {

// The one process-wide World, about 1.6 MB: static storage, never the stack.
// Zero-filled storage constructed at the start of main, so that the binary
// carries no 1.6 MB initial image for the few fields that are not zero.
alignas(vonkel::World) unsigned char worldStorage[sizeof(vonkel::World)];

}  // namespace

int main() {
    using namespace vonkel;
    World& world = *new (worldStorage) World;

    world.mainRandom.seed(static_cast<uint32_t>(std::time(nullptr)));

    SDL_Window* window = nullptr;
    if (!openPresenter("vonkel", kOutputWidth, kOutputHeight, &window)) return 0;

    // The stream runs before the first game: its first blocks render the
    // all-zero World, which is silent.
    startAudioStream(world);
    Keyboard* keyboard = new (std::nothrow) Keyboard(window);
    newGame(world);

    runFrameLoop(world, keyboard);

    delete keyboard;
    stopAudioStream();
    closePresenter();
    // Nothing is left to flush or destroy; ending here keeps the shutdown
    // the same as the one that follows a close request.
    _exit(0);
}
