#pragma once
// The signals that end the game the orderly way, as a close of its window
// does: SIGINT, SIGTERM, SIGHUP (the terminal went away), SIGQUIT, SIGUSR1,
// SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF and SIGXCPU. A clip that is
// recording is finished and the settings are saved.
//
// While a StopSignals lives they are blocked in every thread, and the frame
// loop asks for them through a signal descriptor once a frame: no handler
// runs, and no system call of another thread (a file write, the audio
// library's wait) is cut short by them. Make it before any thread starts.
// Once the frame loop has taken one, a SIGINT, SIGTERM or SIGQUIT ends the
// game at once.
namespace vonkel {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Whether one of them has arrived (never waits). The first time it is
    // true, SIGINT, SIGTERM and SIGQUIT are unblocked on the calling thread:
    // the next of them ends the process the default way.
    bool received();

private:
    int fd_ = -1;
    bool received_ = false;
};

}  // namespace vonkel
