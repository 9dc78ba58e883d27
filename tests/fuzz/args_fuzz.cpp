// Arbitrary argument lists for vonkel-lab (NUL-separated): either options to
// run, or help (status 0), or one line on stderr with status 2. Commands that
// only print (song, terrain) are also run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tools/lab_commands.h"
#include "tools/lab_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vonkel::lab;
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size && args.size() < 16; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back().push_back(static_cast<char>(data[i]));
    }
    std::ostringstream out, err;
    const ParsedArguments parsed = parseLabArguments(args, out, err);
    if (!parsed.options) {
        if (parsed.exitCode == kExitUsage) {
            const std::string message = err.str();
            if (message.empty() || message.back() != '\n' || message.find('\n') != message.size() - 1) std::abort();
        } else if (parsed.exitCode != kExitOk) {
            std::abort();
        }
        return 0;
    }
    const Command command = parsed.options->command;
    if (command == Command::Song || command == Command::Terrain) {
        std::ostringstream runOut, runErr;
        if (runLab(args, runOut, runErr) != kExitOk) std::abort();
    }
    return 0;
}
