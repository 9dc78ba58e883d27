#pragma once
// The audio keeper: a thread of its own that starts the audio library,
// picks the output device, opens the stream, and watches it while the game
// runs. A stream that goes quiet for a second is reopened with a larger
// buffer (platform/stream_watch.h), and the keeper says so in one line on
// stderr: the one thing the game prints unasked.
//
// Starting the library probes every device, which can take a few hundred
// milliseconds; on this thread that happens while the window opens.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace vonkel {

struct World;

struct AudioRequest {
    std::string device;           // index, name or part of a name; empty: the default device
    bool deviceFromPlayer = false; // named on the command line: an unknown one is an error
    int latencyMs = 75;           // the stream's suggested latency
};

struct AudioStart {
    enum class Outcome { Playing, Silent, UnknownDevice };
    Outcome outcome = Outcome::Silent;
    std::string devices;  // for UnknownDevice: the list of devices, one per line
};

class AudioKeeper {
public:
    AudioKeeper() = default;
    ~AudioKeeper() { stop(); }
    AudioKeeper(const AudioKeeper&) = delete;
    AudioKeeper& operator=(const AudioKeeper&) = delete;

    // Starts the thread; the callback may run at any time from then on.
    void start(World& world, AudioRequest request);

    // Waits until the device has been picked and the stream tried.
    AudioStart waitForStart();

    // Closes the stream, shuts the library down and ends the thread. When
    // this returns the callback is no longer running. Safe to call twice.
    void stop();

    // Times the stream was opened again after going quiet.
    uint32_t reopenings() const { return reopenings_; }

private:
    void run();
    bool openChosen(bool recovering);
    bool stopRequested(uint32_t waitMs);

    World* world_ = nullptr;
    AudioRequest request_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool startKnown_ = false;
    AudioStart start_;
    uint32_t reopenings_ = 0;  // written by the keeper's thread, read after stop()
};

}  // namespace vonkel
