#pragma once
// The body of the audio stream's callback: keeps the musical clock (one
// sequencer step every chunksPerStep chunks of 128 frames), mixes the voices,
// feeds the oscilloscope ring and applies the master gain.
#include <cstdint>

#include "core/world.h"

namespace vonkel {

class Random;

// One step of the musical clock, taken on the audio thread with the block's
// generator. The renderer only keeps the time, so it takes the step as an
// argument: the game's renderAudioBlock (game/game.h), which hosts call,
// passes sequencerStep (music/sequencer.h); tests may pass their own.
using StepFn = void (*)(World& world, Random& audioRandom);

constexpr int kChunkFrames = 128;  // kBlockFrames and kSampleRate: core/world.h

// Called before each chunk of a block with the chunk's number. A replay of
// the desktop game puts a frame there that the game's other thread ran while
// the block was rendered; hosts pass none.
struct ChunkHook {
    void (*call)(void* context, int chunk) = nullptr;
    void* context = nullptr;
};

// Renders `frames` mono samples into out. clockMs is the millisecond clock at
// the start of the block: the block's audio generator is seeded from it, and
// `step` and the noise voices draw from that generator.
void renderAudioBlock(World& world, float* out, int frames, uint32_t clockMs, StepFn step,
                      ChunkHook beforeChunk = {});

}  // namespace vonkel
