#include "desktop/sound/sound_out.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "desktop/clock.h"
#include "desktop/messages.h"
#include "desktop/sound/audio_library.h"
#include "desktop/sound/stream_watch.h"
#include "lockstep/decimal.h"

namespace vonkel {
namespace {

constexpr uint32_t kWatchIntervalMs = 100;

}  // namespace

SoundOut::SoundOut(World& world, SoundRequest request, const Messages& messages)
    : request_(std::move(request)), messages_(messages) {
    shared_->world = &world;
    shared_->muted = request_.mute;
    vonkel::setVolume(*shared_, request_.volume);
    // PortAudio's PulseAudio back end, where it has one, takes this as its
    // minimum latency; set here, before the keeper or any other thread reads
    // the environment.
    setenv("PA_MIN_LATENCY_MSEC", std::to_string(request_.latencyMs).c_str(), 1);
    keeper_ = std::thread([this] { run(); });
}

SoundOut::~SoundOut() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    keeper_.join();
    if (request_.verbose) {
        std::printf("audio: %u output underflows, stream reopened %u times\n", shared_->underflows.load(),
                    reopenings_);
        std::fflush(stdout);
    }
}

std::string SoundOut::waitForStart() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return startKnown_; });
    return unknownDevice_;
}

bool SoundOut::stopRequested(uint32_t waitMs) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return stopping_; });
}

// Opens and starts a stream on the requested device among those there now
// (its index may have changed since the last time), else on the default one.
bool SoundOut::open(const AudioLibrary& library, bool recovering) {
    const std::vector<AudioDevice> devices = library.devices();
    DeviceChoice choice = chooseDevice(devices, request_.device);
    if (choice.outcome != DeviceChoice::Outcome::Found) choice = chooseDevice(devices, "");
    if (choice.outcome != DeviceChoice::Outcome::Found) return false;
    const int latencyMs = recovering ? std::max(request_.latencyMs, kRecoveryLatencyMs) : request_.latencyMs;
    PaStreamParameters output{};
    output.device = choice.index;
    output.channelCount = 1;
    output.sampleFormat = paFloat32;
    output.suggestedLatency = latencyMs / 1000.0;
    if (Pa_OpenStream(&stream_, nullptr, &output, static_cast<double>(kSampleRate), kBlockFrames, paNoFlag,
                      audioCallback, shared_.get()) != paNoError) {
        stream_ = nullptr;
        return false;
    }
    if (Pa_StartStream(stream_) != paNoError) close();
    return stream_ != nullptr;
}

void SoundOut::close() {
    if (stream_ == nullptr) return;
    // Abort, not stop: stopping plays out what the sound server holds, which
    // can be a second or more, and the game would linger after the player
    // has quit. When this returns the callback no longer runs.
    Pa_AbortStream(stream_);
    Pa_CloseStream(stream_);
    stream_ = nullptr;
}

void SoundOut::run() {
    std::optional<AudioLibrary> library(std::in_place);
    std::string unknown;
    if (library->started() && !request_.device.empty() &&
        chooseDevice(library->devices(), request_.device).outcome != DeviceChoice::Outcome::Found) {
        if (request_.deviceFromPlayer) {
            unknown = deviceList(library->devices());
        } else {
            messages_.say("vonkel: the audio device '" + lockstep::printable(request_.device, 80) +
                          "' of the settings is not there; playing on the default one");
            request_.device.clear();
        }
    }
    const bool opened = library->started() && unknown.empty() && open(*library, false);
    {
        std::lock_guard lock(mutex_);
        unknownDevice_ = unknown;
        startKnown_ = true;
    }
    wake_.notify_all();

    // Without a device at the start the game runs silent, as it always did;
    // only a stream that once opened is watched.
    StreamWatch watch;
    watch.started(millisecondClock(), shared_->callbacks, opened);
    while (opened && !stopRequested(kWatchIntervalMs)) {
        if (!watch.check(millisecondClock(), shared_->callbacks)) continue;
        if (watch.attempts() == 1) {
            messages_.say(std::string("vonkel: ") +
                          (watch.playedSinceStart() ? "the sound output stopped for a second"
                                                    : "the sound output did not start within a second") +
                          "; reopening it with a " + std::to_string(std::max(request_.latencyMs, kRecoveryLatencyMs)) +
                          " ms buffer");
        }
        // The library is started afresh, so that a device that came back (a
        // sound server restarted, a card plugged in again) is found.
        close();
        library.reset();
        library.emplace();
        const bool reopened = library->started() && open(*library, true);
        ++reopenings_;
        watch.started(millisecondClock(), shared_->callbacks, reopened);
    }
    close();
}

}  // namespace vonkel
