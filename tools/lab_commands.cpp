#include "tools/lab_commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <ostream>
#include <sstream>

#include "core/random.h"
#include "core/world.h"
#include "game/framebuffer.h"
#include "game/new_game.h"
#include "game/terrain.h"
#include "lockstep/digests.h"
#include "lockstep/simulated_run.h"
#include "tools/json_line.h"
#include "tools/keys_script.h"
#include "tools/output_file.h"
#include "tools/png_writer.h"
#include "tools/wav_writer.h"

namespace vonkel::lab {
namespace {

using lockstep::BlockSink;
using lockstep::framebufferDigest;
using lockstep::gridDigest;
using lockstep::RenderedBlock;
using lockstep::SimulatedRun;

constexpr const char* kProgram = "vonkel-lab";

int usageError(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << "\n";
    return kExitUsage;
}

int runFailure(std::ostream& err, const std::string& message) {
    err << kProgram << ": " << message << "\n";
    return kExitFailure;
}

template <class T, size_t N>
std::vector<int64_t> intsOf(const T (&values)[N]) {
    std::vector<int64_t> out;
    out.reserve(N);
    for (const auto& v : values) out.push_back(static_cast<int64_t>(v.load()));
    return out;
}

template <class T, size_t N>
std::vector<float> floatsOf(const T (&values)[N]) {
    std::vector<float> out;
    out.reserve(N);
    for (const auto& v : values) out.push_back(v.load());
    return out;
}

// A text file written through a buffer into a PendingFile.
class TextOutput {
public:
    std::string open(const std::string& path) { return file_.create(path); }
    bool write(std::string_view text) {
        buffer_ += text;
        return buffer_.size() < (1u << 16) || flush();
    }
    std::string finish() {
        if (!flush()) return "cannot write '" + file_.finalPath() + "': " + std::strerror(errno);
        return file_.commit();
    }
    std::string errorText() const { return "cannot write '" + file_.finalPath() + "': " + std::strerror(errno); }

private:
    bool flush() {
        size_t done = 0;
        while (done < buffer_.size()) {
            const ssize_t n = ::write(file_.fd(), buffer_.data() + done, buffer_.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += static_cast<size_t>(n);
        }
        buffer_.clear();
        return true;
    }

    PendingFile file_;
    std::string buffer_;
};

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
        return {};
    }

    std::string shoot(int64_t frame, const World& world, std::vector<uint32_t>& doubled) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(frame));
        PendingFile file;
        const std::string finalPath = (std::filesystem::path(path_) / name).string();
        if (std::string error = file.create(finalPath); !error.empty()) return error;
        doubleFramebuffer(world, doubled.data());
        if (std::string error = writePng(file, doubled, kOutputWidth, kOutputHeight); !error.empty()) return error;
        shots_.push_back(std::move(file));
        return {};
    }

    std::string commit() {
        for (PendingFile& shot : shots_) {
            if (std::string error = shot.commit(); !error.empty()) return error;
        }
        done_ = true;
        return {};
    }

private:
    std::string path_;
    std::vector<std::string> created_;
    std::vector<PendingFile> shots_;
    bool done_ = false;
};

int runSong(const LabOptions& options, std::ostream& out) {
    auto world = std::make_unique<World>();
    world->mainRandom.seed(options.seed);
    newGame(*world);
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
    if (std::string error = wav.open(options.out); !error.empty()) return usageError(err, "--out: " + error);

    std::string writeError;
    SimulatedRun run(options.seed, options.clockMs, [&](const RenderedBlock& block) {
        if (writeError.empty()) writeError = wav.write(block.samples);
    });
    run.start();
    while (run.clock().blocksRendered() < options.blocks && writeError.empty()) {
        run.sweepFrame(options.blocks);
    }
    if (!writeError.empty()) return runFailure(err, writeError);
    if (std::string error = wav.finish(); !error.empty()) return runFailure(err, error);
    return kExitOk;
}

int runPlay(const LabOptions& options, std::ostream& err) {
    KeysScript script;
    if (options.keysFile) {
        std::string text;
        if (std::string error = readWholeFile(*options.keysFile, text); !error.empty()) {
            return usageError(err, "--keys: " + error);
        }
        if (std::string error = parseKeysScript(text, script); !error.empty()) {
            return usageError(err, "--keys: '" + *options.keysFile + "' " + error);
        }
    }

    // Every output is created before the run, so a bad path is reported at
    // once; all of them appear only when the run is complete.
    TextOutput trace;
    WavWriter wav;
    ShotsFolder shots;
    if (options.traceFile) {
        if (std::string error = trace.open(*options.traceFile); !error.empty()) return usageError(err, "--trace: " + error);
    }
    if (options.wavFile) {
        if (std::string error = wav.open(*options.wavFile); !error.empty()) return usageError(err, "--wav: " + error);
    }
    if (options.shotsDir) {
        if (std::string error = shots.open(*options.shotsDir); !error.empty()) return usageError(err, error);
    }

    std::string writeError;
    BlockSink sink;
    if (options.wavFile) {
        sink = [&](const RenderedBlock& block) {
            if (writeError.empty()) writeError = wav.write(block.samples);
        };
    }
    SimulatedRun run(options.seed, options.clockMs, std::move(sink));
    run.start();

    std::vector<uint32_t> doubled;
    if (options.shotsDir) doubled.resize(static_cast<size_t>(kOutputWidth) * kOutputHeight);

    for (int64_t frame = 0; frame < options.frames && writeError.empty(); ++frame) {
        const int64_t timeMs = run.clock().frameStartMs();
        const bool goOn = run.playFrame(script.stateAt(frame));
        if (options.traceFile) {
            if (!trace.write(traceJson(run.world(), frame, timeMs, !goOn) + "\n")) {
                writeError = trace.errorText();
            }
        }
        if (options.shotsDir && frame % options.every == 0 && writeError.empty()) {
            writeError = shots.shoot(frame, run.world(), doubled);
        }
        if (!goOn) break;
    }
    if (!writeError.empty()) return runFailure(err, writeError);

    if (options.traceFile) {
        if (std::string error = trace.finish(); !error.empty()) return runFailure(err, error);
    }
    if (options.wavFile) {
        if (std::string error = wav.finish(); !error.empty()) return runFailure(err, error);
    }
    if (options.shotsDir) {
        if (std::string error = shots.commit(); !error.empty()) return runFailure(err, error);
    }
    return kExitOk;
}

}  // namespace

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

