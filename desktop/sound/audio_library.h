#pragma once
// The audio library (PortAudio over ALSA) while one of these lives: started
// with its own and ALSA's messages silenced, its output devices listed. The
// library is one per process: keep one AudioLibrary at a time, on one thread.
#include <vector>

#include "desktop/sound/device_choice.h"

namespace vonkel {

class AudioLibrary {
public:
    // Starts the library, unless there is nothing to start: no ALSA
    // configuration with a PCM (the library would abort inside its
    // initialisation), or the library refuses.
    AudioLibrary();
    ~AudioLibrary();
    AudioLibrary(const AudioLibrary&) = delete;
    AudioLibrary& operator=(const AudioLibrary&) = delete;

    bool started() const { return started_; }

    // The devices that can play, in the library's order, the default marked;
    // none when it did not start.
    std::vector<AudioDevice> devices() const;

private:
    bool started_ = false;
};

}  // namespace vonkel
