#pragma once
// The body of the audio stream's callback: keeps the musical clock (one
// sequencer step every chunksPerStep chunks of 128 frames), mixes the voices,
// feeds the oscilloscope ring and applies the master gain.
#include <cstdint>

namespace vonkel {

struct World;
class Random;

// One step of the musical clock, taken on the audio thread with the block's
// generator. The game's is sequencerStep (music/sequencer.h); the renderer
// only keeps the time, so it takes the step as an argument.
using StepFn = void (*)(World& world, Random& audioRandom);

constexpr int kChunkFrames = 128;
constexpr int kBlockFrames = 512;
constexpr int kSampleRate = 44100;

// Renders `frames` mono samples into out. clockMs is the millisecond clock at
// the start of the block: the block's audio generator is seeded from it, and
// `step` and the noise voices draw from that generator.
void renderAudioBlock(World& world, float* out, int frames, uint32_t clockMs, StepFn step);

}  // namespace vonkel
