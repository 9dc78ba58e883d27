#include "app/command_line.h"

#include <CLI/CLI.hpp>

#include "lockstep/decimal.h"

namespace vonkel {
namespace {

constexpr const char* kProgram = "vonkel";

constexpr const char* kDescription =
    "vonkel: a small arcade toy with a soundtrack composed and synthesised while\n"
    "it runs. Every game plays a new song.";

constexpr const char* kFooter =
    "Keys: arrows steer; Z or Enter boosts and starts a new game; Escape opens\n"
    "the scope view and, from there, quits; M mutes; F11 or Alt+Enter toggles\n"
    "fullscreen; Ctrl+1, Ctrl+2, Ctrl+4 zoom the window; F12 saves a\n"
    "screenshot (PNG); F9 starts and stops a clip with its sound (MP4, at most\n"
    "10 minutes). A game controller's d-pad and left stick steer, A and B\n"
    "boost, Start acts as Escape.\n"
    "\n"
    "Songs: a song's number is the main generator's state at the start of its\n"
    "game. 'vonkel --seed N' plays song N first, and\n"
    "'vonkel-lab audio --seed N --seconds 60 --out song.wav' composes the same\n"
    "song: the same progression, tempo, patterns and voices. The variations at\n"
    "the ends of bars follow the audio clock, so they differ between the two.\n"
    "\n"
    "Exit status: 0 on quitting; 1 when there is no usable display;\n"
    "2 on bad arguments.";

// One line, printable, not too long: safe to echo back in a message.
std::string oneLine(std::string text) {
    for (char& c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7f) c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (text.size() > 200) text = text.substr(0, 200) + "...";
    return text;
}

CommandLine refuse(const std::string& problem) {
    CommandLine result;
    result.action = CommandLine::Action::Refuse;
    result.text = std::string(kProgram) + ": " + oneLine(problem) + " (see " + kProgram + " --help)\n";
    return result;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CLI::App app(kDescription, kProgram);
    app.footer(kFooter);
    app.set_version_flag("--version", std::string(kProgram) + " " + VONKEL_VERSION);

    GameOptions options;
    std::string zoom = "1";
    std::string seed;
    app.add_flag("--fullscreen", options.fullscreen, "start in fullscreen (F11 or Alt+Enter toggles it)");
    app.add_option("--zoom", zoom, "the window's first size: 1, 2 or 4 times 640 x 480")->type_name("1|2|4");
    app.add_flag("--mute", options.mute, "start with the sound off (M toggles it); the music goes on silently");
    app.add_option("--seed", seed, "seed of the main random generator (0..4294967295): plays song N first")
        ->type_name("N");
    app.add_flag("--verbose", options.verbose,
                 "print one line per new game: the song's number and the vonkel-lab command that exports it; "
                 "and each saved screenshot or clip");
    app.add_option("--capture-dir", options.captureDir,
                   "where F12 screenshots and F9 clips go (default: the pictures folder's vonkel/)")
        ->type_name("DIR");

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(std::move(reversed));
    } catch (const CLI::CallForHelp&) {
        return {CommandLine::Action::PrintAndEnd, {}, app.help()};
    } catch (const CLI::CallForVersion& e) {
        return {CommandLine::Action::PrintAndEnd, {}, std::string(e.what()) + "\n"};
    } catch (const CLI::ParseError& e) {
        return refuse(e.what());
    }

    if (zoom == "1" || zoom == "2" || zoom == "4") {
        options.zoom = zoom[0] - '0';
    } else {
        return refuse("--zoom: expected 1, 2 or 4, got '" + zoom + "'");
    }
    if (app.count("--seed") != 0) {
        // The lab's reader: plain decimal digits, no sign, no leading zero.
        options.seed = lockstep::readUnsigned32(seed);
        if (!options.seed) return refuse("--seed: expected an integer 0..4294967295, got '" + seed + "'");
    }
    return {CommandLine::Action::Run, options, {}};
}

std::string songLine(uint32_t songNumber) {
    const std::string n = std::to_string(songNumber);
    return "song " + n + ": vonkel-lab audio --seed " + n + " --seconds 60 --out song-" + n + ".wav";
}

}  // namespace vonkel
