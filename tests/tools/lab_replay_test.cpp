// `play --run` and `replay`: a run written by play replays to the very same
// outputs, a run that differs is found where it differs, a bad run writes
// nothing, and a desktop run is judged with the allowance of its two threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "lab_child.h"
#include "lab_test_support.h"
#include "lockstep/digests.h"
#include "lockstep/key_script.h"
#include "lockstep/run_file.h"
#include "lockstep/run_recorder.h"
#include "lockstep/simulated_run.h"
#include "tools/lab_commands.h"

namespace vonkel::lab {
namespace {

using test::TempDir;
using Args = std::vector<std::string>;

struct LabResult {
    int status;
    std::string out;
    std::string err;
};

LabResult lab(const Args& args) {
    std::ostringstream out, err;
    const int status = runLab(args, out, err);
    return {status, out.str(), err.str()};
}

// Right, boost, left, down, then Escape: the scope view from frame 400,
// which quits when Escape is held on (unless released at 430).
const char* const kKeys = "0 right\n40 up,z\n90 left\n150 down,enter\n260 -\n400 escape\n";

lockstep::Run runOf(const std::string& text) {
    lockstep::Run run;
    EXPECT_EQ(lockstep::readRun(text, run), "");
    return run;
}

TEST(LabReplay, ReplaysTheRunOfPlayToTheSameOutputs) {
    TempDir dir;
    dir.write("keys.txt", kKeys);
    const auto outputs = [&](const std::string& prefix) {
        return Args{"--trace", dir.file(prefix + ".jsonl"), "--wav", dir.file(prefix + ".wav"),
                    "--shots", dir.file(prefix), "--every", "37"};
    };
    Args play = {"play", "--seed", "31", "--clock", "4294960000", "--frames", "600", "--keys", dir.file("keys.txt"),
                 "--run", dir.file("game.vonkelrun")};
    for (const std::string& a : outputs("p")) play.push_back(a);
    ASSERT_EQ(lab(play).status, 0);
    const lockstep::Run run = runOf(dir.read("game.vonkelrun"));
    EXPECT_EQ(run.frames, 432);  // Escape held from frame 400 quits in frame 431
    EXPECT_TRUE(run.quit);
    EXPECT_EQ(run.from, "lab");

    Args replay = {"replay", dir.file("game.vonkelrun")};
    for (const std::string& a : outputs("r")) replay.push_back(a);
    const LabResult r = lab(replay);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "pictures equal 432 of 432, sound blocks equal 619 of 619; no difference\n");
    EXPECT_TRUE(dir.read("r.jsonl") == dir.read("p.jsonl"));
    EXPECT_TRUE(dir.read("r.wav") == dir.read("p.wav"));
    EXPECT_EQ(dir.list("r"), dir.list("p"));
    EXPECT_EQ(dir.list("r").size(), 12u);  // frames 0, 37, ... 407
    for (const std::string& shot : dir.list("p")) EXPECT_TRUE(dir.read("p/" + shot) == dir.read("r/" + shot)) << shot;

