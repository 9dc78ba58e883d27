#pragma once
// The game's command line. Parsing is pure: it reads the arguments and says
// what to do, and the caller prints the text and exits or runs the game.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "desktop/settings/settings.h"

namespace vonkel {

// What the command line says. The settings it names win over the settings
// file for this run (and are saved only when changed in the game); those it
// leaves out come from the file.
struct GameOptions {
    // --fullscreen, --zoom 1|2|4, --mute, --volume 0..100, --audio-device,
    // --audio-latency 10..500
    SettingsOverride settings;
    std::optional<uint32_t> seed;         // the main generator's seed; else the calendar time
    bool verbose = false;                 // one line per new game on stdout, a report at exit
    bool listAudioDevices = false;        // print the output devices and end
    bool noSettings = false;              // neither read nor write the settings file
    std::string captureDir;               // screenshots, clips and runs; empty: the pictures folder's vonkel/
    bool saveRunAtExit = false;           // save the run into the capture folder at the end
};

struct CommandLine {
    enum class Action {
        Run,         // start the game with `options`
        PrintAndEnd, // print `text` on stdout, exit status 0 (--help, --version)
        Refuse,      // print `text` (one line) on stderr, exit status 2
    };
    Action action = Action::Run;
    GameOptions options;
    std::string text;
};

inline constexpr int kExitUsage = 2;

// args: the arguments after the program's name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

}  // namespace vonkel
