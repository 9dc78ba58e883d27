#pragma once
// The game's command line. Parsing is pure: it reads the arguments and says
// what to do, and the caller prints the text and exits or runs the game.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vonkel {

struct GameOptions {
    bool fullscreen = false;
    int zoom = 1;                 // 1, 2 or 4: the window's first size
    bool mute = false;            // start with the output silenced
    std::optional<uint32_t> seed; // the main generator's seed; else the calendar time
    bool verbose = false;         // one line per new game on stdout
    std::string captureDir;       // screenshots and clips; empty: the pictures folder's vonkel/
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

// The line --verbose prints for a new song, without the newline.
std::string songLine(uint32_t songNumber);

}  // namespace vonkel
