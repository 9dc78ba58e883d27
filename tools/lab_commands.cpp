#include "tools/lab_commands.h"

#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/world.h"
#include "game/game.h"
#include "game/terrain.h"
#include "lockstep/decimal.h"
#include "lockstep/digests.h"
#include "lockstep/key_script.h"
#include "lockstep/run_file.h"
#include "lockstep/run_player.h"
#include "lockstep/run_recorder.h"
#include "lockstep/simulated_run.h"
#include "output/output_file.h"
#include "output/sound_file.h"
#include "output/stop_signal.h"
#include "output/video_file.h"
#include "output/wav_writer.h"
#include "tools/lab_files.h"
#include "tools/shots_folder.h"

namespace vonkel::lab {
namespace {

using lockstep::KeysScript;
using lockstep::RenderedBlock;
using lockstep::SimulatedRun;
using output::stopSignal;

constexpr const char* kProgram = "vonkel-lab";

// One line on the terminal, whatever the message holds: control characters
// (from a path, an argument, a library) are escaped.
void say(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << lockstep::printable(message, message.size()) << "\n";
}

int usageError(std::ostream& err, const std::string& message) {
    if (stopSignal() == 0) say(err, message);
    return kExitUsage;
}

// A run that could not write its outputs. One stopped by a signal says
// nothing: the process is about to end with that signal.
int runFailure(std::ostream& err, const std::string& message) {
    if (stopSignal() == 0) say(err, message);
    return kExitFailure;
}

// The outputs of one game, played (`play`) or replayed (`replay`), which
// both commands feed the same way: every audio block as rendered, every
// frame after its update. All are opened before the game, so that a bad
// path is reported at once; all get their names together when the game is
// complete, or none.
class GameOutputs {
public:
    explicit GameOutputs(const LabOptions& options) : options_(options) {}

    // `lastFrame`: the last frame the game may play (the longest name of
    // --shots).
    std::string open(int64_t lastFrame) {
        if (options_.traceFile) {
            if (std::string error = trace_.open(*options_.traceFile); !error.empty()) return "--trace: " + error;
        }
        if (options_.wavFile) {
            if (std::string error = wav_.open(*options_.wavFile); !error.empty()) return "--wav: " + error;
        }
        if (options_.videoFile) {
            if (std::string error = video_.open(*options_.videoFile, {.format = options_.videoFormat});
                !error.empty()) {
                return "--video: " + error;
            }
        }
        if (options_.runFile) {
            if (std::string error = run_.open(*options_.runFile); !error.empty()) return "--run: " + error;
        }
        // The doubled picture, made once a frame for the video and the shots.
        if (options_.videoFile || options_.shotsDir) picture_.resize(kOutputWidth * kOutputHeight);
        if (options_.shotsDir) return shots_.open(*options_.shotsDir, lastFrame);
        return {};
    }

    bool takesSound() const { return options_.wavFile || options_.videoFile; }
    // Whether one of the outputs is standard output.
    bool onStandardOutput() const {
        for (const auto* path : {&options_.traceFile, &options_.wavFile, &options_.videoFile, &options_.runFile}) {
            if (*path == "-") return true;
        }
        return false;
    }

    // An audio block as rendered.
    void sound(std::span<const float> samples) {
        if (options_.wavFile && error_.empty()) error_ = wav_.write(samples);
        if (options_.videoFile && error_.empty()) error_ = video_.addSound(samples);
    }

    // Frame `index` of `game` (a SimulatedRun or a RunPlayer) after its
    // update, shown from `startMs` until `nextStartMs`. The frame in which
    // the game quit (`goOn` false) drew no picture of its own: the video
    // has none of it.
    template <class Game>
    void frame(int64_t index, const Game& game, int64_t startMs, int64_t nextStartMs, bool goOn) {
        const bool shotDue = options_.shotsDir && index % options_.every == 0;
        if ((options_.videoFile && goOn) || shotDue) doubleFramebuffer(game.world(), picture_.data());
        if (options_.videoFile && goOn && error_.empty()) {
            error_ = video_.addPicture(picture_.data(), startMs, nextStartMs - startMs);
        }
        if (options_.traceFile && !trace_.write(traceJson(game.world(), game.lastFrame()) + "\n") && error_.empty()) {
            error_ = trace_.writeError();
        }
        if (shotDue && error_.empty()) error_ = shots_.shoot(index, picture_);
    }

