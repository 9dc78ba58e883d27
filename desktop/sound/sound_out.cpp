#include "desktop/sound/sound_out.h"

#include <SDL_system.h>
#include <SDL_thread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "desktop/clock.h"
#include "desktop/messages.h"
#include "desktop/sound/audio_library.h"
#include "desktop/sound/stream_watch.h"
#include "lockstep/decimal.h"

namespace vonkel {
namespace {

constexpr uint32_t kWatchIntervalMs = 100;
constexpr int kRealTimePriority = 4;
constexpr uint32_t kEndingWaitMs = 200;

// The first words of the keeper's line for a reopening.
const char* whatHappened(KeeperAction::Reason reason) {
    switch (reason) {
        case KeeperAction::Reason::DidNotStart: return "the sound output did not start within 3 s";
        case KeeperAction::Reason::Stalled: return "the sound output stopped for 2 s";
        case KeeperAction::Reason::Failed: return "the sound output failed";
        case KeeperAction::Reason::Underflows: return "the sound output kept running dry (3 underflows within 10 s)";
        default: return "the sound output was lost";
    }
}

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
        std::printf("audio: %u output underflows, stream reopened %u times%s\n", shared_->underflows.load(),
                    reopenings_, scheduling_.c_str());
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
bool SoundOut::open(const AudioLibrary& library, int latencyMs) {
    const std::vector<AudioDevice> devices = library.devices();
    DeviceChoice choice = chooseDevice(devices, request_.device);
    if (choice.outcome != DeviceChoice::Outcome::Found) choice = chooseDevice(devices, "");
    if (choice.outcome != DeviceChoice::Outcome::Found) return false;
    PaStreamParameters output{};
    output.device = choice.index;
    output.channelCount = 1;
    output.sampleFormat = paFloat32;
    output.suggestedLatency = latencyMs / 1000.0;
    shared_->thread = 0;
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
    // The stream is ended from inside first: the callback sees `ending` and
    // returns paAbort, and the library's thread leaves by itself, dropping
    // what the sound server holds (the game must not linger after the
    // player has quit). Aborting from outside cancels that thread wherever
    // it is, and a cancel inside ALSA's PulseAudio plugin can leave the
    // plugin's lock taken, so that the close would wait for ever. A stream
    // whose callback does not come within 200 ms (a stalled one) is still
    // aborted. When this returns the callback no longer runs.
    shared_->ending = true;
    const uint32_t since = millisecondClock();
    while (Pa_IsStreamActive(stream_) == 1 && millisecondClock() - since < kEndingWaitMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (Pa_IsStreamActive(stream_) == 1) {
        Pa_AbortStream(stream_);
    } else {
        Pa_StopStream(stream_);  // only joins the thread that has ended
    }
    Pa_CloseStream(stream_);
    stream_ = nullptr;
    shared_->ending = false;
}

// Real-time scheduling for the callback's thread, so that other programs'
// work does not make the sound run dry: directly where the process may
// (root, or a real-time limit), else through rtkit over D-Bus, as desktops
// grant it to their users (SDL speaks to rtkit). Priority 4: above every
// ordinary thread, below the sound servers' own (PulseAudio takes 5).
// Refused, the thread plays at normal priority.
void SoundOut::askRealTime() {
    const int32_t thread = shared_->thread;
    const sched_param wanted{kRealTimePriority};
    if (sched_setscheduler(thread, SCHED_RR, &wanted) != 0) {
        SDL_LinuxSetThreadPriorityAndPolicy(thread, SDL_THREAD_PRIORITY_LOW, SCHED_RR);
    }
    sched_param param{};
    const int policy = sched_getscheduler(thread);
    if ((policy == SCHED_RR || policy == SCHED_FIFO) && sched_getparam(thread, &param) == 0) {
        scheduling_ = "; real-time scheduling (" + std::string(policy == SCHED_RR ? "SCHED_RR" : "SCHED_FIFO") +
                      ", priority " + std::to_string(param.sched_priority) + ")";
    } else {
        scheduling_ = "; real-time scheduling refused (normal priority)";
    }
}

StreamSample SoundOut::sample() const {
    return {millisecondClock(), shared_->callbacks, shared_->underflows,
            stream_ != nullptr && Pa_IsStreamActive(stream_) == 1};
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
    StreamWatch watch(request_.latencyMs, request_.latencyFromPlayer);
    watch.opened(sample(), library->started() && unknown.empty() && open(*library, watch.latencyMs()));
    {
        std::lock_guard lock(mutex_);
        unknownDevice_ = unknown;
        startKnown_ = true;
    }
    wake_.notify_all();
    if (!unknown.empty()) return;

    // Without a device at the start the game runs silently, and says so
    // only once a device appears and plays.
    bool silentSoFar = !watch.open();
    bool asked = false;  // real-time scheduling, for this stream's thread
    while (!stopRequested(kWatchIntervalMs)) {
        const KeeperAction action = watch.check(sample());
        // As soon as the callback's thread is known: a start on a busy
        // machine needs it most.
        if (!asked && shared_->thread != 0) {
            askRealTime();
            asked = true;
        }
        if (silentSoFar && watch.playing()) {
            messages_.say("vonkel: a sound output is there now; playing on it");
            silentSoFar = false;
        }
        if (action.kind == KeeperAction::Kind::None) continue;
        close();
        // A stream that only ran dry is opened again as it was; otherwise the
        // library starts afresh, so that a device that came back (a sound
        // server restarted, a card plugged in again) is found.
        if (action.reason != KeeperAction::Reason::Underflows) {
            library.reset();
            library.emplace();
        }
        const bool opened = library->started() && open(*library, action.latencyMs);
        watch.opened(sample(), opened);
        asked = false;
        if (action.kind != KeeperAction::Kind::Reopen) continue;
        ++reopenings_;
        const std::string buffer = "with a " + std::to_string(action.latencyMs) + " ms buffer";
        messages_.say(std::string("vonkel: ") + whatHappened(action.reason) +
                      (opened ? "; reopened it " : "; trying again every 3 s ") + buffer);
    }
    close();
}

}  // namespace vonkel