    // From standard input, with the trace on standard output: the line goes
    // to standard error.
    test::Child child = test::start({"replay", "-", "--trace", "-"}, [&] {
        if (std::freopen(dir.file("game.vonkelrun").c_str(), "r", stdin) == nullptr) ::_exit(99);
    });
    EXPECT_EQ(test::exitStatusOf(child.wait()), 0);
    EXPECT_TRUE(child.output == dir.read("p.jsonl"));
    EXPECT_EQ(child.errors, r.out);
    // Standard input is the run: no output may replace it.
    child = test::start({"replay", "-", "--wav", dir.file("game.vonkelrun")}, [&] {
        if (std::freopen(dir.file("game.vonkelrun").c_str(), "r", stdin) == nullptr) ::_exit(99);
    });
    EXPECT_EQ(test::exitStatusOf(child.wait()), 2);
    EXPECT_NE(child.errors.find("is the run that replay reads"), std::string::npos) << child.errors;
}

TEST(LabReplay, AKeyOneFrameLaterIsADifferenceAtThatFrameAndTheOutputsAreStillWritten) {
    TempDir dir;
    dir.write("keys.txt", kKeys);
    ASSERT_EQ(lab({"play", "--seed", "5", "--frames", "300", "--keys", dir.file("keys.txt"), "--run",
                   dir.file("a.vonkelrun")})
                  .status,
              0);
    std::string text = dir.read("a.vonkelrun");
    const size_t at = text.find("\nkey 90 left\n");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 13, "\nkey 91 left\n");
    dir.write("b.vonkelrun", text);
    const LabResult r = lab({"replay", dir.file("b.vonkelrun"), "--trace", dir.file("b.jsonl")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("; first difference: frame 90\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
    const std::string trace = dir.read("b.jsonl");
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 300);
}

TEST(LabReplay, BadRunsAreRefusedWithOneLineAndNothingIsWritten) {
    TempDir dir;
    ASSERT_EQ(lab({"play", "--seed", "5", "--frames", "100", "--run", dir.file("good.vonkelrun")}).status, 0);
    const std::string good = dir.read("good.vonkelrun");
    std::string version2 = good;
    version2.replace(0, 12, "vonkel-run 2");
    std::string big = "vonkel-run 1\n";
    big.resize(lockstep::kMaxRunBytes + 1, '#');
    dir.write("cut.vonkelrun", good.substr(0, good.size() - 200));
    dir.write("v2.vonkelrun", version2);
    dir.write("garbage.vonkelrun", "\x7f" "ELF\x02\x01\x01");
    dir.write("big.vonkelrun", big);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"cut.vonkelrun", "RUN '" + dir.file("cut.vonkelrun") + "' line "},
        {"v2.vonkelrun", "RUN '" + dir.file("v2.vonkelrun") + "' line 1: this run is version 2"},
        {"garbage.vonkelrun", "RUN '" + dir.file("garbage.vonkelrun") + "' line 1: "},
        {"big.vonkelrun", "RUN: '" + dir.file("big.vonkelrun") + "' is larger than 16 MiB"},
        {"none.vonkelrun", "RUN: cannot read '" + dir.file("none.vonkelrun") + "'"},
    };
    for (const auto& [name, message] : cases) {
        const LabResult r = lab({"replay", dir.file(name), "--trace", dir.file("t.jsonl"), "--wav", dir.file("a.wav"),
                                 "--shots", dir.file("s"), "--every", "1"});
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_EQ(r.out, "") << name;
        EXPECT_EQ(r.err.rfind("vonkel-lab: " + message, 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(dir.list(), (Args{"big.vonkelrun", "cut.vonkelrun", "garbage.vonkelrun", "good.vonkelrun", "v2.vonkelrun"}));

    // The run is no output's place.
    const LabResult r = lab({"replay", dir.file("good.vonkelrun"), "--wav", dir.file("./good.vonkelrun")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("is the run that replay reads"), std::string::npos) << r.err;
    EXPECT_TRUE(dir.read("good.vonkelrun") == good);
}

// The game of `play --seed 9 --keys kKeys` recorded as the desktop game
// records it: each block with the steps completed when it began (none
// overlapping a step, though block `overlapped` is marked so).
std::string desktopRun(int64_t frames, int64_t overlapped) {
    lockstep::KeysScript script;
    EXPECT_EQ(lockstep::parseKeysScript(kKeys, script), "");
    lockstep::RunRecorder recorder(9, std::nullopt);
    const lockstep::SimulatedRun* game = nullptr;
    lockstep::SimulatedRun run(9, 0, [&](const lockstep::RenderedBlock& block) {
        recorder.block(block.clockMs, kBlockFrames, game->clock().frameIndex() + 1, block.index == overlapped,
                       lockstep::soundDigest32(block.samples));
    });
    game = &run;
    run.start();
    for (int64_t f = 0; f < frames; ++f) {
        const bool goOn = run.playFrame(script.stateAt(f));
        recorder.frame(script.keysAt(f), lockstep::pictureDigest32(run.world()), !goOn);
    }
    return recorder.text("desktop vonkel test");
}

TEST(LabReplay, ADesktopRunMayDifferInTheScopeViewAndInOverlappedBlocksUnlessStrict) {
    TempDir dir;
    dir.write("keys.txt", kKeys);
    dir.write("desktop.vonkelrun", desktopRun(420, 100));
    ASSERT_EQ(lab({"play", "--seed", "9", "--frames", "420", "--keys", dir.file("keys.txt"), "--trace",
                   dir.file("p.jsonl"), "--wav", dir.file("p.wav"), "--run", dir.file("lab.vonkelrun")})
                  .status,
              0);
    LabResult r = lab({"replay", dir.file("desktop.vonkelrun"), "--trace", dir.file("d.jsonl"), "--wav",
                       dir.file("d.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "pictures equal 420 of 420, sound blocks equal 593 of 593 (1 block rendered while a frame ran); no "
              "difference\n");
    // Frames on the simulated frame clock, every block in order: the game of play.
    EXPECT_TRUE(dir.read("d.jsonl") == dir.read("p.jsonl"));
    EXPECT_TRUE(dir.read("d.wav") == dir.read("p.wav"));

    // A picture of the scope view (frame 410) differs, and in the desktop
    // run the overlapped block too: a desktop run matches, unless --strict;
    // a lab run never does.
    for (const bool desktop : {true, false}) {
        lockstep::Run run = runOf(dir.read(desktop ? "desktop.vonkelrun" : "lab.vonkelrun"));
        run.pictures[410] ^= 1;
        if (desktop) run.sounds[100] ^= 1;
        dir.write("changed.vonkelrun", lockstep::writeRun(run));
        r = lab({"replay", dir.file("changed.vonkelrun")});
        EXPECT_EQ(r.status, desktop ? 0 : 1) << r.out;
        EXPECT_EQ(r.out.rfind("pictures equal 419 of 420 (1 differing in the scope view), sound blocks equal " +
                                  std::string(desktop ? "592" : "593") + " of 593",
                              0),
                  0u)
            << r.out;
        EXPECT_EQ(lab({"replay", dir.file("changed.vonkelrun"), "--strict"}).status, 1) << desktop;
        // Outside the scope view a picture never differs.
        run.pictures[410] ^= 1;
        run.pictures[399] ^= 1;
        dir.write("changed.vonkelrun", lockstep::writeRun(run));
        r = lab({"replay", dir.file("changed.vonkelrun")});
        EXPECT_EQ(r.status, 1) << desktop;
        EXPECT_NE(r.out.find("pictures equal 419 of 420, "), std::string::npos) << r.out;
    }
}

TEST(LabReplay, ARunWithoutDigestsChecksOnlyWhereTheGameEnds) {
    TempDir dir;
    dir.write("short.vonkelrun", "vonkel-run 1\nseed 3\nfrom lab\nclock 0\nframes 40\nkey 0 escape\nend\n");
    dir.write("long.vonkelrun", "vonkel-run 1\nseed 3\nfrom lab\nclock 0\nframes 40\nkey 0 escape\nkey 20 -\nend\n");
    LabResult r = lab({"replay", dir.file("short.vonkelrun"), "--strict"});
    EXPECT_EQ(r.status, 1);  // Escape held quits in frame 31
    EXPECT_EQ(r.out, "no digests to check; first difference: frame 31: the game quit\n");
    r = lab({"replay", dir.file("long.vonkelrun"), "--strict"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "no digests to check\n");
}

}  // namespace
}  // namespace vonkel::lab
