#pragma once
// The sound out: the audio library, the output device, the stream and its
// callback, the player's level and mute, and the clip's tap on the sound.
//
// A keeper thread of its own starts the library (which probes every device:
// a few hundred milliseconds, spent while the window opens), picks the
// device, opens the stream, asks real-time scheduling for the callback's
// thread where the system grants it, and watches the stream while the game
// runs (stream_watch.h): one that stopped, did not start or runs dry is
// reopened, and the keeper says so in one line on stderr. Without a device
// the game runs silently and the keeper keeps looking for one. Everything
// here may be called from the main thread at any time.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "desktop/sound/sound_callback.h"
#include "desktop/sound/stream_watch.h"

namespace vonkel {

class AudioLibrary;
class Messages;
struct World;

struct SoundRequest {
    std::string device;             // index, name or part of a name; empty: the default device
    bool deviceFromPlayer = false;  // named on the command line: an unknown one is an error
    int latencyMs = 75;             // the stream's suggested latency
    bool latencyFromPlayer = false; // --audio-latency: kept whatever happens
    int volume = 100;
    bool mute = false;
    bool verbose = false;           // report the underflows and reopenings at the end
};

class SoundOut {
public:
    // Starts the keeper; the callback may render `world` at any time from
    // then on, first the all-zero World, which is silent.
    SoundOut(World& world, SoundRequest request, const Messages& messages);
    // Closes the stream, shuts the library down and ends the keeper: the
    // callback no longer runs. With `verbose`, one line on stdout.
    ~SoundOut();
    SoundOut(const SoundOut&) = delete;
    SoundOut& operator=(const SoundOut&) = delete;

    // Waits until the device has been picked and the stream tried: empty,
    // or, when the player named a device that is not there, the list of the
    // devices there are, one per line.
    std::string waitForStart();

    void setMuted(bool muted) { shared_->muted = muted; }
    bool muted() const { return shared_->muted; }
    void setVolume(int level) { vonkel::setVolume(*shared_, level); }
    int volume() const { return shared_->volume; }
    ClipTap& clipTap() { return shared_->clip; }
    RunTap& runTap() { return shared_->run; }

private:
    void run();
    bool open(const AudioLibrary& library, int latencyMs);
    void close();
    bool stopRequested(uint32_t waitMs);
    void askRealTime();
    StreamSample sample() const;

    std::unique_ptr<CallbackShared> shared_ = std::make_unique<CallbackShared>();
    SoundRequest request_;
    const Messages& messages_;
    PaStream* stream_ = nullptr;  // the keeper thread's
    uint32_t reopenings_ = 0; // the keeper's; read after it ended
    std::string scheduling_;  // the keeper's: what the callback's thread got
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool startKnown_ = false;
    std::string unknownDevice_;  // the device list, when the player's device is not there
    std::thread keeper_;         // last: it starts once everything above is made
};

}  // namespace vonkel
