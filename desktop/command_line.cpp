#include "desktop/command_line.h"

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
    "the scope view and, from there, quits; M mutes; - and = (or + on the\n"
    "keypad) turn the volume down and up by 10; F11 or Alt+Enter toggles\n"
    "fullscreen; Ctrl+1, Ctrl+2, Ctrl+4 zoom the window; F12 saves a\n"
    "screenshot (PNG); F9 starts and stops a clip with its sound (MP4, at most\n"
    "10 minutes); F10 saves the run since the start, which vonkel-lab replay\n"
    "and the web page play again. A game controller's d-pad and left stick\n"
    "steer, A and B boost, Start acts as Escape.\n"
    "\n"
    "Settings: the volume, mute, zoom, fullscreen and the audio device are kept\n"
    "in $XDG_CONFIG_HOME/vonkel/vonkel.conf (~/.config/vonkel/vonkel.conf).\n"
    "Options given here win over the file for this run and are not saved.\n"
    "\n"
    "Songs: a song's number is the main generator's state at the start of its\n"
    "game. 'vonkel --seed N' plays song N first, and\n"
    "'vonkel-lab audio --seed N --seconds 60 --out song.wav' composes the same\n"
    "song: the same progression, tempo, patterns and voices. The variations at\n"
    "the ends of bars follow the audio clock, so they differ between the two.\n"
    "\n"
    "Exit status: 0 on quitting (also on SIGINT, SIGTERM, SIGHUP); 1 when\n"
    "there is no usable display or it went away; 2 on bad arguments or an\n"
    "unknown --audio-device.";

CommandLine refuse(const std::string& problem) {
    CommandLine result;
    result.action = CommandLine::Action::Refuse;
    result.text = std::string(kProgram) + ": " + lockstep::printable(problem, 200) + " (see " + kProgram + " --help)\n";
    return result;
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CLI::App app(kDescription, kProgram);
    app.footer(kFooter);
    app.set_version_flag("--version", std::string(kProgram) + " " + VONKEL_VERSION);

    GameOptions options;
    std::string zoom, seed, volume, device, latency;
    bool fullscreen = false, mute = false;
    app.add_flag("--fullscreen", fullscreen, "start in fullscreen (F11 or Alt+Enter toggles it)");
    app.add_option("--zoom", zoom, "the window's first size: 1, 2 or 4 times 640 x 480")->type_name("1|2|4");
    app.add_flag("--mute", mute, "start with the sound off (M toggles it); the music goes on silently");
    app.add_option("--volume", volume, "the sound's level, 0..100 (100: full; - and = change it by 10)")
        ->type_name("0..100");
    app.add_flag("--list-audio-devices", options.listAudioDevices,
                 "list the audio output devices (index, host API, name, rate; the default marked) and end");
    app.add_option("--audio-device", device,
                   "play on this output device: its index, its name, or a part of its name that only it has")
        ->type_name("NAME-OR-INDEX");
    app.add_option("--audio-latency", latency, "the sound's buffer in milliseconds, 10..500 (default 75)")
        ->type_name("MS");
    app.add_flag("--no-settings", options.noSettings, "neither read nor write the settings file");
    app.add_option("--seed", seed, "seed of the main random generator (0..4294967295): plays song N first")
        ->type_name("N");
    app.add_flag("--verbose", options.verbose,
                 "print one line per new game (the song's number and the vonkel-lab command that exports it), "
                 "each saved screenshot or clip, and, at exit, the sound's underflows");
    app.add_option("--capture-dir", options.captureDir,
                   "where F12 screenshots, F9 clips and F10 runs go (default: the pictures folder's vonkel/)")
        ->type_name("DIR");
    app.add_flag("--save-run-at-exit", options.saveRunAtExit,
                 "keep every run: save it into the capture folder when the game ends (as F10 does)");

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

    SettingsOverride& given = options.settings;
    if (fullscreen) given.fullscreen = true;
    if (mute) given.mute = true;
    if (app.count("--zoom") != 0) {
        if (zoom != "1" && zoom != "2" && zoom != "4") return refuse("--zoom: expected 1, 2 or 4, got '" + zoom + "'");
        given.zoom = zoom[0] - '0';
    }
    // The lab's reader: plain decimal digits, no sign, no leading zero.
    if (app.count("--seed") != 0) {
        options.seed = lockstep::readUnsigned32(seed);
        if (!options.seed) return refuse("--seed: expected an integer 0..4294967295, got '" + seed + "'");
    }
    if (app.count("--volume") != 0) {
        const auto level = lockstep::readInteger(volume, 0, 100);
        if (!level) return refuse("--volume: expected an integer 0..100, got '" + volume + "'");
        given.volume = static_cast<int>(*level);
    }
    if (app.count("--audio-latency") != 0) {
        const auto ms = lockstep::readInteger(latency, kMinLatencyMs, kMaxLatencyMs);
        if (!ms) return refuse("--audio-latency: expected milliseconds 10..500, got '" + latency + "'");
        given.audioLatencyMs = static_cast<int>(*ms);
    }
    if (app.count("--audio-device") != 0) {
        if (device.empty()) return refuse("--audio-device: expected a device's index or name");
        given.audioDevice = device;
    }
    if (app.count("--capture-dir") != 0 && options.captureDir.empty()) {
        return refuse("--capture-dir: expected a folder");
    }
    return {CommandLine::Action::Run, options, {}};
}

}  // namespace vonkel
