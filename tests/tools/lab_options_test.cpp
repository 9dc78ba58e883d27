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

    o = parse({"audio", "--seed", "1", "--seconds", "2", "--out", "-"});
    ASSERT_TRUE(o.parsed.options) << o.err;
    EXPECT_EQ(o.parsed.options->out, "-");
    o = parse({"play", "--seed", "1", "--frames", "2", "--trace", "-", "--wav", "w.wav"});
    ASSERT_TRUE(o.parsed.options) << o.err;
    EXPECT_EQ(o.parsed.options->traceFile, "-");

    o = parse({"play", "--seed", "3", "--frames", "1"});
    ASSERT_TRUE(o.parsed.options) << o.err;
    EXPECT_FALSE(o.parsed.options->keysFile || o.parsed.options->traceFile || o.parsed.options->wavFile ||
                 o.parsed.options->shotsDir || o.parsed.options->runFile);

    o = parse({"replay", "-", "--strict", "--video", "v.MKV", "--shots", "s", "--every", "5"});
    ASSERT_TRUE(o.parsed.options) << o.err;
    EXPECT_EQ(o.parsed.options->command, Command::Replay);
    EXPECT_EQ(o.parsed.options->replayFile, "-");
    EXPECT_TRUE(o.parsed.options->strict);
    EXPECT_EQ(o.parsed.options->videoFormat, output::VideoFormat::Matroska);
    EXPECT_EQ(o.parsed.options->every, 5);
}

TEST(LabArguments, RejectsBadArgumentsWithOneLine) {
    expectUsageError({}, "subcommand");
    expectUsageError({"dance"}, "dance");
    expectUsageError({"song"}, "--seed");
    expectUsageError({"song", "--seed", "-1"}, "seed");
    expectUsageError({"song", "--seed=-1"}, "--seed");
    expectUsageError({"song", "--seed", "4294967296"}, "--seed");
    expectUsageError({"song", "--seed", "0x10"}, "--seed");
    expectUsageError({"song", "--seed", "010"}, "got '010'");
    expectUsageError({"play", "--seed", "1", "--frames", "1e3"}, "--frames");
    expectUsageError({"terrain", "--time", "0x1p3", "--speed", "0"}, "--time");
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
    expectUsageError({"play", "--seed", "1", "--frames", "675001", "--run", "r"}, "--run: a run file holds at most 675000");
    // replay takes the game from its run, and its outputs as play does.
    expectUsageError({"replay"}, "RUN is required");
    for (const std::string option : {"--seed", "--frames", "--clock", "--keys"}) {
        expectUsageError({"replay", "r", option, "1"}, option + ": replay takes the seed, clock, frames and keys");
    }
    expectUsageError({"replay", "r", "--keys"}, "--keys: replay takes");
    expectUsageError({"replay", "r", "--every", "2"}, "--shots");
    expectUsageError({"replay", "r", "--video", "v.avi"}, "--video");
    expectUsageError({"replay", "r", "--run", "s"}, "--run");
    expectUsageError({"replay", "r", "s"}, "s");
    expectUsageError({"--bogus"}, "unknown option '--bogus'");
    expectUsageError({"export", "--help"}, "unknown subcommand 'export'");
    // Each message points at the help of its subcommand.
    expectUsageError({"terrain", "--time", "1", "--speed", "2"}, "see vonkel-lab terrain --help");
    expectUsageError({"dance"}, "unknown subcommand 'dance'");
}

TEST(LabArguments, ExtensionsAreReadInAnyCaseAndAnEmptyFormatIsRefused) {
    using output::SoundFormat;
    using output::VideoFormat;
    for (const auto& [name, format] : {std::pair{"a.WAV", SoundFormat::Wav}, {"a.Mp3", SoundFormat::Mp3},
                                       {"a.FLAC", SoundFormat::Flac}, {"a.b/c", SoundFormat::Wav}}) {
        const Outcome o = parse({"audio", "--seed", "1", "--seconds", "1", "--out", name});
        ASSERT_TRUE(o.parsed.options) << name << o.err;
        EXPECT_EQ(o.parsed.options->soundFormat, format) << name;
    }
    for (const auto& [name, format] : {std::pair{"v.MP4", VideoFormat::Mp4}, {"v.MKV", VideoFormat::Matroska}}) {
        const Outcome o = parse({"play", "--seed", "1", "--frames", "1", "--video", name});
        ASSERT_TRUE(o.parsed.options) << name << o.err;
        EXPECT_EQ(o.parsed.options->videoFormat, format) << name;
    }
    expectUsageError({"audio", "--seed", "1", "--seconds", "1", "--format", "", "--out", "a.wav"},
                     "--format: '' is not a sound format");
}

TEST(LabArguments, HelpGoesToStandardOutputWithStatusZero) {
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{"--help"}, {"song", "audio", "terrain", "play", "replay", "export"}},
        {{"replay", "--help"}, {"RUN", "--strict", "pictures equal", "Exit status"}},
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
