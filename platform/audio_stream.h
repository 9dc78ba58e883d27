#pragma once
// The audio output: one mono stream of 32-bit float samples at 44100 Hz in
// blocks of 512 frames, whose callback renders the World's synthesiser.
//
// Without a usable output device the stream is simply not there and the game
// runs silent; nothing is printed either way.
#include <cstdint>

#include "core/world.h"
#include "platform/spsc_ring.h"

namespace vonkel {

// Requests a 75 ms minimum latency from the audio library, starts it and
// opens and starts the default output stream. From here on the callback may
// run at any time on the library's own thread.
void startAudioStream(World& world);

// Stops the stream at once (what is queued is not played out), closes it and
// shuts the audio library down, in that order. When this returns the
// callback is no longer running. Safe to call when nothing was started.
void stopAudioStream();

// Mute: the callback renders every block as before and then replaces the
// samples it hands to the device by silence. Any thread, at any time.
void setAudioMuted(bool silent);
bool audioMuted();

// Whether the ALSA configuration defines any PCM at all. The audio library
// aborts inside its initialisation when it finds none, so the stream is not
// even tried then.
bool alsaConfigurationHasPcm();

// The sound of the game as a clip keeps it: the callback's samples after the
// master gain, before mute, one record per block of up to 512 frames.
struct CapturedSound {
    uint64_t sequence;  // counts every block the callback renders
    uint32_t clockMs;   // the millisecond clock the block was rendered at
    int32_t frames;
    float samples[kBlockFrames];
};
using SoundCaptureRing = SpscRing<CapturedSound, 256>;  // about 3 s

// While on, the callback copies each block it renders into the ring; when
// the ring is full the block is dropped, its sequence number left out.
void setSoundCapture(bool on);
SoundCaptureRing& capturedSound();

}  // namespace vonkel
