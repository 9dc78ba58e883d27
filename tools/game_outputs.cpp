#include "tools/game_outputs.h"

#include "output/stop_signal.h"

namespace vonkel::lab {

using output::stopSignal;

std::string GameOutputs::open(int64_t lastFrame) {
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

bool GameOutputs::onStandardOutput() const {
    for (const auto* path : {&options_.traceFile, &options_.wavFile, &options_.videoFile, &options_.runFile}) {
        if (*path == "-") return true;
    }
    return false;
}

void GameOutputs::sound(std::span<const float> samples) {
    if (options_.wavFile && error_.empty()) error_ = wav_.write(samples);
    if (options_.videoFile && error_.empty()) error_ = video_.addSound(samples);
}

std::string GameOutputs::commit(std::string_view runText) {
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

}  // namespace vonkel::lab