    // The first write that failed, or an empty string.
    const std::string& error() const { return error_; }

    // Writes `runText` to --run, then finishes every output and names them.
    std::string commit(std::string_view runText = {}) {
        if (options_.traceFile) {
            if (std::string error = trace_.finish(); !error.empty()) return error;
        }
        if (options_.wavFile) {
            if (std::string error = wav_.finish(); !error.empty()) return error;
        }
        if (options_.videoFile) {
            if (std::string error = video_.finish(); !error.empty()) return error;
        }
        if (options_.runFile) {
            if (!run_.write(runText)) return run_.writeError();
            if (std::string error = run_.finish(); !error.empty()) return error;
        }
        const output::StopSignalsHeld held;
        if (stopSignal() != 0) return "stopped";
        std::string error;
        if (options_.traceFile) error = trace_.publish();
        if (options_.wavFile && error.empty()) error = wav_.publish();
        if (options_.videoFile && error.empty()) error = video_.publish();
        if (options_.runFile && error.empty()) error = run_.publish();
        if (options_.shotsDir && error.empty()) error = shots_.publish();
        return error;
    }

private:
    const LabOptions& options_;
    output::OutputFile trace_;
    output::WavWriter wav_;
    output::VideoWriter video_;
    output::OutputFile run_;
    ShotsFolder shots_;
    std::vector<uint32_t> picture_;
    std::string error_;
};

int runSong(const LabOptions& options, std::ostream& out) {
    auto world = std::make_unique<World>();
    startGame(*world, options.seed);
    out << songJson(*world, world->mainRandom.peek()) << "\n";
    return kExitOk;
}

int runTerrain(const LabOptions& options, std::ostream& out) {
    auto world = std::make_unique<World>();
    world->terrainTime = options.terrainTime;
    world->terrainSpeed = options.terrainSpeed;
    world->tileOrientation = options.orientation;
    stepTerrain(*world);
    out << terrainText(*world);
    return kExitOk;
}

int runAudio(const LabOptions& options, std::ostream& err) {
    output::SoundWriter wav;
    if (std::string error = wav.open(options.out, options.soundFormat, options.blocks * kBlockFrames);
        !error.empty()) {
        return usageError(err, "--out: " + error);
    }
    std::string writeError;
    lockstep::exportSong(options.seed, options.clockMs, options.blocks, [&](std::span<const float> samples) {
        writeError = wav.write(samples);
        return writeError.empty() && stopSignal() == 0;
    });
    if (writeError.empty() && stopSignal() == 0) writeError = wav.finish();
    if (writeError.empty()) {
        const output::StopSignalsHeld held;
        writeError = stopSignal() == 0 ? wav.publish() : "stopped";
    }
    return writeError.empty() ? kExitOk : runFailure(err, writeError);
}

std::string loadKeysScript(const LabOptions& options, KeysScript& script) {
    if (!options.keysFile) return {};
    std::string text;
    if (std::string error = readInputFile(*options.keysFile, text); !error.empty()) return "--keys: " + error;
    if (std::string error = lockstep::parseKeysScript(text, script); !error.empty()) {
        return "--keys: " + output::quotedPath(*options.keysFile) + " " + error;
    }
    return {};
}

int runPlay(const LabOptions& options, std::ostream& err) {
    KeysScript script;
    GameOutputs outputs(options);
    if (std::string error = filesMeet({.keys = options.keysFile, .trace = options.traceFile, .wav = options.wavFile,
                                       .video = options.videoFile, .run = options.runFile, .shots = options.shotsDir});
        !error.empty()) {
        return usageError(err, error);
    }
    if (std::string error = loadKeysScript(options, script); !error.empty()) return usageError(err, error);
    if (std::string error = outputs.open(options.frames - 1); !error.empty()) return usageError(err, error);

    std::optional<lockstep::RunRecorder> recorder;
    if (options.runFile) recorder.emplace(options.seed, options.clockMs);
    lockstep::BlockSink sink;
    if (outputs.takesSound() || recorder) {
        sink = [&](const RenderedBlock& block) {
            outputs.sound(block.samples);
            if (recorder) recorder->block(lockstep::soundDigest32(block.samples));
        };
    }
    SimulatedRun run(options.seed, options.clockMs, std::move(sink));
    run.start();
    int64_t played = 0;
    for (int64_t frame = 0; frame < options.frames && outputs.error().empty() && stopSignal() == 0; ++frame) {
        const int64_t start = run.clock().frameStartMs();
        const bool goOn = run.playFrame(script.stateAt(frame));
        ++played;
        if (recorder) recorder->frame(script.keysAt(frame), lockstep::pictureDigest32(run.world()), !goOn);
        outputs.frame(frame, run, start, run.clock().frameStartMs(), goOn);
        if (!goOn) break;
    }
    std::string writeError = outputs.error();
    std::string runText;
    if (recorder && writeError.empty()) {
        // The recorder stops short of kMaxRunBytes (keys changed very often):
        // a run file of part of the game would not replay it.
        if (recorder->frames() != played || recorder->droppedBlocks() != 0) {
            writeError = "cannot write " + output::quotedPath(*options.runFile) + ": the run of " +
                         std::to_string(played) + " frames does not fit in a run file (" +
                         std::to_string(lockstep::kMaxRunBytes >> 20) + " MiB)";
        } else {
            runText = recorder->text("lab");
        }
    }
    if (writeError.empty() && stopSignal() == 0) writeError = outputs.commit(runText);
    return writeError.empty() && stopSignal() == 0 ? kExitOk : runFailure(err, writeError);
}

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
// may differ, unless `strict`, in pictures of the scope view and in as many
// sound blocks as were rendered while a frame ran on the other thread; a
// run on the simulated schedule (the lab's, the page's) must match exactly.
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
                         check.sounds - check.soundsEqual <= (lenient ? check.overlappedBlocks : 0));
    return endsAsRecorded && pictures && sounds;
}

