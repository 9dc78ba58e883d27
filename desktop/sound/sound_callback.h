#pragma once
// The audio callback and the one record it shares with the rest of the
// desktop game, handed to it as its user data. The callback runs on the
// audio library's thread: it renders the World's synthesiser, copies the
// block for a clip that is recording, then applies the player's level and
// mute, and counts. It never blocks, allocates, locks or does I/O.
#include <portaudio.h>

#include <atomic>
#include <cstdint>

#include "core/relaxed.h"
#include "core/world.h"
#include "desktop/spsc_ring.h"

namespace vonkel {

// The sound of the game as a clip keeps it: the callback's samples after the
// master gain, before the player's level and mute, one record per block of
// up to 512 frames.
struct CapturedSound {
    uint64_t sequence;  // counts every block the callback renders
    uint32_t clockMs;   // the millisecond clock the block was rendered at
    int32_t frames;
    float samples[kBlockFrames];
};

// The clip's tap on the sound: while `on`, the callback copies each block it
// renders into `ring` (about 3 s of it) for the capture thread; when the ring
// is full the block is dropped, its sequence number left out.
struct ClipTap {
    Relaxed<bool> on{false};
    SpscRing<CapturedSound, 256> ring;
};

// What a run keeps of each block (lockstep/run_recorder.h): its clock value,
// length, place among the main thread's steps and digest.
struct RenderedBlockMark {
    uint32_t clockMs;
    int32_t frames;
    int64_t step;     // steps completed when it began
    bool overlapped;  // a step ran while it was rendered
    uint32_t digest;  // soundDigest32 of its samples, before the level and the mute
};

// The run's tap on the sound. The main thread counts the steps in which it
// writes the World (the first game's start, then each frame's update):
// `steps` is odd while one runs, and twice the steps completed otherwise.
// The callback reads it before and after each block, and hands the block's
// mark to the capture thread through `ring` (about 95 s of blocks: the
// window may take long to open before the capture thread starts taking
// them); `lost` counts marks that found it full.
struct RunTap {
    std::atomic<uint64_t> steps{0};  // sequentially consistent on both sides
    SpscRing<RenderedBlockMark, 8192> ring;
    Relaxed<uint64_t> lost{0};
};

struct CallbackShared {
    World* world = nullptr;
    // Set by the main thread, read by the callback.
    Relaxed<bool> muted{false};
    Relaxed<int> volume{100};  // 0..100
    Relaxed<float> gain{1.0f}; // (volume / 100) squared
    // Set by the keeper to end the stream from inside: the callback renders
    // nothing more and tells the library to end (sound_out.cpp says why).
    Relaxed<bool> ending{false};
    // Written by the callback alone, read anywhere.
    Relaxed<uint32_t> callbacks{0};
    Relaxed<uint32_t> underflows{0};
    Relaxed<int32_t> thread{0};   // the callback's thread (Linux thread id), once it ran; the keeper clears it
    uint64_t blocksRendered = 0;  // the callback's own
    ClipTap clip;
    RunTap run;
};

// The player's level, 0..100: the samples are scaled by (level / 100)
// squared, so that each step of ten sounds about as large as the last.
void setVolume(CallbackShared& shared, int level);

// userData is the CallbackShared.
int audioCallback(const void* input, void* output, unsigned long frameCount,
                  const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags statusFlags, void* userData);

}  // namespace vonkel
