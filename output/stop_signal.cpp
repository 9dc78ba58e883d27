#include "output/stop_signal.h"

#include <csignal>

namespace vonkel::output {
namespace {

constexpr int kStopSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGPIPE, SIGALRM,
                                SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU};

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void noteStopSignal(int signal) { gStopSignal = signal; }

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kStopSignals) sigaddset(&set, signal);
    return set;
}

}  // namespace

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
}

int stopSignal() { return gStopSignal; }

void endByStopSignal() {
    const int signal = gStopSignal;
    if (signal == 0) return;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

StopSignalsHeld::StopSignalsHeld() {
    const sigset_t set = stopSet();
    sigprocmask(SIG_BLOCK, &set, &saved_);
}

StopSignalsHeld::~StopSignalsHeld() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

}  // namespace vonkel::output