// The line that replay prints: the check's summary.
std::string checkLine(const lockstep::RunCheck& check) {
    if (check.pictures != 0 || check.sounds != 0) return check.summary();
    return "no digests to check" + (check.firstDifference.empty() ? "" : "; first difference: " + check.firstDifference);
}

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

int runCommand(const LabOptions& options, std::ostream& out, std::ostream& err) {
    switch (options.command) {
        case Command::Song:
            return runSong(options, out);
        case Command::Terrain:
            return runTerrain(options, out);
        case Command::Audio:
            return runAudio(options, err);
        case Command::Play:
            return runPlay(options, err);
        case Command::Replay:
            return runReplay(options, out, err);
    }
    return kExitFailure;
}

}  // namespace

int runLab(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        const ParsedArguments parsed = parseLabArguments(args, out, err);
        if (!parsed.options) return parsed.exitCode;
        return runCommand(*parsed.options, out, err);
    } catch (const std::bad_alloc&) {
        say(err, "out of memory");
    } catch (const std::exception& e) {
        say(err, e.what());
    } catch (...) {
        say(err, "unexpected failure");
    }
    return kExitFailure;
}

int runLabProcess(const std::vector<std::string>& args) {
    output::catchStopSignals();
    int status = runLab(args, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout && status == kExitOk && stopSignal() == 0) {
        std::cerr << kProgram << ": cannot write standard output\n";
        status = kExitFailure;
    }
    output::endByStopSignal();
    return status;
}

}  // namespace vonkel::lab
