#pragma once
// The command line of vonkel-lab: subcommands and their typed options, each
// read by the strict readers of lockstep/decimal.h. Nothing here runs the game.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "lockstep/decimal.h"
#include "output/sound_file.h"
#include "output/video_file.h"

namespace vonkel::lab {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // a file could not be written during the run, or
                                 // a replay does not match its run
constexpr int kExitUsage = 2;    // bad arguments or bad input; nothing written

constexpr int64_t kMaxFrames = 10'000'000;  // frames of one `play` run

enum class Command { Song, Audio, Terrain, Play, Replay };

struct LabOptions {
    Command command = Command::Song;
    uint32_t seed = 0;
    uint32_t clockMs = 0;
    // audio
    int64_t blocks = 0;  // ceil(seconds x 44100 / 512)
    std::string out;  // "-": standard output
    output::SoundFormat soundFormat = output::SoundFormat::Wav;  // --format, else by --out's extension
    // terrain
    float terrainTime = 0;
    float terrainSpeed = 0;
    int32_t orientation = 0;
    // play
    int64_t frames = 0;
    std::optional<std::string> keysFile;
    std::optional<std::string> runFile;  // --run: the run file written
    // play and replay: "-" for standard output, at most one of them
    std::optional<std::string> traceFile;
    std::optional<std::string> wavFile;
    std::optional<std::string> videoFile;
    output::VideoFormat videoFormat = output::VideoFormat::Matroska;  // by --video's extension
    std::optional<std::string> shotsDir;
    int64_t every = 0;
    // replay
    std::string replayFile;  // RUN, the run file read ("-": standard input)
    bool strict = false;
};

struct ParsedArguments {
    std::optional<LabOptions> options;  // set when there is something to run
    int exitCode = kExitOk;             // otherwise the status to exit with
};

// Parses the arguments after the program name. Prints the help to `out`
// (exit 0) or a one-line message to `err` (exit 2) when there is nothing to
// run.
ParsedArguments parseLabArguments(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vonkel::lab
