#pragma once
// The command line of vonkel-lab: subcommands, their options, and the strict
// number readers behind them. Nothing here runs the game.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vonkel::lab {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // a file could not be written during the run
constexpr int kExitUsage = 2;    // bad arguments or bad input; nothing written

constexpr int64_t kMaxFrames = 10'000'000;  // frames of one `play` run
constexpr int64_t kMaxSeconds = 3600;       // length of one `audio` export

enum class Command { Song, Audio, Terrain, Play };

struct LabOptions {
    Command command = Command::Song;
    uint32_t seed = 0;
    uint32_t clockMs = 0;
    // audio
    int64_t blocks = 0;  // ceil(seconds x 44100 / 512)
    std::string out;
    // terrain
    float terrainTime = 0;
    float terrainSpeed = 0;
    int32_t orientation = 0;
    // play
    int64_t frames = 0;
    std::optional<std::string> keysFile;
    std::optional<std::string> traceFile;
    std::optional<std::string> wavFile;
    std::optional<std::string> shotsDir;
    int64_t every = 0;
};

struct ParsedArguments {
    std::optional<LabOptions> options;  // set when there is something to run
    int exitCode = kExitOk;             // otherwise the status to exit with
};

// Parses the arguments after the program name. Prints the help to `out`
// (exit 0) or a one-line message to `err` (exit 2) when there is nothing to
// run.
ParsedArguments parseLabArguments(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Strict readers: plain decimal text only (no sign where none is allowed, no
// blanks, no hex or octal), within the range. nullopt when the text is not
// such a number.
std::optional<uint32_t> readUnsigned32(std::string_view text);
std::optional<int64_t> readInteger(std::string_view text, int64_t min, int64_t max);
// A finite 32-bit float, rounded once from the decimal text.
std::optional<float> readFloat32(std::string_view text);
// Seconds as a decimal (e.g. "2", "0.5", "12.25"), 0 < S <= kMaxSeconds,
// turned exactly into the number of 512-frame blocks ceil(S x 44100 / 512).
std::optional<int64_t> readSecondsAsBlocks(std::string_view text);

}  // namespace vonkel::lab
