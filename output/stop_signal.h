#pragma once
// Signals that end a run early but cleanly: SIGINT, SIGTERM, SIGHUP (the
// terminal went away), SIGQUIT, SIGPIPE (a reader went away), SIGALRM,
// SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF and SIGXCPU. The handler only notes
// the signal; reads, writes and the run loops see it, stop, and remove their
// temporary files on the way out; the process then ends as killed by that
// signal, so a shell sees 130, 143 and so on. SIGXFSZ (a file size limit)
// is ignored, so that the write that crosses the limit fails with EFBIG and
// ends the run as a write error.
#include <csignal>

namespace vonkel::output {

// Installs the handler (without SA_RESTART, so a blocked open, read or write
// returns and the run can stop).
void catchStopSignals();
// The signal received, or 0.
int stopSignal();
// If a stop signal arrived, ends the process with it; otherwise returns.
void endByStopSignal();

// While one lives, the stop signals wait: the outputs of a run are given
// their names all together, not some of them.
class StopSignalsHeld {
public:
    StopSignalsHeld();
    ~StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    sigset_t saved_;  // the signal mask before
};

}  // namespace vonkel::output
