#include "tools/lab_commands.h"

#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <utility>

#include "core/world.h"
#include "game/game.h"
#include "game/terrain.h"
#include "lockstep/digests.h"
#include "lockstep/key_script.h"
#include "lockstep/run_file.h"
#include "lockstep/run_recorder.h"
#include "lockstep/simulated_run.h"
#include "output/output_file.h"
#include "output/sound_file.h"
#include "output/stop_signal.h"
#include "tools/game_outputs.h"
#include "tools/lab_files.h"
#include "tools/lab_messages.h"
#include "tools/lab_replay.h"

namespace vonkel::lab {
namespace {

using lockstep::KeysScript;
using lockstep::RenderedBlock;
using lockstep::SimulatedRun;
using output::stopSignal;

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