std::string songJson(const World& world, int nextDraw) {
    std::string voices = "[";
    for (int i = 0; i < kVoiceCount; ++i) {
        const Voice& v = world.voices[i];
        JsonLine line;
        line.number("highLevel", v.highLevel)
            .number("lowLevel", v.lowLevel)
            .number("highSlope", v.highSlope)
            .number("lowSlope", v.lowSlope)
            .integer("noise", v.noise ? 1 : 0)
            .number("attackStep", v.attackStep)
            .number("decayStep", v.decayStep)
            .number("cutoff", v.cutoff)
            .number("damping", v.damping)
            .number("pulseWidth", v.pulseWidth)
            .number("amplitude", v.amplitude);
        if (i != 0) voices += ',';
        voices += line.str();
    }
    voices += ']';

    JsonLine json;
    json.number("terrainTime", world.terrainTime)
        .number("animTime", world.animTime)
        .number("masterGain", world.masterGain)
        .integer("chunksPerStep", world.chunksPerStep)
        .integer("chunkCounter", world.chunkCounter)
        .integer("bassOffbeat", world.bassOffbeat ? 1 : 0)
        .integers("barRoots", intsOf(world.barRoots))
        .integers("barQualities", intsOf(world.barQualities))
        .integer("currentRoot", world.currentRoot)
        .integer("currentQuality", world.currentQuality)
        .integer("stepIndex", world.stepIndex)
        .integer("barIndex", world.barIndex)
        .integers("melodyPattern", intsOf(world.melodyPattern))
        .integer("melodyLength", world.melodyLength)
        .integers("drumPattern", intsOf(world.drumPattern))
        .raw("voices", voices)
        .numbers("notePeriods", floatsOf(world.NotePeriodTable))
        .integer("nextDraw", nextDraw);
    return json.str();
}

std::string traceJson(const World& world, int64_t frame, int64_t timeMs, bool quit) {
    std::string pickups = "[";
    bool first = true;
    for (size_t slot = 0; slot < world.pickups.size(); ++slot) {
        const Pickup& p = world.pickups[slot];
        if (!p.active) continue;
        if (!first) pickups += ',';
        first = false;
        pickups += '[' + std::to_string(slot) + ',' + std::to_string(p.column) + ',' + std::to_string(p.row) + ']';
    }
    pickups += ']';

    JsonLine json;
    json.integer("frame", frame)
        .integer("time", timeMs)
        .boolean("quit", quit)
        .integer("playerX", world.playerX)
        .integer("playerY", world.playerY)
        .integer("playerDirection", world.playerDirection)
        .integer("energy", world.energy)
        .integer("boostFuel", world.boostFuel)
        .integer("score", world.score)
        .integer("frameCounter", world.frameCounter)
        .integer("gameOverCounter", world.gameOverCounter)
        .integer("scopeMode", world.scopeMode ? 1 : 0)
        .integer("tileOrientation", world.tileOrientation)
        .number("terrainTime", world.terrainTime)
        .number("terrainSpeed", world.terrainSpeed)
        .number("animTime", world.animTime)
        .number("masterGain", world.masterGain)
        .integer("beatFlag", world.beatFlag ? 1 : 0)
        .integer("stepIndex", world.stepIndex)
        .integer("barIndex", world.barIndex)
        .integer("currentRoot", world.currentRoot)
        .integer("currentQuality", world.currentQuality)
        .raw("pickups", pickups)
        .string("grid", toHex16(gridDigest(world)))
        .string("framebuffer", toHex16(framebufferDigest(world)));
    return json.str();
}

std::string terrainText(const World& world) {
    std::string text;
    int64_t counts[3] = {0, 0, 0};
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column) {
            const int32_t kind = world.TerrainGrid[static_cast<size_t>(row * kGridColumns + column)];
            if (kind >= 0 && kind <= 2) {
                ++counts[kind];
                text += static_cast<char>('0' + kind);
            } else {
                text += '?';  // never a kind of the field; shown rather than hidden
            }
        }
        text += '\n';
    }
    text += "counts: " + std::to_string(counts[0]) + ' ' + std::to_string(counts[1]) + ' ' +
            std::to_string(counts[2]) + '\n';
    return text;
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

int runLab(int argc, char** argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args;
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        if (argv[i] != nullptr) args.emplace_back(argv[i]);
    }
    return runLab(args, out, err);
}

}  // namespace vonkel::lab
