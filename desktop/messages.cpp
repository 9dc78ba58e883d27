#include "desktop/messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

// Present only in a build with a sanitizer: where its reports go.
extern "C" void __sanitizer_set_report_fd(void* fd) __attribute__((weak));

namespace vonkel {

Messages::Messages() {
    // A descriptor the game was started without is opened on /dev/null: it
    // takes the lowest free number, which is the missing one.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) close(opened);
    }
    own_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (own_ >= 0 && quiet >= 0) dup2(quiet, STDERR_FILENO);
    if (quiet >= 0) close(quiet);
    if (own_ >= 0 && __sanitizer_set_report_fd != nullptr) {
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(own_)));
    }
}

Messages::~Messages() {
    if (own_ < 0) return;
    dup2(own_, STDERR_FILENO);
    if (__sanitizer_set_report_fd != nullptr) {
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(STDERR_FILENO)));
    }
    close(own_);
}

void Messages::say(std::string_view line) const {
    if (own_ < 0) return;
    std::string text(line);
    text += '\n';
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(own_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a reader gone away (SIGPIPE is ignored) or a full disk: the line is dropped
        done += static_cast<size_t>(n);
    }
}

}  // namespace vonkel
