#include "tools/stop_signal.h"

#include <csignal>

namespace vonkel::lab {
namespace {

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void noteStopSignal(int signal) { gStopSignal = signal; }

}  // namespace

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = noteStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader that goes away (`vonkel-lab play --trace - ... | head`) stops
    // the run the same way, instead of killing it with its files in place.
    sigaction(SIGPIPE, &action, nullptr);
}

int stopSignal() { return gStopSignal; }

void endByStopSignal() {
    const int signal = gStopSignal;
    if (signal == 0) return;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace vonkel::lab
