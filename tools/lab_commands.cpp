#include "tools/lab_commands.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>

#include "core/world.h"
#include "game/game.h"
#include "game/terrain.h"
#include "lockstep/key_script.h"
#include "lockstep/simulated_run.h"
#include "tools/output_file.h"
#include "tools/png_writer.h"
#include "tools/stop_signal.h"
#include "tools/wav_writer.h"

namespace vonkel::lab {
namespace {

using lockstep::BlockSink;
using lockstep::KeysScript;
using lockstep::RenderedBlock;
using lockstep::SimulatedRun;

constexpr const char* kProgram = "vonkel-lab";

int usageError(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << "\n";
    return kExitUsage;
}

// A run that could not write its outputs. One stopped by a signal says
// nothing: the process is about to end with that signal.
int runFailure(std::ostream& err, const std::string& message) {
    if (stopSignal() == 0) err << kProgram << ": " << message << "\n";
    return kExitFailure;
}

// The screenshot folder: created if missing, and removed again (with any
// parents this run created) when the run fails before it is done.
class ShotsFolder {
public:
    ~ShotsFolder() {
        if (!done_) {
            shots_.clear();  // removes the temporary pictures
            for (const auto& dir : created_) ::rmdir(dir.c_str());
        }
    }

    std::string open(const std::string& path) {
        namespace fs = std::filesystem;
        path_ = path;
        std::error_code ec;
        const fs::path dir(path);
        if (fs::exists(dir, ec)) {
            if (!fs::is_directory(dir, ec)) return "--shots: '" + path + "' exists and is not a directory";
        } else {
            // Note every level that is missing, deepest first, to undo later.
            for (fs::path p = dir; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
                created_.push_back(p.string());
                if (p == p.parent_path()) break;
            }
            if (!fs::create_directories(dir, ec) && ec) {
                const std::string message = "--shots: cannot create '" + path + "': " + ec.message();
                for (const auto& d : created_) ::rmdir(d.c_str());
                created_.clear();
                return message;
            }
        }
        if (::access(path.c_str(), W_OK | X_OK) != 0) {
            return "--shots: cannot write into '" + path + "': " + std::strerror(errno);
        }
        doubled_.resize(static_cast<size_t>(kOutputWidth) * kOutputHeight);
        return {};
    }

    std::string shoot(int64_t frame, const World& world) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(frame));
        OutputFile& file = shots_.emplace_back();
        if (std::string error = file.open((std::filesystem::path(path_) / name).string()); !error.empty()) {
            return error;
        }
        doubleFramebuffer(world, doubled_.data());
        return writePng(file, doubled_, kOutputWidth, kOutputHeight);
    }

    std::string commit() {
        for (OutputFile& shot : shots_) {
            if (std::string error = shot.commit(); !error.empty()) return error;
        }
        done_ = true;
        return {};
    }

private:
    std::string path_;
    std::vector<std::string> created_;
    std::deque<OutputFile> shots_;  // written and closed, not yet renamed
    std::vector<uint32_t> doubled_;
    bool done_ = false;
};

// The outputs of one `play` run. All are created before it, so that a bad
// path is reported at once; all appear only when the run is complete.
struct PlayOutputs {
    OutputFile trace;
    WavWriter wav;
    ShotsFolder shots;

    std::string open(const LabOptions& options) {
        if (options.traceFile) {
            if (std::string error = trace.open(*options.traceFile); !error.empty()) return "--trace: " + error;
        }
        if (options.wavFile) {
            if (std::string error = wav.open(*options.wavFile); !error.empty()) return "--wav: " + error;
        }
        if (options.shotsDir) return shots.open(*options.shotsDir);
        return {};
    }

    std::string commit(const LabOptions& options) {
        std::string error;
        if (options.traceFile) error = trace.commit();
        if (options.wavFile && error.empty()) error = wav.finish();
        if (options.shotsDir && error.empty()) error = shots.commit();
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
    WavWriter wav;
    if (std::string error = wav.open(options.out, options.blocks * 512); !error.empty()) {
        return usageError(err, "--out: " + error);
    }
    std::string writeError;
    lockstep::exportSong(options.seed, options.clockMs, options.blocks, [&](std::span<const float> samples) {
        writeError = wav.write(samples);
        return writeError.empty() && stopSignal() == 0;
    });
    if (writeError.empty() && stopSignal() == 0) writeError = wav.finish();
    return writeError.empty() && stopSignal() == 0 ? kExitOk : runFailure(err, writeError);
}

// Reads a whole file. Returns an empty string or a message.
std::string readWholeFile(const std::string& path, std::string& contents) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return "'" + path + "' is a directory";
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read '" + path + "': " + std::strerror(errno);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return "cannot read '" + path + "'";
    contents = std::move(buffer).str();
    return {};
}

std::string loadKeysScript(const LabOptions& options, KeysScript& script) {
    if (!options.keysFile) return {};
    std::string text;
    if (std::string error = readWholeFile(*options.keysFile, text); !error.empty()) return "--keys: " + error;
    if (std::string error = lockstep::parseKeysScript(text, script); !error.empty()) {
        return "--keys: '" + *options.keysFile + "' " + error;
    }
    return {};
}

int runPlay(const LabOptions& options, std::ostream& err) {
    KeysScript script;
    PlayOutputs outputs;
    if (std::string error = loadKeysScript(options, script); !error.empty()) return usageError(err, error);
    if (std::string error = outputs.open(options); !error.empty()) return usageError(err, error);

    std::string writeError;
    BlockSink sink;
    if (options.wavFile) {
        sink = [&](const RenderedBlock& block) {
            if (writeError.empty()) writeError = outputs.wav.write(block.samples);
        };
    }
    SimulatedRun run(options.seed, options.clockMs, std::move(sink));
    run.start();
    for (int64_t frame = 0; frame < options.frames && writeError.empty() && stopSignal() == 0; ++frame) {
        const bool goOn = run.playFrame(script.stateAt(frame));
        if (options.traceFile && !outputs.trace.write(traceJson(run.world(), run.lastFrame()) + "\n")) {
            writeError = outputs.trace.writeError();
        }
        if (options.shotsDir && frame % options.every == 0 && writeError.empty()) {
            writeError = outputs.shots.shoot(frame, run.world());
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
        err << kProgram << ": out of memory\n";
    } catch (const std::exception& e) {
        err << kProgram << ": " << e.what() << "\n";
    } catch (...) {
        err << kProgram << ": unexpected failure\n";
    }
    return kExitFailure;
}

int runLabProcess(const std::vector<std::string>& args) {
    catchStopSignals();
    int status = runLab(args, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout && status == kExitOk && stopSignal() == 0) {
        std::cerr << kProgram << ": cannot write standard output\n";
        status = kExitFailure;
    }
    endByStopSignal();
    return status;
}

}  // namespace vonkel::lab
