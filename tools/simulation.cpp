#include "tools/simulation.h"

#include "app/random.h"
#include "game/frame_update.h"
#include "synth/audio_renderer.h"

namespace vonkel::lab {
namespace {

constexpr int64_t kBlockNumeratorMs = int64_t{kBlockFrames} * 1000;  // B_k = k x this / rate

void noSleep(int) {}

// Puts a generator state in place for the lifetime of the guard and hands the
// state it leaves behind back to its owner.
class GeneratorSwap {
public:
    explicit GeneratorSwap(uint32_t& owned) : owned_(owned), saved_(randomState()) { setRandomState(owned_); }
    ~GeneratorSwap() {
        owned_ = randomState();
        setRandomState(saved_);
    }
    GeneratorSwap(const GeneratorSwap&) = delete;
    GeneratorSwap& operator=(const GeneratorSwap&) = delete;

private:
    uint32_t& owned_;
    uint32_t saved_;
};

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

void SimulatedClock::frameEnded(bool scopeMode) {
    frameStartMs_ += scopeMode ? kScopeFramePeriodMs : kFramePeriodMs;
    ++frame_;
}

SimulatedRun::SimulatedRun(uint32_t seed, uint32_t clockBaseMs, BlockSink sink)
    : world_(std::make_unique<World>()),
      clock_(clockBaseMs),
      sink_(std::move(sink)),
      seed_(seed),
      block_(std::make_unique<float[]>(kBlockFrames)) {}

void SimulatedRun::onMainThread(const std::function<void()>& body) {
    GeneratorSwap swap(mainState_);
    body();
}

void SimulatedRun::start() {
    onMainThread([&] {
        seedRandom(seed_);
        newGame(*world_);
    });
}

void SimulatedRun::renderBlock(int64_t index) {
    const uint32_t clockMs = clock_.blockClockMs(index);
    {
        GeneratorSwap swap(audioState_);
        renderAudioBlock(*world_, block_.get(), kBlockFrames, clockMs);
    }
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
    bool goOn = true;
    onMainThread([&] { goOn = updateFrame(*world_, keys, &noSleep); });
    if (goOn) clock_.frameEnded(world_->scopeMode);
    return goOn;
}

void SimulatedRun::sweepFrame(std::optional<int64_t> blockLimit) {
    renderDueBlocks(blockLimit);
    onMainThread([&] { sweepLeadVoice(*world_); });
    clock_.frameEnded(false);
}

}  // namespace vonkel::lab
