#pragma once
// The body of the audio stream's callback: keeps the musical clock (one
// sequencer step every chunksPerStep chunks of 128 frames), mixes the voices,
// feeds the oscilloscope ring and applies the master gain.
#include <cstdint>

namespace vonkel {

struct World;

constexpr int kChunkFrames = 128;
constexpr int kBlockFrames = 512;
constexpr int kSampleRate = 44100;

// Renders `frames` mono samples into out. clockMs is the millisecond clock at
// the start of the block; the audio thread's generator is reseeded from it.
void renderAudioBlock(World& world, float* out, int frames, uint32_t clockMs);

}  // namespace vonkel
