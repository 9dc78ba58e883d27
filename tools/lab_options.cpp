#include "tools/lab_options.h"

#include <CLI/CLI.hpp>

#include <ostream>
#include <utility>

#include "tools/lab_messages.h"
#include "tools/lab_subcommand_options.h"

namespace vonkel::lab {
namespace {

using lockstep::printable;

constexpr const char* kDescription =
    "vonkel-lab: the headless companion of the vonkel game. It runs the game's\n"
    "deterministic core without a window or a sound device, so that songs,\n"
    "terrain and whole games can be inspected, compared and exported.";

constexpr const char* kFooter =
    "Run 'vonkel-lab SUBCOMMAND --help' for the options of each, and see\n"
    "vonkel-lab(1) for the formats and the simulated clock. To save a song:\n"
    "  vonkel-lab audio --seed N --seconds 180 --out song.wav\n"
    "Exit status: 0 success; 2 bad arguments or input (nothing is written);\n"
    "1 a file could not be written during the run, or a replay does not\n"
    "match its run.";

constexpr const char* kSubcommands = "song, audio, terrain, play or replay";

// The first word that is not an option, which names the subcommand.
const std::string* subcommandWord(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg.empty() || arg.front() != '-') return &arg;
    }
    return nullptr;
}

// The one-line message for a parse error.
std::string problemOf(const CLI::App& app, const std::vector<std::string>& args, const CLI::ParseError& error) {
    const auto chosen = app.get_subcommands();
    if (chosen.empty()) {
        for (const std::string& arg : args) {
            if (arg.starts_with("-") && arg != "-h" && arg != "--help") {
                return "unknown option '" + printable(arg) + "' (see " + kProgram + " --help)";
            }
        }
    }
    const std::string help = chosen.empty() ? std::string(kProgram) : std::string(kProgram) + " " + chosen.front()->get_name();
    return printable(error.what(), 200) + " (see " + help + " --help)";
}

}  // namespace

ParsedArguments parseLabArguments(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    LabOptions options;
    CLI::App app(kDescription, kProgram);
    app.require_subcommand(1);
    addSubcommands(app, options);
    app.footer(kFooter);
    // An unknown subcommand is named as such, also before --help.
    const std::string* word = subcommandWord(args);
    if (word != nullptr && *word != "song" && *word != "audio" && *word != "terrain" && *word != "play" &&
        *word != "replay") {
        err << kProgram << ": unknown subcommand '" << printable(*word) << "' (" << kSubcommands << "; see " << kProgram
            << " --help)\n";
        return {std::nullopt, kExitUsage};
    }
    try {
        app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            out << app.help();
            return {std::nullopt, kExitOk};
        }
        err << kProgram << ": " << problemOf(app, args, e) << "\n";
        return {std::nullopt, kExitUsage};
    }
    return {std::move(options), kExitOk};
}

}  // namespace vonkel::lab
