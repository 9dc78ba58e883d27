#pragma once
// The outputs of one game, played (`play`) or replayed (`replay`), which
// both commands feed the same way: every audio block as rendered, every
// frame after its update. All are opened before the game, so that a bad
// path is reported at once; all get their names together when the game is
// complete, or none.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "game/game.h"
#include "output/output_file.h"
#include "output/video_file.h"
#include "output/wav_writer.h"
#include "tools/lab_options.h"
#include "tools/lab_reports.h"
#include "tools/shots_folder.h"

namespace vonkel::lab {

class GameOutputs {
public:
    explicit GameOutputs(const LabOptions& options) : options_(options) {}

    // `lastFrame`: the last frame the game may play (the longest name of
    // --shots).
    std::string open(int64_t lastFrame);

    bool takesSound() const { return options_.wavFile || options_.videoFile; }
    // Whether one of the outputs is standard output.
    bool onStandardOutput() const;

    // An audio block as rendered.
    void sound(std::span<const float> samples);

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
    std::string commit(std::string_view runText = {});

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

}  // namespace vonkel::lab
