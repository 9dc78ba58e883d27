// vonkel-lab as a process: outputs on standard output, in a FIFO, on a full
// device, and a run stopped by a signal or by its reader going away. Each
// case runs the program's entry (runLabProcess) in a child process.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "lab_child.h"
#include "lab_test_support.h"
#include "tools/lab_commands.h"

namespace vonkel::lab {
namespace {

using test::Child;
using test::exitStatusOf;
using test::readFd;
using test::start;
using test::TempDir;

// The same command written to a regular file, read back.
std::string toFile(std::vector<std::string> args, size_t outputArg, const TempDir& dir) {
    args[outputArg] = dir.file("regular");
    std::ostringstream out, err;
    EXPECT_EQ(runLab(args, out, err), 0) << err.str();
    return dir.read("regular");
}

TEST(LabProcess, DashWritesEachOutputToStandardOutputByteForByte) {
    TempDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {"audio", "--seed", "7", "--seconds", "0.5", "--clock", "99", "--out", "-"},
        // The length of a game is known only at its end: the WAV is spooled.
        {"play", "--seed", "7", "--frames", "40", "--wav", "-"},
        {"play", "--seed", "7", "--frames", "40", "--trace", "-", "--wav", dir.file("side.wav")},
    };
    for (const auto& args : cases) {
        Child child = start(args);
        const std::string streamed = readFd(child.stdoutFd);
        EXPECT_EQ(exitStatusOf(child.wait()), 0) << args[0];
        EXPECT_FALSE(streamed.empty());
        EXPECT_EQ(streamed, toFile(args, args.size() - (args.back() == "-" ? 1 : 3), dir)) << args.back();
    }
    SF_INFO info;
    // Frame 39 starts at 624 ms: blocks 0..53 have started by then.
    EXPECT_EQ(test::readWav(dir.file("side.wav"), info).size(), 54u * 512u);
}

TEST(LabProcess, AFifoIsWrittenInPlace) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> args = {"audio", "--seed", "3", "--seconds", "0.25", "--out", fifo};
    Child child = start(args);
    const int reader = ::open(fifo.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    const std::string streamed = readFd(reader);
    ::close(reader);
    EXPECT_EQ(exitStatusOf(child.wait()), 0);
    EXPECT_EQ(streamed, toFile(args, 6, dir));
    struct stat status {};
    ASSERT_EQ(::lstat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));  // not replaced by a regular file
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"fifo", "regular"}));
}

TEST(LabProcess, AFullDeviceEndsTheRunWithStatusOneAndOneLine) {
    if (!std::filesystem::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"audio", "--seed", "1", "--seconds", "5", "--out", "/dev/full"},
             {"play", "--seed", "1", "--frames", "300", "--trace", "/dev/full"},
             {"play", "--seed", "1", "--frames", "300", "--wav", "/dev/full"},
         }) {
        std::ostringstream out, err;
        EXPECT_EQ(runLab(args, out, err), kExitFailure) << args.back();
        EXPECT_EQ(err.str(), "vonkel-lab: cannot write '/dev/full': " + std::string(std::strerror(ENOSPC)) + "\n");
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
}

TEST(LabProcess, AReaderThatGoesAwayStopsTheRunLikeASignal) {
    TempDir dir;
    Child child = start({"play", "--seed", "1", "--frames", "10000000", "--trace", "-", "--wav", dir.file("g.wav")});
    char first[1];
    ASSERT_EQ(::read(child.stdoutFd, first, 1), 1);  // the trace is flowing
    ::close(std::exchange(child.stdoutFd, -1));
    const int status = child.wait();
    EXPECT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGPIPE);
    EXPECT_TRUE(dir.list().empty()) << dir.list().front();
}

}  // namespace
}  // namespace vonkel::lab
