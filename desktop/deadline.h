#pragma once
// A last resort for a step that may wait for ever on another process: a
// display server that went away in the middle of closing the window leaves
// SDL waiting for an event that never comes. While a Deadline lives, a
// thread of its own waits; if the Deadline is not destroyed within its time
// the process ends there, with the given status. Only for the end of the
// program, when nothing is left unsaved on that thread.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vonkel {

class Deadline {
public:
    Deadline(uint32_t ms, int status)
        : thread_([this, ms, status] {
              std::unique_lock lock(mutex_);
              if (!met_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; })) _exit(status);
          }) {}
    ~Deadline() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        met_.notify_all();
        thread_.join();
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable met_;
    bool done_ = false;
    std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace vonkel
