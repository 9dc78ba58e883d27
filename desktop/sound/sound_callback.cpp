#include "desktop/sound/sound_callback.h"

#include <unistd.h>

#include <algorithm>

#include "desktop/clock.h"
#include "lockstep/digests.h"
#include "game/game.h"

namespace vonkel {
namespace {

// Copies the rendered samples into the clip's ring, block by block.
void tapForClip(CallbackShared& shared, const float* samples, unsigned long frames, uint32_t clockMs) {
    for (unsigned long at = 0; at < frames; at += kBlockFrames) {
        const auto count = static_cast<int32_t>(std::min<unsigned long>(kBlockFrames, frames - at));
        const uint64_t sequence = shared.blocksRendered++;
        if (!shared.clip.on) continue;
        CapturedSound* slot = shared.clip.ring.beginPush();
        if (slot == nullptr) continue;  // the capture thread is behind: this block is lost to the clip
        slot->sequence = sequence;
        slot->clockMs = clockMs;
        slot->frames = count;
        std::copy(samples + at, samples + at + count, slot->samples);
        shared.clip.ring.endPush();
    }
}

// The block's mark for the run: where it fell among the main thread's steps.
void markForRun(RunTap& run, const float* samples, unsigned long frames, uint32_t clockMs, uint64_t before,
                uint64_t after) {
    // After a loss nothing more goes in: what the ring holds all came before
    // it, so the run can end there.
    RenderedBlockMark* mark = run.lost == 0 ? run.ring.beginPush() : nullptr;
    if (mark == nullptr) {
        run.lost = run.lost + 1;
        return;
    }
    const bool overlapped = (before & 1) != 0 || after != before;
    *mark = {clockMs, static_cast<int32_t>(frames), static_cast<int64_t>(before / 2), overlapped,
             lockstep::soundDigest32(std::span<const float>(samples, frames))};
    run.ring.endPush();
}

}  // namespace

void setVolume(CallbackShared& shared, int level) {
    level = std::clamp(level, 0, 100);
    shared.volume = level;
    const double fraction = level / 100.0;
    shared.gain = static_cast<float>(fraction * fraction);
}

int audioCallback(const void* /*input*/, void* output, unsigned long frameCount,
                  const PaStreamCallbackTimeInfo* /*timeInfo*/, PaStreamCallbackFlags statusFlags, void* userData) {
    auto& shared = *static_cast<CallbackShared*>(userData);
    auto* samples = static_cast<float*>(output);
    if (shared.ending) {
        std::fill(samples, samples + frameCount, 0.0f);
        return paAbort;
    }
    const uint32_t clockMs = millisecondClock();
    const uint64_t stepsBefore = shared.run.steps.load();
    renderAudioBlock(*shared.world, samples, static_cast<int>(frameCount), clockMs);
    const uint64_t stepsAfter = shared.run.steps.load();
    markForRun(shared.run, samples, frameCount, clockMs, stepsBefore, stepsAfter);
    tapForClip(shared, samples, frameCount, clockMs);

    // The level and the mute act only on what leaves: the song, its clock
    // and the scope ring go on exactly as they would be heard.
    const float gain = shared.gain;
    if (shared.muted) {
        std::fill(samples, samples + frameCount, 0.0f);
    } else if (gain != 1.0f) {
        for (unsigned long i = 0; i < frameCount; ++i) samples[i] *= gain;
    }
    // Which thread the library calls from, for the keeper to ask real-time
    // scheduling for: one system call, the first time only.
    if (shared.thread == 0) shared.thread = static_cast<int32_t>(gettid());
    shared.callbacks = shared.callbacks + 1;
    if ((statusFlags & paOutputUnderflow) != 0) shared.underflows = shared.underflows + 1;
    return paContinue;
}

}  // namespace vonkel
