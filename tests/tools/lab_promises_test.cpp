// What vonkel-lab promises under abuse, one group per promise: outputs are
// judged by where they land, every output is all or nothing, input is read
// within bounds, a stop is prompt, and a message is one harmless line. Each
// case runs the program's entry in a child process.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "lab_child.h"
#include "lab_test_support.h"

namespace vonkel::lab {
namespace {

using namespace std::chrono_literals;
using test::Child;
using test::exitStatusOf;
using test::start;
using test::TempDir;
using Args = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

Args play(const TempDir& dir, Args more) {
    Args args = {"play", "--seed", "1", "--frames", "60"};
    (void)dir;
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Runs to the end: exit status, and exactly one line on standard error that
// holds `what` (or none when `what` is empty).
void expectEnd(const Args& args, int status, const std::string& what, const std::function<void()>& prepare = {}) {
    Child child = start(args, prepare);
    const int raw = child.wait();
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(exitStatusOf(raw), status) << joined << child.errors;
    if (what.empty()) {
        EXPECT_EQ(child.errors, "") << joined;
        return;
    }
    EXPECT_EQ(child.errors.find('\n'), child.errors.size() - 1) << joined << child.errors;
    EXPECT_NE(child.errors.find(what), std::string::npos) << joined << child.errors;
}

// Waits until the run has made a temporary (a hidden file or folder: it is
// under way), at most 60 s.
bool underWay(const TempDir& dir) {
    const auto giveUp = Clock::now() + 60s;
    while (Clock::now() < giveUp) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path(), ec))
            if (entry.path().filename().string().starts_with(".")) return true;
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

TEST(LabPromises, OutputsThatWouldMeetAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    dir.write("keys.txt", "0 right\n");
    dir.write("old.jsonl", "keep");
    ::mkdir(dir.file("d").c_str(), 0755);
    ::link(dir.file("old.jsonl").c_str(), dir.file("hard.wav").c_str());
    const std::string relative = std::filesystem::relative(dir.file("x"), std::filesystem::current_path()).string();
    for (const Args& outputs : std::vector<Args>{
             {"--trace", dir.file("x"), "--wav", dir.file(".") + "/x"},
             {"--trace", relative, "--wav", dir.file("x")},
             {"--trace", dir.file("old.jsonl"), "--wav", dir.file("hard.wav")},
             {"--trace", "-", "--wav", "/dev/stdout"},
             {"--wav", dir.file("v.mkv"), "--video", dir.file("./v.mkv")},
             {"--wav", dir.file("d/frame-000003.png"), "--shots", dir.file("d"), "--every", "1"},
             {"--trace", dir.file("d"), "--shots", dir.file("d"), "--every", "1"},
             {"--keys", dir.file("keys.txt"), "--trace", dir.file("keys.txt")},
             {"--keys", dir.file("keys.txt"), "--run", dir.file("keys.txt")},
             {"--run", dir.file("x"), "--wav", dir.file("x")},
             {"--run", "-", "--video", "-"},
         }) {
        expectEnd(play(dir, outputs), kExitUsage, outputs[0]);
    }
    EXPECT_EQ(dir.list(), (Args{"d", "hard.wav", "keys.txt", "old.jsonl"}));
    EXPECT_TRUE(dir.list("d").empty());
    EXPECT_EQ(dir.read("old.jsonl"), "keep");
    EXPECT_EQ(dir.read("keys.txt"), "0 right\n");
    // The null device takes any number of outputs.
    expectEnd(play(dir, {"--trace", "/dev/null", "--wav", "/dev/null"}), kExitOk, "");
}

TEST(LabPromises, ARunThatFailsOrIsStoppedLeavesEveryOldFileAsItWas) {
    TempDir dir;
    dir.write("old.wav", "a good old file");
    ::symlink("old.wav", dir.file("link.wav").c_str());
    Child child = start({"audio", "--seed", "1", "--seconds", "3600", "--out", dir.file("link.wav")});
    ASSERT_TRUE(underWay(dir));
    ::kill(child.pid, SIGINT);
    const int status = child.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(dir.read("old.wav"), "a good old file");
    EXPECT_EQ(dir.list(), (Args{"link.wav", "old.wav"}));

    // The trace is complete, the sound is not: neither appears (a file size
    // limit makes the WAV fail; it is a write error, status 1).
    const auto limitFiles = [] {
        const rlimit limit{300000, 300000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
    expectEnd({"play", "--seed", "1", "--frames", "200", "--trace", dir.file("t.jsonl"), "--wav", dir.file("w.wav"),
               "--shots", dir.file("new"), "--every", "50"},
              kExitFailure, "File too large", limitFiles);
    EXPECT_EQ(dir.list(), (Args{"link.wav", "old.wav"}));

    // Through the link, the target is replaced whole; the link stays a link.
    expectEnd({"audio", "--seed", "1", "--seconds", "0.1", "--out", dir.file("link.wav")}, kExitOk, "");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.wav")));
    EXPECT_EQ(dir.read("old.wav").substr(0, 4), "RIFF");
    // A name as long as a name can be.
    const std::string longName(250, 'n');
    expectEnd({"audio", "--seed", "1", "--seconds", "0.1", "--out", dir.file(longName + ".wav")}, kExitOk, "");
    EXPECT_EQ(dir.list().size(), 3u);
}

void limitFilesTo100k() {
    const rlimit limit{100000, 100000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

TEST(LabPromises, AFullDiskFailsEveryFormatAndKeepsTheOldFile) {
    TempDir dir;
    for (const std::string format : {"wav", "flac", "ogg", "opus", "mp3"}) {
        dir.write("song." + format, "a good old file");
        expectEnd({"audio", "--seed", "1", "--seconds", "60", "--out", dir.file("song." + format)}, kExitFailure,
                  std::strerror(EFBIG), limitFilesTo100k);
        EXPECT_TRUE(dir.read("song." + format) == "a good old file") << format;
    }
    EXPECT_EQ(dir.list().size(), 5u);
    // Standard output is gathered in a scratch file first (the encoder seeks back).
    Child child = start({"audio", "--seed", "1", "--seconds", "60", "--format", "mp3", "--out", "-"}, [&] {
        ::setenv("TMPDIR", dir.path().c_str(), 1);
        limitFilesTo100k();
    });
    EXPECT_EQ(exitStatusOf(child.wait()), kExitFailure) << child.errors;
    EXPECT_TRUE(child.output.empty()) << child.output.size() << " bytes on standard output";
    EXPECT_NE(child.errors.find("(TMPDIR): " + std::string(std::strerror(EFBIG))), std::string::npos) << child.errors;
    EXPECT_EQ(dir.list().size(), 5u);
}

// Every library's failure comes out in the program's words, on standard
// error alone: standard output may be the sound itself.
TEST(LabPromises, WriteErrorsAreOneLineOfOurOwnOnStandardErrorOnly) {
    if (!std::filesystem::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (const std::string format : {"wav", "flac", "ogg", "opus", "mp3"}) {
        Child child = start({"audio", "--seed", "1", "--seconds", "10", "--format", format, "--out", "/dev/full"});
        EXPECT_EQ(exitStatusOf(child.wait()), kExitFailure) << format;
        EXPECT_TRUE(child.output.empty()) << format << ": " << child.output.substr(0, 80);
        EXPECT_EQ(child.errors, "vonkel-lab: cannot write '/dev/full': " + std::string(std::strerror(ENOSPC)) + "\n");
    }
    TempDir dir;
    for (const std::string name : {"v.mkv", "v.mp4"}) {
        Child child = start({"play", "--seed", "1", "--frames", "600", "--video", dir.file(name)}, limitFilesTo100k);
        EXPECT_EQ(exitStatusOf(child.wait()), kExitFailure) << name;
        EXPECT_EQ(child.errors,
                  "vonkel-lab: cannot write '" + dir.file(name) + "': " + std::strerror(EFBIG) + "\n");
    }
    EXPECT_TRUE(dir.list().empty());
}

// A name the folder cannot hold would fail only when the finished file is
// named: it is refused before the work, as a bad argument.
TEST(LabPromises, NamesTooLongAreRefusedBeforeTheWork) {
    TempDir dir;
    const std::string tooLong(252, 'n');
    expectEnd({"audio", "--seed", "1", "--seconds", "3600", "--out", dir.file(tooLong + ".wav")}, kExitUsage,
              std::strerror(ENAMETOOLONG));
    expectEnd(play(dir, {"--trace", dir.file("t.jsonl"), "--video", dir.file(tooLong + ".mkv")}), kExitUsage,
              "--video");
    // A folder whose path leaves room for a temporary name (and the shots'
    // staging folder) but not for the output's name (or a picture's).
    std::string deep = dir.path().string();
    while (deep.size() + 201 < 4070) deep.append("/").append(200, 'd');
    deep.append("/").append(4070 - deep.size() - 1, 'e');
    std::filesystem::create_directories(deep);
    expectEnd({"audio", "--seed", "1", "--seconds", "3600", "--out", deep + "/" + std::string(40, 'x') + ".wav"},
              kExitUsage, std::strerror(ENAMETOOLONG));
    expectEnd(play(dir, {"--trace", dir.file("t.jsonl"), "--shots", deep + "/s", "--every", "10"}), kExitUsage,
              "--shots");
    EXPECT_TRUE(std::filesystem::is_empty(deep));
    EXPECT_EQ(dir.list().size(), 1u);
}

TEST(LabPromises, StopSignalsOfEveryKindCleanUpAndEndTheRunWithThem) {
    for (int signal : {SIGINT, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1, SIGTERM}) {
        TempDir dir;
        Child child = start({"play", "--seed", "1", "--frames", "10000000", "--trace", dir.file("t.jsonl"), "--wav",
                             dir.file("g.wav"), "--video", dir.file("v.mp4"), "--shots", dir.file("new/s"), "--every", "1"},
                            [] {
                                const rlimit noCore{0, 0};
                                ::setrlimit(RLIMIT_CORE, &noCore);  // SIGQUIT would dump one
                            });
        ASSERT_TRUE(underWay(dir)) << signal;
        ::kill(child.pid, signal);
        const int status = child.wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << " " << status;
        EXPECT_TRUE(dir.list().empty()) << signal << " " << dir.list().front();
    }
}

TEST(LabPromises, InputIsReadWithinBoundsAndAStopIsPromptWhileReading) {
    TempDir dir;
    // Endless input: refused at the limit, with the limit named.
    expectEnd(play(dir, {"--keys", "/dev/zero"}), kExitUsage, "larger than 256 MiB");
    // A bad line at the end of a long script is still found.
    std::string comments(20 << 20, '#');
    for (size_t i = 80; i < comments.size(); i += 81) comments[i] = '\n';
    dir.write("long.txt", comments + "\n0 right\n7 jump\n");
    expectEnd(play(dir, {"--keys", dir.file("long.txt")}), kExitUsage, "line ");

    // A FIFO whose writer sends nothing, and one that has no writer at all:
    // a stop signal ends the run at once.
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (bool writer : {true, false}) {
        const int held = writer ? ::open(fifo.c_str(), O_RDWR) : -1;
        Child child = start(play(dir, {"--keys", fifo, "--trace", dir.file("t.jsonl")}));
        std::this_thread::sleep_for(300ms);
        const auto sent = Clock::now();
        ::kill(child.pid, SIGTERM);
        const int status = child.wait();
        EXPECT_LT(Clock::now() - sent, 200ms) << "writer " << writer;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
        if (held >= 0) ::close(held);
    }
    EXPECT_EQ(dir.list(), (Args{"fifo", "long.txt"}));
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(LabPromises, AScriptTooLargeForMemoryIsAnErrorNotAShortScript) {
    TempDir dir;
    dir.write("huge.txt", std::string(100 << 20, '#') + "\n0 right\n");
    // Room for the program, not for the script.
    const auto limitMemory = [] {
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        const rlimit limit{static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE)) + (60 << 20),
                           static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE)) + (60 << 20)};
        ::setrlimit(RLIMIT_AS, &limit);
    };
    expectEnd(play(dir, {"--keys", dir.file("huge.txt")}), kExitUsage, "not enough memory", limitMemory);
}
#endif

TEST(LabPromises, MessagesAreOneLineWithControlCharactersEscaped) {
    TempDir dir;
    expectEnd({"audio", "--seed", "1", "--seconds", "1", "--out", dir.file("a\nb\x1b[2J/c.wav")}, kExitUsage,
              "a\\nb\\x1b[2J/c.wav");
    ::symlink("missing/x.wav", dir.file("dangling.wav").c_str());
    expectEnd({"audio", "--seed", "1", "--seconds", "1", "--out", dir.file("dangling.wav")}, kExitUsage,
              "(a link to '" + dir.file("missing/x.wav") + "')");
    // A WAV on a pipe is gathered in a scratch file first.
    expectEnd(play(dir, {"--wav", "-"}), kExitUsage, "TMPDIR", [] { ::setenv("TMPDIR", "/nonexistent", 1); });
    EXPECT_EQ(dir.list(), (Args{"dangling.wav"}));
}

}  // namespace
}  // namespace vonkel::lab
