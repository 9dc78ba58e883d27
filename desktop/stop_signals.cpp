#include "desktop/stop_signals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace vonkel {
namespace {

sigset_t setOf(std::initializer_list<int> signals) {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : signals) sigaddset(&set, signal);
    return set;
}

sigset_t stopSet() {
    return setOf({SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU});
}

}  // namespace

StopSignals::StopSignals() {
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

StopSignals::~StopSignals() {
    if (fd_ >= 0) close(fd_);
}

bool StopSignals::received() {
    signalfd_siginfo info{};
    if (received_ || fd_ < 0 || read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return received_;
    received_ = true;
    // The orderly end has begun. Whatever else was already waiting belongs
    // to it. After this, a signal a person sends to mean "now" (Ctrl-C,
    // Ctrl-\, kill) ends the process at once, the default way, so that a
    // shutdown that hangs (a sound server that stopped answering) still
    // yields. A second SIGHUP does not: a closing terminal can send two,
    // and the clip being finished must survive them.
    while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    const sigset_t now = setOf({SIGINT, SIGTERM, SIGQUIT});
    pthread_sigmask(SIG_UNBLOCK, &now, nullptr);
    return true;
}

}  // namespace vonkel
