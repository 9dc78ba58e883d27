#include "tools/lab_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace vonkel::lab {
namespace {

struct Outcome {
    ParsedArguments parsed;
    std::string out;
    std::string err;
};

Outcome parse(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    Outcome o;
    o.parsed = parseLabArguments(args, out, err);
    o.out = out.str();
    o.err = err.str();
    return o;
}

// A usage error: nothing to run, status 2, and exactly one line on stderr
// that mentions `what`.
void expectUsageError(const std::vector<std::string>& args, const std::string& what) {
    const Outcome o = parse(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_FALSE(o.parsed.options.has_value()) << joined;
    EXPECT_EQ(o.parsed.exitCode, kExitUsage) << joined;
    EXPECT_EQ(o.out, "") << joined;
    ASSERT_FALSE(o.err.empty()) << joined;
    EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << joined << ": " << o.err;
    EXPECT_NE(o.err.find(what), std::string::npos) << joined << ": " << o.err;
}

TEST(ReadNumbers, Unsigned32IsPlainDecimal) {
    EXPECT_EQ(readUnsigned32("0"), 0u);
    EXPECT_EQ(readUnsigned32("4294967295"), 4294967295u);
    EXPECT_EQ(readUnsigned32("010"), 10u);  // decimal, never octal
    for (const char* bad :
         {"4294967296", "-1", "-0x1", "0x10", "+5", " 5", "5 ", "", "1e3", "99999999999999999999999999999"})
        EXPECT_FALSE(readUnsigned32(bad)) << bad;
}

TEST(ReadNumbers, IntegerRespectsItsRange) {
    EXPECT_EQ(readInteger("1", 1, 10), 1);
    EXPECT_EQ(readInteger("10", 1, 10), 10);
    EXPECT_FALSE(readInteger("0", 1, 10));
    EXPECT_FALSE(readInteger("11", 1, 10));
    EXPECT_EQ(readInteger("-3", -5, 5), -3);
    EXPECT_FALSE(readInteger("-", -5, 5));
    EXPECT_FALSE(readInteger("--3", -5, 5));
    // Long digit strings are out of range, not wrapped around.
    EXPECT_FALSE(readInteger("9999999999999999999", 0, 100));
    EXPECT_FALSE(readInteger("18446744073709551621", 0, 100));  // 2^64 + 5
    EXPECT_FALSE(readInteger("-9999999999999999999", -100, 0));
    EXPECT_EQ(readInteger("0000000000000000000000042", 0, 100), 42);
}

TEST(ReadNumbers, Float32RoundsOnceFromTheDecimal) {
    EXPECT_EQ(readFloat32("0.0003"), 0.0003f);
    EXPECT_EQ(readFloat32("100"), 100.0f);
    EXPECT_EQ(readFloat32("-2.5e1"), -25.0f);
    // 1 + 2^-24 + tiny: a double first would round to 1 + 2^-24 and then to
    // even (1.0); once, straight to float, it rounds up.
    EXPECT_EQ(readFloat32("1.000000059604644775390625000001"), 1.00000012f);
    for (const char* bad : {"nan", "inf", "1e39" /* beyond float */, "0x1p3", "", ".", "1.5x", " 1"})
        EXPECT_FALSE(readFloat32(bad)) << bad;
}

TEST(ReadNumbers, SecondsBecomeWholeBlocksExactly) {
    // ceil(S x 44100 / 512)
    EXPECT_EQ(readSecondsAsBlocks("1"), 87);      // 86.13
    EXPECT_EQ(readSecondsAsBlocks("2"), 173);     // 172.27
    EXPECT_EQ(readSecondsAsBlocks("0.05"), 5);    // 4.31
    EXPECT_EQ(readSecondsAsBlocks("5.12"), 441);  // exactly 441
    EXPECT_EQ(readSecondsAsBlocks("5.1200"), 441);
    EXPECT_EQ(readSecondsAsBlocks("5.120000001"), 442);
    EXPECT_EQ(readSecondsAsBlocks(".5"), 44);     // 43.07
    EXPECT_EQ(readSecondsAsBlocks("3."), 259);    // 258.4
    EXPECT_EQ(readSecondsAsBlocks("0.000000001"), 1);
    EXPECT_EQ(readSecondsAsBlocks("3600"), 310079);  // 310078.125
    for (const char* bad : {"0", "0.000", "3600.001", "-1", "1e2", ".", "", "1.2.3", "99999999999999999999",
                            "0.0000000001" /* finer than a nanosecond */})
        EXPECT_FALSE(readSecondsAsBlocks(bad)) << bad;
}

TEST(LabArguments, ReadsEachSubcommand) {
    Outcome o = parse({"song", "--seed", "7"});
    ASSERT_TRUE(o.parsed.options);
    EXPECT_EQ(o.parsed.options->command, Command::Song);
    EXPECT_EQ(o.parsed.options->seed, 7u);

    o = parse({"audio", "--seed=4294967295", "--seconds", "1", "--clock", "99", "--out", "x.wav"});
    ASSERT_TRUE(o.parsed.options) << o.err;
    EXPECT_EQ(o.parsed.options->command, Command::Audio);
    EXPECT_EQ(o.parsed.options->seed, 4294967295u);
    EXPECT_EQ(o.parsed.options->blocks, 87);
    EXPECT_EQ(o.parsed.options->clockMs, 99u);
    EXPECT_EQ(o.parsed.options->out, "x.wav");

    o = parse({"terrain", "--time", "12.5", "--speed", "0.01"});
    ASSERT_TRUE(o.parsed.options) << o.err;
    EXPECT_EQ(o.parsed.options->terrainTime, 12.5f);
    EXPECT_EQ(o.parsed.options->terrainSpeed, 0.01f);
    EXPECT_EQ(o.parsed.options->orientation, 0);

    o = parse({"play", "--seed", "3", "--frames", "100", "--keys", "k.txt", "--trace", "t.jsonl", "--wav",
               "a.wav", "--shots", "shots", "--every", "10"});
    ASSERT_TRUE(o.parsed.options) << o.err;
    const LabOptions& p = *o.parsed.options;
    EXPECT_EQ(p.command, Command::Play);
    EXPECT_EQ(p.frames, 100);
    EXPECT_EQ(p.clockMs, 0u);
    EXPECT_EQ(p.keysFile, "k.txt");
    EXPECT_EQ(p.traceFile, "t.jsonl");
    EXPECT_EQ(p.wavFile, "a.wav");
    EXPECT_EQ(p.shotsDir, "shots");
    EXPECT_EQ(p.every, 10);

    o = parse({"play", "--seed", "3", "--frames", "1"});
    ASSERT_TRUE(o.parsed.options) << o.err;
    EXPECT_FALSE(o.parsed.options->keysFile || o.parsed.options->traceFile || o.parsed.options->wavFile ||
                 o.parsed.options->shotsDir);
}

TEST(LabArguments, RejectsBadArgumentsWithOneLine) {
    expectUsageError({}, "subcommand");
    expectUsageError({"dance"}, "dance");
    expectUsageError({"song"}, "--seed");
    expectUsageError({"song", "--seed", "-1"}, "seed");
    expectUsageError({"song", "--seed=-1"}, "--seed");
    expectUsageError({"song", "--seed", "4294967296"}, "--seed");
    expectUsageError({"song", "--seed", "0x10"}, "--seed");
    expectUsageError({"song", "--seed", "1", "--seed", "2"}, "seed");
    expectUsageError({"song", "--seed", "1", "extra"}, "extra");
    expectUsageError({"song", "--seed", "1", "--frames", "2"}, "--frames");
    expectUsageError({"audio", "--seed", "1", "--seconds", "1"}, "--out");
    expectUsageError({"audio", "--seed", "1", "--seconds", "0", "--out", "a.wav"}, "--seconds");
    expectUsageError({"audio", "--seed", "1", "--seconds", "3601", "--out", "a.wav"}, "--seconds");
    expectUsageError({"audio", "--seed", "1", "--seconds", "nan", "--out", "a.wav"}, "--seconds");
    expectUsageError({"audio", "--seed", "1", "--seconds", "1", "--out", ""}, "--out");
    expectUsageError({"audio", "--seed", "1", "--seconds", "1", "--clock", "-5", "--out", "a.wav"}, "clock");
    expectUsageError({"terrain", "--time", "1"}, "--speed");
    expectUsageError({"terrain", "--time", "inf", "--speed", "0.01"}, "--time");
    expectUsageError({"terrain", "--time", "1", "--speed", "-0.5"}, "--speed");
    expectUsageError({"terrain", "--time", "1", "--speed", "0.01", "--orientation", "1000000001"}, "--orientation");
    expectUsageError({"terrain", "--time", "1", "--speed", "0.01", "--orientation", "-1000000001"}, "--orientation");
    expectUsageError({"terrain", "--time", "1", "--speed", "0.01", "--orientation", "1.5"}, "--orientation");
    expectUsageError({"play", "--seed", "1"}, "--frames");
    expectUsageError({"play", "--seed", "1", "--frames", "0"}, "--frames");
    expectUsageError({"play", "--seed", "1", "--frames", "10000001"}, "--frames");
    expectUsageError({"play", "--seed", "1", "--frames", "5", "--shots", "d"}, "--every");
    expectUsageError({"play", "--seed", "1", "--frames", "5", "--every", "2"}, "--shots");
    expectUsageError({"play", "--seed", "1", "--frames", "5", "--shots", "d", "--every", "0"}, "--every");
    expectUsageError({"play", "--seed", "1", "--frames", "5", "--trace", "x", "--wav", "x"}, "same file");
}

TEST(LabArguments, HelpGoesToStandardOutputWithStatusZero) {
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{"--help"}, {"song", "audio", "terrain", "play", "export"}},
        {{"audio", "--help"}, {"--seconds", "WAV", "song"}},
        {{"play", "-h"}, {"--keys", "escape"}},  // the key script is explained
        {{"terrain", "--help"}, {"counts"}},
        {{"song", "--help"}, {"nextDraw"}},
    };
    for (const auto& [args, words] : cases) {
        const Outcome o = parse(args);
        EXPECT_FALSE(o.parsed.options) << args[0];
        EXPECT_EQ(o.parsed.exitCode, kExitOk) << args[0];
        EXPECT_EQ(o.err, "") << args[0];
        for (const std::string& word : words) EXPECT_NE(o.out.find(word), std::string::npos) << word;
    }
}

}  // namespace
}  // namespace vonkel::lab
