#include "tools/lab_commands.h"

#include <exception>
#include <iostream>
#include <memory>
#include <new>

#include "core/world.h"
#include "game/game.h"
#include "game/terrain.h"
#include "lockstep/decimal.h"
#include "lockstep/key_script.h"
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

// The outputs of one `play` run. All are opened before it, so that a bad
// path is reported at once; all get their names together when the run is
// complete, or none.
struct PlayOutputs {
    output::OutputFile trace;
    output::WavWriter wav;
    output::VideoWriter video;
    ShotsFolder shots;

    std::string open(const LabOptions& options) {
        if (options.traceFile) {
            if (std::string error = trace.open(*options.traceFile); !error.empty()) return "--trace: " + error;
        }
        if (options.wavFile) {
            if (std::string error = wav.open(*options.wavFile); !error.empty()) return "--wav: " + error;
        }
        if (options.videoFile) {
            if (std::string error = video.open(*options.videoFile, {.format = options.videoFormat}); !error.empty()) {
                return "--video: " + error;
            }
        }
        if (options.shotsDir) return shots.open(*options.shotsDir, options.frames - 1);
        return {};
    }

    std::string commit(const LabOptions& options) {
        if (options.traceFile) {
            if (std::string error = trace.finish(); !error.empty()) return error;
        }
        if (options.wavFile) {
            if (std::string error = wav.finish(); !error.empty()) return error;
        }
        if (options.videoFile) {
            if (std::string error = video.finish(); !error.empty()) return error;
        }
        const output::StopSignalsHeld held;
        if (stopSignal() != 0) return "stopped";
        std::string error;
        if (options.traceFile) error = trace.publish();
        if (options.wavFile && error.empty()) error = wav.publish();
        if (options.videoFile && error.empty()) error = video.publish();
        if (options.shotsDir && error.empty()) error = shots.publish();
        return error;
    }
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
    PlayOutputs outputs;
    if (std::string error = filesMeet({.keys = options.keysFile, .trace = options.traceFile,
                                       .wav = options.wavFile, .video = options.videoFile, .shots = options.shotsDir});
        !error.empty()) {
        return usageError(err, error);
    }
    if (std::string error = loadKeysScript(options, script); !error.empty()) return usageError(err, error);
    if (std::string error = outputs.open(options); !error.empty()) return usageError(err, error);

    std::string writeError;
    lockstep::BlockSink sink;
    if (options.wavFile || options.videoFile) {
        sink = [&](const RenderedBlock& block) {
            if (options.wavFile && writeError.empty()) writeError = outputs.wav.write(block.samples);
            if (options.videoFile && writeError.empty()) writeError = outputs.video.addSound(block.samples);
        };
    }
    SimulatedRun run(options.seed, options.clockMs, std::move(sink));
    run.start();
    // The doubled picture, made once a frame for the video and the shots.
    std::vector<uint32_t> picture(options.videoFile || options.shotsDir ? kOutputWidth * kOutputHeight : 0);
    for (int64_t frame = 0; frame < options.frames && writeError.empty() && stopSignal() == 0; ++frame) {
        const int64_t start = run.clock().frameStartMs();
        const bool goOn = run.playFrame(script.stateAt(frame));
        const bool shotDue = options.shotsDir && frame % options.every == 0;
        if ((options.videoFile && goOn) || shotDue) doubleFramebuffer(run.world(), picture.data());
        // Each picture is shown from its frame's start until the next frame's.
        if (options.videoFile && goOn && writeError.empty()) {
            writeError = outputs.video.addPicture(picture.data(), start, run.clock().frameStartMs() - start);
        }
        if (options.traceFile && !outputs.trace.write(traceJson(run.world(), run.lastFrame()) + "\n")) {
            writeError = outputs.trace.writeError();
        }
        if (shotDue && writeError.empty()) {
            writeError = outputs.shots.shoot(frame, picture);
        }
        if (!goOn) break;
    }
    if (writeError.empty() && stopSignal() == 0) writeError = outputs.commit(options);
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
