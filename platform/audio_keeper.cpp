#include "platform/audio_keeper.h"

#include <algorithm>
#include <chrono>

#include "platform/audio_library.h"
#include "platform/audio_stream.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/stream_watch.h"

namespace vonkel {

namespace {

constexpr uint32_t kWatchIntervalMs = 100;

}  // namespace

void AudioKeeper::start(World& world, AudioRequest request) {
    if (thread_.joinable()) return;
    world_ = &world;
    request_ = std::move(request);
    thread_ = std::thread([this] { run(); });
}

AudioStart AudioKeeper::waitForStart() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return startKnown_ || !thread_.joinable(); });
    return start_;
}

void AudioKeeper::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool AudioKeeper::stopRequested(uint32_t waitMs) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return stopping_; });
}

// Picks the requested device among those there now (its index may have
// changed since the last time), else the default one, and opens it.
bool AudioKeeper::openChosen(bool recovering) {
    const std::vector<AudioDevice> devices = listOutputDevices();
    DeviceChoice choice = chooseDevice(devices, request_.device);
    if (choice.outcome != DeviceChoice::Outcome::Found) choice = chooseDevice(devices, "");
    if (choice.outcome != DeviceChoice::Outcome::Found) return false;
    const int latencyMs = recovering ? std::max(request_.latencyMs, kRecoveryLatencyMs) : request_.latencyMs;
    return openAudioStream(*world_, choice.index, latencyMs / 1000.0);
}

void AudioKeeper::run() {
    AudioStart start;
    const bool library = startAudioLibrary();
    if (library && !request_.device.empty()) {
        const std::vector<AudioDevice> devices = listOutputDevices();
        if (chooseDevice(devices, request_.device).outcome != DeviceChoice::Outcome::Found) {
            if (request_.deviceFromPlayer) {
                start.outcome = AudioStart::Outcome::UnknownDevice;
                start.devices = deviceList(devices);
            } else {
                sayLine("vonkel: the audio device '" + printableText(request_.device, 80) +
                        "' of the settings is not there; playing on the default one");
                request_.device.clear();
            }
        }
    }
    const bool open = library && start.outcome != AudioStart::Outcome::UnknownDevice && openChosen(false);
    if (open) start.outcome = AudioStart::Outcome::Playing;
    {
        std::lock_guard lock(mutex_);
        start_ = start;
        startKnown_ = true;
    }
    wake_.notify_all();

    // Without a device at the start the game runs silent, as it always did;
    // only a stream that once opened is watched.
    StreamWatch watch;
    watch.started(millisecondClock(), audioCallbackCount(), open);
    while (open && !stopRequested(kWatchIntervalMs)) {
        if (!watch.check(millisecondClock(), audioCallbackCount())) continue;
        if (watch.attempts() == 1) {
            sayLine(std::string("vonkel: ") +
                    (watch.playedSinceStart() ? "the sound output stopped for a second"
                                              : "the sound output did not start within a second") +
                    "; reopening it with a " + std::to_string(std::max(request_.latencyMs, kRecoveryLatencyMs)) +
                    " ms buffer");
        }
        // The library is started afresh, so that a device that came back
        // (a sound server restarted, a card plugged in again) is found.
        closeAudioStream();
        stopAudioLibrary();
        const bool reopened = startAudioLibrary() && openChosen(true);
        ++reopenings_;
        watch.started(millisecondClock(), audioCallbackCount(), reopened);
    }
    closeAudioStream();
    stopAudioLibrary();
}

}  // namespace vonkel
