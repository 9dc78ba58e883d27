#include "lockstep/simulated_run.h"

#include <algorithm>

#include "game/new_game.h"
#include "music/sequencer.h"
#include "synth/audio_renderer.h"

namespace vonkel::lockstep {
namespace {

constexpr int64_t kBlockNumeratorMs = int64_t{kBlockFrames} * 1000;  // B_k = k x this / rate

}  // namespace

bool SimulatedClock::blockStartsBy(int64_t block, int64_t timeMs) {
    return block * kBlockNumeratorMs <= timeMs * kSampleRate;
}

int64_t SimulatedClock::blockStartFloorMs(int64_t block) { return block * kBlockNumeratorMs / kSampleRate; }

uint32_t SimulatedClock::blockClockMs(int64_t block) const {
    return clockBase_ + static_cast<uint32_t>(static_cast<uint64_t>(blockStartFloorMs(block)));
}

std::optional<int64_t> SimulatedClock::nextDueBlock(std::optional<int64_t> blockLimit) const {
    if (blockLimit && nextBlock_ >= *blockLimit) return std::nullopt;
    if (!blockStartsBy(nextBlock_, frameStartMs_)) return std::nullopt;
    return nextBlock_;
}

void SimulatedClock::sleep(int milliseconds) { sleptMs_ += std::max(milliseconds, 0); }

void SimulatedClock::frameEnded() {
    frameStartMs_ += std::max<int64_t>(kMinFrameMs, sleptMs_);
    sleptMs_ = 0;
    ++frame_;
}

SimulatedRun::SimulatedRun(uint32_t seed, uint32_t clockBaseMs, BlockSink sink)
    : world_(std::make_unique<World>()),
      clock_(clockBaseMs),
      sink_(std::move(sink)),
      seed_(seed),
      block_(std::make_unique<float[]>(kBlockFrames)) {}

void SimulatedRun::start() {
    world_->mainRandom.seed(seed_);
    newGame(*world_);
}

void SimulatedRun::renderBlock(int64_t index) {
    const uint32_t clockMs = clock_.blockClockMs(index);
    renderAudioBlock(*world_, block_.get(), kBlockFrames, clockMs, sequencerStep);
    clock_.blockRendered();
    if (sink_) sink_(RenderedBlock{index, clockMs, std::span<const float>(block_.get(), kBlockFrames)});
}

int64_t SimulatedRun::renderDueBlocks(std::optional<int64_t> blockLimit) {
    int64_t rendered = 0;
    while (const auto block = clock_.nextDueBlock(blockLimit)) {
        renderBlock(*block);
        ++rendered;
    }
    return rendered;
}

bool SimulatedRun::playFrame(const KeyState& keys) {
    renderDueBlocks();
    const bool goOn = updateFrame(*world_, keys, clock_);
    if (goOn) clock_.frameEnded();
    return goOn;
}

void SimulatedRun::sweepFrame(std::optional<int64_t> blockLimit) {
    renderDueBlocks(blockLimit);
    sweepLeadVoice(*world_);
    clock_.frameEnded();
}

}  // namespace vonkel::lockstep
