#pragma once
// The audio output: one mono stream of 32-bit float samples at 44100 Hz in
// blocks of 512 frames, whose callback renders the World's synthesiser and
// then applies the player's volume and mute.
//
// The stream is opened, watched and reopened by the audio keeper
// (platform/audio_keeper.h) on a thread of its own; the level, mute and the
// counters below are shared with the callback through relaxed atomics and
// may be used from any thread at any time.
#include <portaudio.h>

#include <cstdint>

#include "core/world.h"
#include "platform/spsc_ring.h"

namespace vonkel {

// Opens and starts an output stream on `device` with the suggested latency,
// rendering `world`. False, with nothing left open, when the device refuses.
// Only one stream is open at a time; call closeAudioStream first.
bool openAudioStream(World& world, PaDeviceIndex device, double latencySeconds);

// Stops the stream at once (what is queued is not played out) and closes it.
// When this returns the callback is no longer running. Safe to call when no
// stream is open.
void closeAudioStream();

// Mute: the callback renders every block as before and then replaces the
// samples it hands to the device by silence.
void setAudioMuted(bool silent);
bool audioMuted();

// The player's level, 0..100; 100 leaves the samples as the synthesiser made
// them. The samples are scaled by (level / 100) squared, so that each step
// of ten sounds about as large as the last.
void setAudioVolume(int level);
int audioVolume();

// How many times the callback has run, and in how many of them the device
// reported an output underflow (a gap in the sound). Counted since start.
uint32_t audioCallbackCount();
uint32_t audioUnderflowCount();

// The sound of the game as a clip keeps it: the callback's samples after the
// master gain, before the player's level and mute, one record per block of
// up to 512 frames.
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

// The function the audio library calls for each block, on its own thread:
// renders, copies the block for a clip that records, then applies the
// level, then the mute, and counts. It never blocks, allocates, locks or
// does I/O. userData is the World.
int audioCallback(const void* input, void* output, unsigned long frameCount,
                  const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags statusFlags, void* userData);

}  // namespace vonkel
