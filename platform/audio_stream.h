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

namespace vonkel {

struct World;

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

// The function the audio library calls for each block, on its own thread:
// renders, then applies the level, then the mute, and counts. It never
// blocks, allocates, locks or does I/O. userData is the World.
int audioCallback(const void* input, void* output, unsigned long frameCount,
                  const PaStreamCallbackTimeInfo* timeInfo, PaStreamCallbackFlags statusFlags, void* userData);

}  // namespace vonkel
