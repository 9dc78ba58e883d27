#include "desktop/stop_signals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace vonkel {
namespace {

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU}) {
        sigaddset(&set, signal);
    }
    return set;
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
    if (!received_ && fd_ >= 0) received_ = read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
    return received_;
}

}  // namespace vonkel
