#include "tools/lab_replay.h"

#include <ostream>
#include <string>
#include <utility>

#include "lockstep/run_file.h"
#include "lockstep/run_player.h"
#include "output/output_file.h"
#include "output/stop_signal.h"
#include "tools/game_outputs.h"
#include "tools/lab_files.h"
#include "tools/lab_messages.h"

namespace vonkel::lab {
namespace {

using lockstep::RenderedBlock;
using output::stopSignal;

// Reads and checks replay's run file.
std::string loadRun(const std::string& path, lockstep::Run& run) {
    std::string text;
    const bool standardInput = path == "-";
    if (std::string error = standardInput ? readStandardInput(text, lockstep::kMaxRunBytes)
                                          : readInputFile(path, text, lockstep::kMaxRunBytes);
        !error.empty()) {
        return "RUN: " + error;
    }
    if (std::string error = lockstep::readRun(text, run); !error.empty()) {
        return "RUN " + (standardInput ? std::string("(standard input)") : output::quotedPath(path)) + " " + error;
    }
    return {};
}

// Whether a replay matches its run: it ends where the run ended, and its
// pictures and sound blocks are those of the run's digests. A desktop run
// may differ, unless `strict`, in the pictures of the scope view and in its
// sound: a block rendered while a frame ran on the other thread may have
// seen part of that frame's writes, and the song goes its own way from
// there (the line counts both); a run on the simulated schedule (the lab's,
// the page's) must match exactly.
bool replayMatches(const lockstep::RunPlayer& player, int64_t blocksRendered, bool quit, bool strict) {
    const lockstep::Run& run = player.run();
    const lockstep::RunCheck& check = player.check();
    const bool lenient = !strict && !run.clock;
    const bool endsAsRecorded = player.frameIndex() == run.frames && quit == run.quit;
    const bool pictures =
        check.pictures == 0 ||
        (check.picturesCompared == check.pictures &&
         check.picturesEqual + (lenient ? check.scopePicturesDiffering : 0) == check.pictures);
    const bool sounds = check.sounds == 0 ||
                        (blocksRendered == check.sounds && check.soundsCompared == check.sounds &&
                         (lenient || check.soundsEqual == check.sounds));
    return endsAsRecorded && pictures && sounds;
}

// The line that replay prints: the check's summary.
std::string checkLine(const lockstep::RunCheck& check) {
    if (check.pictures != 0 || check.sounds != 0) return check.summary();
    return "no digests to check" + (check.firstDifference.empty() ? "" : "; first difference: " + check.firstDifference);
}

}  // namespace

int runReplay(const LabOptions& options, std::ostream& out, std::ostream& err) {
    if (std::string error = filesMeet({.replayed = options.replayFile, .trace = options.traceFile,
                                       .wav = options.wavFile, .video = options.videoFile, .shots = options.shotsDir});
        !error.empty()) {
        return usageError(err, error);
    }
    lockstep::Run run;
    if (std::string error = loadRun(options.replayFile, run); !error.empty()) return usageError(err, error);
    GameOutputs outputs(options);
    if (std::string error = outputs.open(run.frames - 1); !error.empty()) return usageError(err, error);

    int64_t blocksRendered = 0;
    lockstep::RunPlayer player(std::move(run), [&](const RenderedBlock& block) {
        ++blocksRendered;
        outputs.sound(block.samples);
    });
    player.start();
    bool quit = false;
    while (!player.done() && outputs.error().empty() && stopSignal() == 0) {
        const int64_t frame = player.frameIndex();
        const int64_t start = player.frameStartMs();
        quit = !player.playFrame();
        outputs.frame(frame, player, start, player.frameStartMs(), !quit);
    }
    std::string writeError = outputs.error();
    if (writeError.empty() && stopSignal() == 0) writeError = outputs.commit();
    if (!writeError.empty() || stopSignal() != 0) return runFailure(err, writeError);
    // The line is the replay's result; standard output may be an output.
    (outputs.onStandardOutput() ? err : out) << checkLine(player.check()) << "\n";
    return replayMatches(player, blocksRendered, quit, options.strict) ? kExitOk : kExitFailure;
}

}  // namespace vonkel::lab
