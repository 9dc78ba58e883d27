#include "platform/audio_stream.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "core/relaxed.h"
#include "core/world.h"
#include "game/game.h"
#include "platform/clock.h"

namespace vonkel {

namespace {

constexpr int kChannels = 1;
constexpr double kSuggestedLatencySeconds = 0.075;

PaStream* stream = nullptr;
bool libraryStarted = false;
Relaxed<bool> muted{false};      // set on the main thread, read by the callback
Relaxed<bool> capturing{false};  // likewise
SoundCaptureRing captureRing;    // the callback writes, the capture thread reads
uint64_t blocksRendered = 0;     // the callback's own

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

// Runs on the audio library's thread. It renders straight into the output
// buffer and never blocks, allocates or does I/O.
int audioCallback(const void* /*input*/, void* output, unsigned long frameCount,
                  const PaStreamCallbackTimeInfo* /*timeInfo*/, PaStreamCallbackFlags /*statusFlags*/,
                  void* userData) {
    auto* samples = static_cast<float*>(output);
    const uint32_t clockMs = millisecondClock();
    renderAudioBlock(*static_cast<World*>(userData), samples, static_cast<int>(frameCount), clockMs);
    captureSamples(samples, frameCount, clockMs);
    // Muting silences only what leaves: the song, its clock and the scope
    // ring go on exactly as they would be heard.
    if (muted) std::fill(samples, samples + frameCount * kChannels, 0.0f);
    return paContinue;
}

// ALSA reports its errors on stderr unless told otherwise; the program
// prints nothing, also on a machine without a sound card.
void discardAlsaError(const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/,
                      const char* /*fmt*/, ...) {}

void discardJackMessage(const char* /*message*/) {}

// The audio library may come with JACK support, and the JACK client library
// reports a missing JACK server on stderr while the library looks for one.
// Its message handlers are looked up at run time, so that nothing changes
// where the audio library was built without JACK.
void silenceJack() {
    using SetHandler = void (*)(void (*)(const char*));
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
        if (void* symbol = dlsym(RTLD_DEFAULT, name)) reinterpret_cast<SetHandler>(symbol)(discardJackMessage);
    }
}

}  // namespace

void setAudioMuted(bool silent) { muted = silent; }

void setSoundCapture(bool on) { capturing = on; }

SoundCaptureRing& capturedSound() { return captureRing; }

bool audioMuted() { return muted; }

bool alsaConfigurationHasPcm() {
    snd_config_t* top = nullptr;
    if (snd_config_update_ref(&top) < 0 || top == nullptr) return false;
    bool found = false;
    snd_config_t* pcm = nullptr;
    if (snd_config_search(top, "pcm", &pcm) == 0 && snd_config_get_type(pcm) == SND_CONFIG_TYPE_COMPOUND) {
        found = snd_config_iterator_first(pcm) != snd_config_iterator_end(pcm);
    }
    snd_config_unref(top);
    return found;
}

void startAudioStream(World& world) {
    // The audio library takes this as its minimum latency in milliseconds.
    setenv("PA_MIN_LATENCY_MSEC", "75", 1);
    snd_lib_error_set_handler(discardAlsaError);
    if (!alsaConfigurationHasPcm()) return;
    silenceJack();

    if (Pa_Initialize() != paNoError) return;
    libraryStarted = true;

    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    if (device == paNoDevice) return;
    PaStreamParameters output{};
    output.device = device;
    output.channelCount = kChannels;
    output.sampleFormat = paFloat32;
    output.suggestedLatency = kSuggestedLatencySeconds;
    output.hostApiSpecificStreamInfo = nullptr;
    if (Pa_OpenStream(&stream, nullptr, &output, static_cast<double>(kSampleRate), kBlockFrames, paNoFlag,
                      audioCallback, &world) != paNoError) {
        stream = nullptr;
        return;
    }
    Pa_StartStream(stream);
}

void stopAudioStream() {
    if (stream != nullptr) {
        // Abort, not stop: stopping plays out what the sound server holds,
        // which can be a second or more, and the game would linger after
        // the player has quit.
        Pa_AbortStream(stream);
        Pa_CloseStream(stream);
        stream = nullptr;
    }
    if (libraryStarted) {
        Pa_Terminate();
        libraryStarted = false;
    }
}

}  // namespace vonkel
