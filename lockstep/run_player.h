#pragma once
// Replays a run (lockstep/run_file.h) frame by frame and checks it against
// the run's digests.
//
// A run with a clock is exactly SimulatedRun with the run's seed, clock base
// and keys: the same blocks in the same order, so the lab makes from it the
// very outputs of `play`. A desktop run starts from the zero World: the
// blocks of step 0, then startGame; then, for each frame f, the blocks of
// step f + 1 and frame f's update; after the last frame the blocks left.
// Frame times follow the simulated frame clock (a frame lasts the
// FrameRequest's minFrameMs), as in SimulatedRun.
//
// A desktop block that overlapped step s is first rendered before it, as
// recorded; if its sound digest differs, the World goes back and step s is
// performed before each of the block's chunks in turn (the frame ran while
// the block was being rendered), and the first order whose digest matches
// is kept; if none does, the recorded order stands and a difference is
// counted.
//
// No threads, no files, no exceptions of its own: the page runs it in wasm,
// a frame at a time.
#include <cstdint>
#include <memory>
#include <string>

#include "core/world.h"
#include "game/game.h"
#include "lockstep/key_script.h"
#include "lockstep/run_file.h"
#include "lockstep/simulated_run.h"

namespace vonkel::lockstep {

// What the replay found so far.
struct RunCheck {
    int64_t pictures = 0;  // picture digests in the run
    int64_t picturesCompared = 0;
    int64_t picturesEqual = 0;
    int64_t scopePicturesDiffering = 0;  // differing pictures drawn in the scope view
    int64_t sounds = 0;                  // sound digests in the run
    int64_t soundsCompared = 0;
    int64_t soundsEqual = 0;
    int64_t overlappedBlocks = 0;  // rendered while a step ran on the other thread
    // "frame 123", "sound block 4567, before frame 89" (or "before the
    // start", "after the last frame"), "frame 99: the game quit", ...; empty
    // while none.
    std::string firstDifference;

    // "pictures equal 11250 of 11250, sound blocks equal 15480 of 15503 (12
    // blocks rendered while a frame ran); first difference: sound block
    // 1234, before frame 567"
    std::string summary() const;
};

class RunPlayer {
public:
    explicit RunPlayer(Run run, BlockSink sink = {});
    ~RunPlayer();
    RunPlayer(const RunPlayer&) = delete;
    RunPlayer& operator=(const RunPlayer&) = delete;

    const Run& run() const { return run_; }
    World& world();
    const World& world() const;

    // Up to the first frame: startGame, and in a desktop run the blocks
    // before it. playFrame starts the run if this was not called.
    void start();
    // The next frame: the blocks before it, then its update with the run's
    // keys; after the run's last frame, the blocks after it. Returns false
    // when the game asked to quit (the run is then over too).
    bool playFrame();
    // Every frame played, or the game quit.
    bool done() const { return done_; }

    // The next frame to play, and its start on the simulated frame clock.
    int64_t frameIndex() const { return framesPlayed_; }
    int64_t frameStartMs() const;
    // The record of the last frame played (its 64-bit digests computed when
    // asked for).
    FrameRecord lastFrame() const;

    const RunCheck& check() const { return check_; }

private:
    struct Desktop;
    struct StepInBlock;

    void playDesktopStep(int64_t step);
    void renderScheduled(int64_t step);
    FrameRequest performStep(int64_t step);
    void stepDone(int64_t step, const FrameRequest& request);
    void checkPicture(int64_t frame);
    void checkSound(int64_t index, uint32_t digest);
    void difference(std::string where);
    std::string blockPlace() const;
    void finish();

    Run run_;
    BlockSink sink_;
    KeysScript keys_;
    std::unique_ptr<SimulatedRun> simulated_;  // a run with a clock
    std::unique_ptr<Desktop> desktop_;         // a desktop run
    int64_t framesPlayed_ = 0;
    int64_t blocksRendered_ = 0;
    bool started_ = false;
    bool done_ = false;
    bool quit_ = false;  // the last frame played asked to quit
    RunCheck check_;
};

// Plays a whole run and returns what its check found.
RunCheck playRun(Run run, BlockSink sink = {});

}  // namespace vonkel::lockstep
