#include "lockstep/run_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vonkel::lockstep {
namespace {

// Two blocks: {clock 5, 512 frames, step 0} and {clock 3 (a wrap of the
// clock), 300 frames, step 2, overlapped}: 00 05 | 0B AC02 FEFFFFFF0F.
const std::string kSmallRun =
    "vonkel-run 1\n"
    "seed 7\n"
    "from lab\n"
    "frames 2\n"
    "key 1 up,z\n"
    "block AAULrAL-____Dw\n"
    "picture AQIDBP____8\n"
    "end\n";

Run smallRun() {
    Run run;
    run.seed = 7;
    run.from = "lab";
    run.frames = 2;
    run.keys = {{1, kKeyUp | kKeyZ}};
    run.blocks = {{5, 512, 0, false}, {3, 300, 2, true}};
    run.pictures = {0x04030201u, 0xFFFFFFFFu};
    return run;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST(RunFile, WritesTheLayoutAndReadsBackEveryRunEqual) {
    EXPECT_EQ(writeRun(smallRun()), kSmallRun);

    lockstep::Run desktop;
    desktop.seed = 4294967295u;
    desktop.from = "desktop vonkel 1.2.0";
    desktop.frames = 100;
    desktop.quit = true;
    desktop.keys = {{0, kKeyRight}, {2, 0x7F}, {99, 0}};
    desktop.blocks = {{4294967290u, 512, 0, true}, {6, 1, 0, false}, {6, 4096, 40, true}, {0, 511, 101, false}};
    for (uint32_t k = 0; k < 100; ++k) desktop.pictures.push_back(k * 0x9E3779B9u);  // several lines
    desktop.sounds = {1, 2, 3, 0xFFFFFFFFu};
    lockstep::Run simulated = desktop;
    simulated.clock = 4000000000u;
    simulated.blocks.clear();
    simulated.sounds = {9, 8, 7, 6, 5};  // as many as the replay renders: not checked here
    simulated.pictures.clear();

    for (const lockstep::Run& run : {smallRun(), desktop, simulated}) {
        const std::string text = writeRun(run);
        lockstep::Run back;
        ASSERT_EQ(readRun(text, back), "") << text;
        EXPECT_EQ(back, run);
        EXPECT_EQ(writeRun(back), text);
    }
    // CR LF line ends, comments and blank lines read the same (up to 'end').
    std::string dressed = "# a run\n\n";
    for (char c : replaced(kSmallRun, "end\n", "")) dressed += c == '\n' ? std::string("\r\n# note\n\n") : std::string(1, c);
    dressed += "end\r\n";
    lockstep::Run back;
    ASSERT_EQ(readRun(dressed, back), "");
    EXPECT_EQ(back, smallRun());
    EXPECT_EQ(runFromText("  desk\ttop \x01 " + std::string(200, 'x')).size(), kMaxRunFromChars);
    EXPECT_EQ(runFromText("  desk\ttop \x01 vonkel "), "desk top ? vonkel");
    EXPECT_EQ(runFromText(" \t"), "unknown");
}

TEST(RunFile, RefusesEveryFlawWithItsLineAndLeavesTheRunAsItWas) {
    const std::pair<std::string, std::string> cases[] = {
        {replaced(kSmallRun, "end\n", ""), "line 8: the run is cut short (no 'end' line)"},
        {"", "line 1: not a vonkel run (no 'vonkel-run' line)"},
        {replaced(kSmallRun, "vonkel-run 1", "vonkel-run 2"), "line 1: this run is version 2; this vonkel reads version 1"},
        {replaced(kSmallRun, "seed 7\n", "seed 7\nspeed 3\n"), "line 3: unknown keyword 'speed'"},
        {replaced(kSmallRun, "seed 7\nfrom lab\n", "from lab\nseed 7\n"),
         "line 3: 'seed' is out of order (vonkel-run, seed, from, clock, frames, quit, key, block, picture, sound, end)"},
        {replaced(kSmallRun, "frames 2\n", "frames 2\nframes 2\n"), "line 5: a second 'frames' line"},
        {replaced(kSmallRun, "from lab\n", ""), "line 4: the run has no 'from' line"},
        {replaced(kSmallRun, "seed 7", "seed 07"), "line 2: bad seed '07' (0 to 4294967295, plain decimal)"},
        {replaced(kSmallRun, "frames 2", "frames 10000001"), "line 4: bad frame count '10000001' (1 to 10000000)"},
        {replaced(kSmallRun, "key 1", "key 2"), "line 5: bad key frame '2' (0 to 1, the run's last frame)"},
        {replaced(kSmallRun, "frames 2\n", "clock 5\nframes 2\n"), "line 7: a run with a clock has no 'block' lines"},
        {replaced(kSmallRun, "AQIDBP", "AQID*P"), "line 7: '*' is not a base64url character"},
        {replaced(kSmallRun, "P____8", "P____9"), "line 7: the base64 text's last character has bits set past its end"},
        {replaced(kSmallRun, "AAULrAL-____Dw", "AAUL"), "line 6: block 1: the schedule ends inside its record"},
        {replaced(kSmallRun, "AAULrAL-____Dw", "____________AgA"), "line 6: block 0: a number over 64 bits"},
        {replaced(kSmallRun, "AAULrAL-____Dw", "EAA"), "line 6: block 0: its step is past the run's last step, 3"},
        {replaced(kSmallRun, "AQIDBP____8", "AQIDBA"), "line 7: 1 picture digests for 2 frames"},
        {replaced(kSmallRun, "end\n", "sound AQIDBA\nend\n"), "line 8: 1 sound digests for 2 blocks"},
        {kSmallRun + "# more\n", "line 9: text after 'end'"},
        {std::string(kMaxRunBytes + 1, '#'), "larger than 16 MiB: not a run this vonkel reads"},
    };
    const lockstep::Run before = smallRun();
    for (const auto& [text, error] : cases) {
        lockstep::Run run = before;
        EXPECT_EQ(readRun(text, run), error);
        EXPECT_EQ(run, before) << error;
    }
}

}  // namespace
}  // namespace vonkel::lockstep
