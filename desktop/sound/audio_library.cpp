#include "desktop/sound/audio_library.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <portaudio.h>

#include <initializer_list>

namespace vonkel {
namespace {

// ALSA reports its errors on stderr unless told otherwise.
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

}  // namespace

AudioLibrary::AudioLibrary() {
    snd_lib_error_set_handler(discardAlsaError);
    if (!alsaConfigurationHasPcm()) return;
    silenceJack();
    started_ = Pa_Initialize() == paNoError;
}

AudioLibrary::~AudioLibrary() {
    if (started_) Pa_Terminate();
}

std::vector<AudioDevice> AudioLibrary::devices() const {
    std::vector<AudioDevice> devices;
    if (!started_) return devices;
    const PaDeviceIndex defaultDevice = Pa_GetDefaultOutputDevice();
    for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info == nullptr || info->maxOutputChannels < 1) continue;
        const PaHostApiInfo* host = Pa_GetHostApiInfo(info->hostApi);
        devices.push_back({i, host != nullptr && host->name != nullptr ? host->name : "?",
                           info->name != nullptr ? info->name : "", info->defaultSampleRate, i == defaultDevice});
    }
    return devices;
}

}  // namespace vonkel
