#include "platform/audio_stream.h"

#include <algorithm>

#include "core/relaxed.h"
#include "core/world.h"
#include "game/game.h"
#include "platform/clock.h"

namespace vonkel {

namespace {

constexpr int kChannels = 1;

PaStream* stream = nullptr;
// Set on the main thread, read by the callback.
Relaxed<bool> muted{false};
Relaxed<int> volumeLevel{100};
Relaxed<float> volumeGain{1.0f};
Relaxed<bool> capturing{false};
// Written by the callback alone, read anywhere.
Relaxed<uint32_t> callbacks{0};
Relaxed<uint32_t> underflows{0};
// The callback writes, the capture thread reads.
SoundCaptureRing captureRing;
uint64_t blocksRendered = 0;  // the callback's own

// Copies the rendered samples into the capture ring, block by block.
void captureSamples(const float* samples, unsigned long frames, uint32_t clockMs) {
    for (unsigned long at = 0; at < frames; at += kBlockFrames) {
        const auto count = static_cast<int32_t>(std::min<unsigned long>(kBlockFrames, frames - at));
        const uint64_t sequence = blocksRendered++;
        if (!capturing) continue;
        CapturedSound* slot = captureRing.beginPush();
        if (slot == nullptr) continue;  // the capture thread is behind: this block is lost to the clip
        slot->sequence = sequence;
        slot->clockMs = clockMs;
        slot->frames = count;
        std::copy(samples + at, samples + at + count, slot->samples);
        captureRing.endPush();
    }
}

}  // namespace

// Runs on the audio library's thread. It renders straight into the output
// buffer and never blocks, allocates, locks or does I/O.
int audioCallback(const void* /*input*/, void* output, unsigned long frameCount,
                  const PaStreamCallbackTimeInfo* /*timeInfo*/, PaStreamCallbackFlags statusFlags, void* userData) {
    auto* samples = static_cast<float*>(output);
    const uint32_t clockMs = millisecondClock();
    renderAudioBlock(*static_cast<World*>(userData), samples, static_cast<int>(frameCount), clockMs);
    captureSamples(samples, frameCount, clockMs);

    // The level and the mute act only on what leaves: the song, its clock
    // and the scope ring go on exactly as they would be heard.
    const unsigned long count = frameCount * kChannels;
    const float gain = volumeGain;
    if (muted) {
        std::fill(samples, samples + count, 0.0f);
    } else if (gain != 1.0f) {
        for (unsigned long i = 0; i < count; ++i) samples[i] *= gain;
    }

    callbacks = callbacks + 1;
    if ((statusFlags & paOutputUnderflow) != 0) underflows = underflows + 1;
    return paContinue;
}

void setAudioMuted(bool silent) { muted = silent; }

void setSoundCapture(bool on) { capturing = on; }

SoundCaptureRing& capturedSound() { return captureRing; }

bool audioMuted() { return muted; }

void setAudioVolume(int level) {
    level = std::clamp(level, 0, 100);
    volumeLevel = level;
    const double fraction = level / 100.0;
    volumeGain = static_cast<float>(fraction * fraction);
}

int audioVolume() { return volumeLevel; }

uint32_t audioCallbackCount() { return callbacks; }

uint32_t audioUnderflowCount() { return underflows; }

bool openAudioStream(World& world, PaDeviceIndex device, double latencySeconds) {
    closeAudioStream();
    PaStreamParameters output{};
    output.device = device;
    output.channelCount = kChannels;
    output.sampleFormat = paFloat32;
    output.suggestedLatency = latencySeconds;
    output.hostApiSpecificStreamInfo = nullptr;
    if (Pa_OpenStream(&stream, nullptr, &output, static_cast<double>(kSampleRate), kBlockFrames, paNoFlag,
                      audioCallback, &world) != paNoError) {
        stream = nullptr;
        return false;
    }
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        stream = nullptr;
        return false;
    }
    return true;
}

void closeAudioStream() {
    if (stream == nullptr) return;
    // Abort, not stop: stopping plays out what the sound server holds,
    // which can be a second or more, and the game would linger after the
    // player has quit.
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);
    stream = nullptr;
}

}  // namespace vonkel
