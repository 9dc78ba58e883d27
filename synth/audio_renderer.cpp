#include "synth/audio_renderer.h"

#include <algorithm>

#include "core/random.h"
#include "core/world.h"
#include "synth/voice.h"

namespace vonkel {
namespace {

// One chunk of musical time: count it, take a sequencer step when one falls
// due, then render every sounding voice into the chunk. A chunk that would
// overlap a restart on the main thread is skipped (left silent and not
// counted): the restart replaces the whole song and silences every voice,
// so nothing of the old song may run while it is half written.
void renderChunk(World& world, float* chunk, StepFn step, Random& audioRandom) {
    RestartGate& gate = world.restartGate;
    gate.audioBusy.store(true, std::memory_order_seq_cst);
    if (gate.restarting.load(std::memory_order_seq_cst)) {
        gate.audioBusy.store(false, std::memory_order_release);
        return;
    }

    const int32_t count = world.chunkCounter + 1;
    world.chunkCounter = count;
    if (count == world.chunksPerStep) {  // equality: no step while chunksPerStep is 0
        world.chunkCounter = 0;
        step(world, audioRandom);
    }
    Voice* sounding[kVoiceCount];
    bool isKick[kVoiceCount];
    int soundingCount = 0;
    for (int k = 0; k < kVoiceCount; ++k) {
        if (world.voices[k].amplitude > 0.0f) {
            sounding[soundingCount] = &world.voices[k];
            isKick[soundingCount] = k == VoiceRole::Kick;
            ++soundingCount;
        }
    }
    renderVoices(sounding, isKick, soundingCount, chunk, kChunkFrames, audioRandom);

    gate.audioBusy.store(false, std::memory_order_release);
}

}  // namespace

void renderAudioBlock(World& world, float* out, int frames, uint32_t clockMs, StepFn step, ChunkHook beforeChunk) {
    Random audioRandom(clockMs);
    if (frames <= 0) return;
    std::fill(out, out + frames, 0.0f);

    const int chunks = frames / kChunkFrames;  // a partial chunk stays silent
    for (int n = 0; n < chunks; ++n) {
        if (beforeChunk.call != nullptr) beforeChunk.call(beforeChunk.context, n);
        renderChunk(world, out + n * kChunkFrames, step, audioRandom);
    }

    // The ring keeps every third pre-gain sample, so the scope still shows the
    // music while the gain fades out.
    int32_t writeIndex = world.scopeWriteIndex;
    if (writeIndex < 0 || writeIndex >= kScopePositions) writeIndex = 0;
    for (int j = 0; j < frames; ++j) {
        world.ScopeRing[writeIndex / 3] = out[j];
        writeIndex = (writeIndex + 1) % kScopePositions;
        out[j] = static_cast<float>(static_cast<double>(out[j]) * static_cast<double>(world.masterGain.load()));
    }
    world.scopeWriteIndex = writeIndex;
}

}  // namespace vonkel
