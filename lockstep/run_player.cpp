#include "lockstep/run_player.h"

#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "game/game.h"
#include "music/sequencer.h"
#include "synth/audio_renderer.h"
#include "lockstep/digests.h"

namespace vonkel::lockstep {
namespace {

// A snapshot of the World for trying both orders of an overlapped block.
// A World holds atomics (Relaxed<T>, the RestartGate), so C++ gives it no
// copy; copying its bytes is sound here: a replay has one thread, the
// atomics are lock-free (Relaxed asserts it) and hold plain values, and
// nothing points into the World. The copy stops before the pictures: a
// block never draws, and a frame update either fills the whole Framebuffer
// anew or (the frame that quits) leaves it alone, so the pictures need no
// going back. The two must stay the World's last fields.
static_assert(std::is_standard_layout_v<World>);
static_assert(offsetof(World, Framebuffer) + sizeof(World::Framebuffer) == offsetof(World, OutputBuffer) &&
              offsetof(World, OutputBuffer) + sizeof(World::OutputBuffer) == sizeof(World));
constexpr size_t kSnapshotBytes = offsetof(World, Framebuffer);

void save(const World& world, unsigned char* snapshot) {
    std::memcpy(snapshot, static_cast<const void*>(&world), kSnapshotBytes);
}
void restore(World& world, const unsigned char* snapshot) {
    std::memcpy(static_cast<void*>(&world), snapshot, kSnapshotBytes);
}

std::string plural(int64_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

std::string RunCheck::summary() const {
    std::string text = pictures == 0 ? "no picture digests"
                                     : "pictures equal " + std::to_string(picturesEqual) + " of " +
                                           std::to_string(pictures);
    if (scopePicturesDiffering > 0) text += " (" + std::to_string(scopePicturesDiffering) + " differing in the scope view)";
    text += sounds == 0 ? ", no sound digests"
                        : ", sound blocks equal " + std::to_string(soundsEqual) + " of " + std::to_string(sounds);
    if (overlappedBlocks > 0) text += " (" + plural(overlappedBlocks, "block") + " rendered while a frame ran)";
    return text + (firstDifference.empty() ? "; no difference" : "; first difference: " + firstDifference);
}

struct RunPlayer::Desktop {
    std::unique_ptr<World> world = std::make_unique<World>();
    SimulatedClock frameClock;  // only its frames
    std::unique_ptr<float[]> first = std::make_unique<float[]>(kMaxScheduledBlockFrames);
    std::unique_ptr<float[]> second = std::make_unique<float[]>(kMaxScheduledBlockFrames);
    std::unique_ptr<unsigned char[]> before, after;  // snapshots, made at the first overlapped block
    size_t nextBlock = 0;
    int64_t stepsDone = 0;
    int64_t place = -1;  // the frame the blocks now rendered precede; -1 the start
    FrameRecord last;
};

RunPlayer::RunPlayer(Run run, BlockSink sink)
    : run_(std::move(run)), sink_(std::move(sink)), keys_(keysScriptOf(run_)) {
    check_.pictures = static_cast<int64_t>(run_.pictures.size());
    check_.sounds = static_cast<int64_t>(run_.sounds.size());
    if (run_.clock) {
        simulated_ = std::make_unique<SimulatedRun>(run_.seed, *run_.clock, [this](const RenderedBlock& block) {
            checkSound(block.index, soundDigest32(block.samples));
            ++blocksRendered_;
            if (sink_) sink_(block);
        });
    } else {
        desktop_ = std::make_unique<Desktop>();
    }
}

RunPlayer::~RunPlayer() = default;

World& RunPlayer::world() { return simulated_ ? simulated_->world() : *desktop_->world; }
const World& RunPlayer::world() const { return simulated_ ? simulated_->world() : *desktop_->world; }

int64_t RunPlayer::frameStartMs() const {
    return simulated_ ? simulated_->clock().frameStartMs() : desktop_->frameClock.frameStartMs();
}

FrameRecord RunPlayer::lastFrame() const {
    if (simulated_) return simulated_->lastFrame();
    FrameRecord record = desktop_->last;
    record.grid = gridDigest(*desktop_->world);
    record.framebuffer = framebufferDigest(*desktop_->world);
    return record;
}

void RunPlayer::start() {
    if (started_) return;
    started_ = true;
    if (simulated_) {
        simulated_->start();
    } else {
        playDesktopStep(0);
    }
}

bool RunPlayer::playFrame() {
    start();
    if (done_) return false;
    const int64_t frame = framesPlayed_;
    if (simulated_) {
        quit_ = !simulated_->playFrame(keys_.stateAt(frame));
        checkPicture(frame);
    } else {
        desktop_->place = frame;
        playDesktopStep(frame + 1);
    }
    ++framesPlayed_;
    const bool last = framesPlayed_ == run_.frames;
    if (quit_ && !last) difference("frame " + std::to_string(frame) + ": the game quit");
    if (last && quit_ != run_.quit) {
        difference("frame " + std::to_string(frame) + (quit_ ? ": the game quit" : ": the game did not quit"));
    }
    if (quit_ || last) finish();
    return !quit_;
}

void RunPlayer::finish() {
    done_ = true;
    if (desktop_) {
        desktop_->place = run_.frames;
        while (desktop_->nextBlock < run_.blocks.size()) renderScheduled(run_.frames + 1);
    }
    if (check_.sounds > blocksRendered_) {
        difference("the end: " + plural(blocksRendered_, "sound block") + " played, the run has " +
                   std::to_string(check_.sounds));
    }
}

// The blocks recorded before `step`, then the step itself, unless an
// overlapped block has had it performed already.
void RunPlayer::playDesktopStep(int64_t step) {
    Desktop& d = *desktop_;
    while (d.nextBlock < run_.blocks.size() && run_.blocks[d.nextBlock].step == step) renderScheduled(step);
    if (d.stepsDone == step) stepDone(step, performStep(step));
}

// A step performed before a given chunk of a block: the order of a
// desktop frame that ran while the block was being rendered.
struct RunPlayer::StepInBlock {
    RunPlayer* player;
    int64_t step;
    int chunk;
    FrameRequest request{};

    static void call(void* context, int chunk) {
        auto& in = *static_cast<StepInBlock*>(context);
        if (chunk == in.chunk) in.request = in.player->performStep(in.step);
    }
};

void RunPlayer::renderScheduled(int64_t step) {
    Desktop& d = *desktop_;
    World& world = *d.world;
    const size_t index = d.nextBlock++;
    const ScheduledBlock& block = run_.blocks[index];
    std::span<const float> samples(d.first.get(), static_cast<size_t>(block.frames));
    if (block.overlapped) ++check_.overlappedBlocks;
    const bool tryOrders = block.overlapped && !run_.sounds.empty() && d.stepsDone == step && step <= run_.frames;
    if (tryOrders && !d.before) {
        d.before = std::make_unique<unsigned char[]>(kSnapshotBytes);
        d.after = std::make_unique<unsigned char[]>(kSnapshotBytes);
    }
    if (tryOrders) save(world, d.before.get());
    renderAudioBlock(world, d.first.get(), block.frames, block.clockMs);
    if (tryOrders && soundDigest32(samples) != run_.sounds[index]) {
        // Not as recorded: the step may have run before any of the block's
        // chunks (chunk 0: the step first).
        save(world, d.after.get());
        bool found = false;
        const std::span<const float> other(d.second.get(), samples.size());
        for (int chunk = 0; !found && chunk < block.frames / kChunkFrames; ++chunk) {
            restore(world, d.before.get());
            StepInBlock in{this, step, chunk};
            renderAudioBlock(world, d.second.get(), block.frames, block.clockMs, sequencerStep,
                             {&StepInBlock::call, &in});
            found = soundDigest32(other) == run_.sounds[index];
            if (found) {
                stepDone(step, in.request);
                samples = other;
            }
        }
        if (!found) restore(world, d.after.get());  // none: the order recorded stands
    }
    checkSound(static_cast<int64_t>(index), soundDigest32(samples));
    ++blocksRendered_;
    if (sink_) sink_(RenderedBlock{static_cast<int64_t>(index), block.clockMs, samples});
}

FrameRequest RunPlayer::performStep(int64_t step) {
    World& world = *desktop_->world;
    if (step == 0) {
        startGame(world, run_.seed);
        return {};
    }
    return updateFrame(world, keys_.stateAt(step - 1));
}

void RunPlayer::stepDone(int64_t step, const FrameRequest& request) {
    Desktop& d = *desktop_;
    d.stepsDone = step + 1;
    if (step == 0) return;
    d.last.frame = step - 1;
    d.last.timeMs = d.frameClock.frameStartMs();
    d.last.quit = request.quit;
    quit_ = request.quit;
    if (!request.quit) d.frameClock.frameEnded(request.minFrameMs);
    checkPicture(step - 1);
}

void RunPlayer::checkPicture(int64_t frame) {
    if (run_.pictures.empty()) return;
    ++check_.picturesCompared;
    if (pictureDigest32(world()) == run_.pictures[static_cast<size_t>(frame)]) {
        ++check_.picturesEqual;
        return;
    }
    if (world().scopeMode) ++check_.scopePicturesDiffering;
    difference("frame " + std::to_string(frame));
}

void RunPlayer::checkSound(int64_t index, uint32_t digest) {
    if (run_.sounds.empty()) return;
    if (index >= check_.sounds) {
        difference("sound block " + std::to_string(index) + ", " + blockPlace() + " (the run has " +
                   std::to_string(check_.sounds) + ")");
        return;
    }
    ++check_.soundsCompared;
    if (digest == run_.sounds[static_cast<size_t>(index)]) {
        ++check_.soundsEqual;
    } else {
        difference("sound block " + std::to_string(index) + ", " + blockPlace());
    }
}

std::string RunPlayer::blockPlace() const {
    const int64_t place = simulated_ ? simulated_->clock().frameIndex() : desktop_->place;
    if (place < 0) return "before the start";
    if (place >= run_.frames) return "after the last frame";
    return "before frame " + std::to_string(place);
}

void RunPlayer::difference(std::string where) {
    if (check_.firstDifference.empty()) check_.firstDifference = std::move(where);
}

RunCheck playRun(Run run, BlockSink sink) {
    RunPlayer player(std::move(run), std::move(sink));
    player.start();
    while (!player.done()) player.playFrame();
    return player.check();
}

}  // namespace vonkel::lockstep
