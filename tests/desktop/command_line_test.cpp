// The game's command line, and what the player's volume keys do.
#include "desktop/command_line.h"

#include <gtest/gtest.h>

#include "desktop/frame_loop.h"

namespace vonkel {
namespace {

using Action = CommandLine::Action;

CommandLine parse(std::vector<std::string> args) { return parseCommandLine(args); }

TEST(CommandLine, NoArgumentsRunTheGameAsItAlwaysWas) {
    const CommandLine c = parse({});
    ASSERT_EQ(c.action, Action::Run);
    // Nothing named: every setting comes from the file (or its defaults).
    EXPECT_FALSE(c.options.settings.fullscreen.has_value());
    EXPECT_FALSE(c.options.settings.zoom.has_value());
    EXPECT_FALSE(c.options.settings.mute.has_value());
    EXPECT_FALSE(c.options.settings.volume.has_value());
    EXPECT_FALSE(c.options.settings.audioDevice.has_value());
    EXPECT_FALSE(c.options.settings.audioLatencyMs.has_value());
    EXPECT_FALSE(c.options.seed.has_value());
    EXPECT_FALSE(c.options.verbose);
    EXPECT_FALSE(c.options.listAudioDevices);
    EXPECT_FALSE(c.options.noSettings);
    EXPECT_EQ(settingsForRun(Settings{}, c.options.settings), Settings{});
}

TEST(CommandLine, EveryOptionReachesTheGame) {
    const CommandLine c = parse({"--fullscreen", "--zoom", "4", "--mute", "--seed", "4294967295", "--verbose",
                                 "--volume", "0", "--audio-device", "USB Audio", "--audio-latency", "500",
                                 "--no-settings"});
    ASSERT_EQ(c.action, Action::Run) << c.text;
    EXPECT_EQ(c.options.settings.fullscreen, true);
    EXPECT_EQ(c.options.settings.zoom, 4);
    EXPECT_EQ(c.options.settings.mute, true);
    EXPECT_EQ(c.options.seed, 4294967295u);
    EXPECT_TRUE(c.options.verbose);
    EXPECT_EQ(c.options.settings.volume, 0);
    EXPECT_EQ(c.options.settings.audioDevice, "USB Audio");
    EXPECT_EQ(c.options.settings.audioLatencyMs, 500);
    EXPECT_TRUE(c.options.noSettings);
    EXPECT_TRUE(parse({"--list-audio-devices"}).options.listAudioDevices);
    EXPECT_EQ(parse({"--volume=100"}).options.settings.volume, 100);
    EXPECT_EQ(parse({"--audio-latency", "10"}).options.settings.audioLatencyMs, 10);

    EXPECT_EQ(parse({"--zoom=2"}).options.settings.zoom, 2);
    EXPECT_EQ(parse({"--seed", "0"}).options.seed, 0u);
    EXPECT_EQ(parse({"--seed=7"}).options.seed, 7u);
}

TEST(CommandLine, OptionsWinOverTheFileOnlyWhereGiven) {
    Settings file;
    file.volume = 80;
    file.mute = true;
    file.audioDevice = "pulse";
    file.audioLatencyMs = 120;
    file.zoom = 2;
    file.fullscreen = true;

    EXPECT_EQ(settingsForRun(file, parse({"--seed", "3"}).options.settings), file);
    const Settings run = settingsForRun(file, parse({"--volume", "30", "--zoom", "4", "--audio-device", "1"}).options.settings);
    EXPECT_EQ(run.volume, 30);
    EXPECT_EQ(run.zoom, 4);
    EXPECT_EQ(run.audioDevice, "1");
    EXPECT_EQ(run.mute, true);
    EXPECT_EQ(run.fullscreen, true);
    EXPECT_EQ(run.audioLatencyMs, 120);
}

TEST(CommandLine, HelpAndVersionPrintAndEnd) {
    const CommandLine help = parse({"--help"});
    ASSERT_EQ(help.action, Action::PrintAndEnd);
    for (const char* word : {"--fullscreen", "--zoom", "--mute", "--seed", "--verbose", "--version", "--volume",
                             "--list-audio-devices", "--audio-device", "--audio-latency", "--no-settings",
                             "vonkel.conf", "vonkel-lab audio --seed N", "bar", "clock"}) {
        EXPECT_NE(help.text.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(parse({"-h"}).action, Action::PrintAndEnd);
    // Help wins over a bad option that follows it, as in other programs.
    EXPECT_EQ(parse({"--help", "--zoom", "3"}).action, Action::PrintAndEnd);

    const CommandLine version = parse({"--version"});
    ASSERT_EQ(version.action, Action::PrintAndEnd);
    EXPECT_EQ(version.text, "vonkel " VONKEL_VERSION "\n");  // the project version CMake gives
}

TEST(CommandLine, BadArgumentsAreRefusedInOneLine) {
    const std::vector<std::vector<std::string>> bad = {
        {"--zoom", "3"}, {"--zoom", "0"}, {"--zoom", "2x"}, {"--zoom"}, {"--seed", "-1"},
        {"--seed", "4294967296"}, {"--seed", "0x10"}, {"--seed", "010"}, {"--seed", " 7"}, {"--seed", ""}, {"--seed"},
        {"--bogus"}, {"extra"}, {"--fullscreen=maybe"}, {"--seed", "12345678901234567890"},
        {"--volume", "101"}, {"--volume", "-1"}, {"--volume", "50%"}, {"--volume"}, {"--audio-latency", "9"},
        {"--audio-latency", "501"}, {"--audio-latency", "75ms"}, {"--audio-device", ""}, {"--audio-device"}, {"--capture-dir", ""},
    };
    for (const auto& args : bad) {
        std::string shown;
        for (const auto& a : args) shown += "[" + a + "]";
        const CommandLine c = parse(args);
        EXPECT_EQ(c.action, Action::Refuse) << shown;
        ASSERT_FALSE(c.text.empty()) << shown;
        EXPECT_EQ(c.text.rfind("vonkel: ", 0), 0u) << c.text;
        EXPECT_EQ(c.text.find('\n'), c.text.size() - 1) << "not one line: " << c.text;
    }
    // A control character in an argument is not echoed back.
    EXPECT_EQ(parse({"--zoom", "\x1b[2J"}).text.find('\x1b'), std::string::npos);
}

TEST(PlayerControls, VolumeStepsByTenWithinItsRangeAndTheTitleSaysSo) {
    EXPECT_EQ(steppedVolume(100, 1), 100);
    EXPECT_EQ(steppedVolume(95, 1), 100);
    EXPECT_EQ(steppedVolume(5, -1), 0);
    EXPECT_EQ(steppedVolume(40, -3), 10);
    EXPECT_EQ(steppedVolume(0, 25), 100);
    EXPECT_EQ(soundTitle(70, false), "vonkel - volume 70%");
    EXPECT_EQ(soundTitle(70, true), "vonkel - sound off (volume 70%)");
}

}  // namespace
}  // namespace vonkel
