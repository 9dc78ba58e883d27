#pragma once
// vonkel-lab's entry (runLabProcess) run in a child process, as a shell
// would run the program: its standard output and error are pipes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "tools/lab_commands.h"

namespace vonkel::lab::test {

inline std::string readFd(int fd) {
    std::string text;
    char chunk[1 << 16];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<size_t>(n));
    return text;
}

struct Child {
    pid_t pid = -1;
    int stdoutFd = -1;  // the read end of the child's standard output
    int stderrFd = -1;  // and of its standard error

    std::string output;  // the rest of its standard output, once it has ended
    std::string errors;  // what it said on standard error

    // Takes what it writes until it ends; returns wait()'s raw status.
    int wait() {
        if (stdoutFd >= 0) output = readFd(stdoutFd);
        ::close(stdoutFd);
        int status = 0;
        ::waitpid(pid, &status, 0);
        errors = readFd(stderrFd);
        ::close(stderrFd);
        return status;
    }
};

// Starts runLabProcess(args) in a child whose standard output and error are
// pipes; `prepare` runs in the child first (limits, environment).
inline Child start(const std::vector<std::string>& args, const std::function<void()>& prepare = {}) {
    int out[2], err[2];
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
        if (prepare) prepare();
        ::_exit(runLabProcess(args));
    }
    ::close(out[1]);
    ::close(err[1]);
    return {pid, out[0], err[0], {}, {}};
}

inline int exitStatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace vonkel::lab::test
