#include "lockstep/simulated_run.h"

#include <algorithm>

#include "game/frame_update.h"
#include "game/game.h"

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

void SimulatedClock::frameEnded(int lengthMs) {
    frameStartMs_ += std::max(kMinFrameMs, lengthMs);
    ++frame_;
}

SimulatedRun::SimulatedRun(uint32_t seed, uint32_t clockBaseMs, BlockSink sink)
    : world_(std::make_unique<World>()),
      clock_(clockBaseMs),
      sink_(std::move(sink)),
      seed_(seed),
      block_(std::make_unique<float[]>(kBlockFrames)) {}

void SimulatedRun::start() { startGame(*world_, seed_); }

void SimulatedRun::renderBlock(int64_t index) {
    const uint32_t clockMs = clock_.blockClockMs(index);
    renderAudioBlock(*world_, block_.get(), kBlockFrames, clockMs);
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
    last_.frame = clock_.frameIndex();
    last_.timeMs = clock_.frameStartMs();
    const FrameRequest request = updateFrame(*world_, keys);
    last_.quit = request.quit;
    if (!request.quit) clock_.frameEnded(request.minFrameMs);
    return !request.quit;
}

FrameRecord SimulatedRun::lastFrame() const {
    FrameRecord record = last_;
    record.grid = gridDigest(*world_);
    record.framebuffer = framebufferDigest(*world_);
    return record;
}

void SimulatedRun::sweepFrame(std::optional<int64_t> blockLimit) {
    renderDueBlocks(blockLimit);
    sweepLeadVoice(*world_);
    clock_.frameEnded(kMinFrameMs);
}

bool exportSong(uint32_t seed, uint32_t clockMs, int64_t blocks,
                const std::function<bool(std::span<const float>)>& sink) {
    bool taken = true;
    SimulatedRun run(seed, clockMs, [&](const RenderedBlock& block) { taken = taken && sink(block.samples); });
    run.start();
    while (taken && run.clock().blocksRendered() < blocks) run.sweepFrame(blocks);
    return taken;
}

}  // namespace vonkel::lockstep
