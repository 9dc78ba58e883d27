// The host's entries that are not the frame update itself.
#include "game/game.h"

#include "game/new_game.h"
#include "music/sequencer.h"
#include "synth/audio_renderer.h"

namespace vonkel {

void startGame(World& world, uint32_t seed) {
    world.mainRandom.seed(seed);
    newGame(world);
}

void renderAudioBlock(World& world, float* out, int frames, uint32_t clockMs) {
    renderAudioBlock(world, out, frames, clockMs, sequencerStep);
}

}  // namespace vonkel
