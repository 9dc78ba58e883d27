#pragma once
// The audio library (PortAudio over ALSA) as the game uses it: started
// quietly, its output devices listed. Call from one thread at a time.
#include <vector>

#include "platform/audio_device_choice.h"

namespace vonkel {

// Starts the audio library with its and ALSA's messages silenced (the game
// prints nothing, also on a machine without a sound card). False when there
// is nothing to start: no ALSA configuration with a PCM, or the library
// refuses.
bool startAudioLibrary();

// Shuts the library down; every stream must be closed. Safe to call when it
// is not started.
void stopAudioLibrary();

// The devices that can play, in the library's order, the default marked.
// Empty when the library is not started.
std::vector<AudioDevice> listOutputDevices();

// Whether the ALSA configuration defines any PCM at all. The audio library
// aborts inside its initialisation when it finds none, so it is not even
// started then.
bool alsaConfigurationHasPcm();

}  // namespace vonkel
