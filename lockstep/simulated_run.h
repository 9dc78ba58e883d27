#pragma once
// Both of the game's threads on one thread and one simulated clock, for the
// hosts that have a single thread: vonkel-lab and the web page.
//
// Audio block k (512 frames) starts at B_k = k x 512 x 1000 / 44100 ms and is
// rendered with the millisecond clock value C + floor(B_k) (32 bits, wrapping).
// Frame f starts at F_f: F_0 = 0, and a frame lasts as long as the frame
// update asked (16 ms in play, 25 ms in the scope view), as the desktop
// frame loop paces it. Before frame f reads its keys, every block not yet
// rendered with B_k <= F_f is rendered, in order. The game starts at 0 ms,
// before block 0.
//
// The main generator lives in the World, as in the game; each block draws
// from its own audio generator, seeded from its clock value.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "core/keys.h"
#include "core/world.h"
#include "lockstep/digests.h"

namespace vonkel::lockstep {

// The arithmetic of the simulated clock, without any World.
class SimulatedClock {
public:
    explicit SimulatedClock(uint32_t clockBaseMs = 0) : clockBase_(clockBaseMs) {}

    // Whether block k starts at or before `timeMs`, compared exactly.
    static bool blockStartsBy(int64_t block, int64_t timeMs);
    // floor(B_k) in ms.
    static int64_t blockStartFloorMs(int64_t block);
    // The millisecond clock value that block k is rendered with.
    uint32_t blockClockMs(int64_t block) const;

    // The next block to render, if it is due before the current frame
    // (and below `blockLimit`, when one is given).
    std::optional<int64_t> nextDueBlock(std::optional<int64_t> blockLimit = std::nullopt) const;
    void blockRendered() { ++nextBlock_; }
    int64_t blocksRendered() const { return nextBlock_; }

    int64_t frameIndex() const { return frame_; }
    int64_t frameStartMs() const { return frameStartMs_; }
    // Ends the current frame, which lasted `lengthMs` but at least
    // kMinFrameMs: the next one starts then.
    void frameEnded(int lengthMs);

private:
    uint32_t clockBase_;
    int64_t nextBlock_ = 0;
    int64_t frame_ = 0;
    int64_t frameStartMs_ = 0;
};

// One block as handed to the sink: its index, the clock value it was rendered
// with, and its samples.
struct RenderedBlock {
    int64_t index;
    uint32_t clockMs;
    std::span<const float> samples;
};
using BlockSink = std::function<void(const RenderedBlock&)>;

// What a single-threaded host reports of each frame it plays: the lab's
// trace lines and the page's per-frame report carry these, so that two runs
// can be compared frame by frame.
struct FrameRecord {
    int64_t frame = 0;     // its index, from 0
    int64_t timeMs = 0;    // its start on the simulated clock
    bool quit = false;     // the game asked to quit in it
    uint64_t grid = 0;         // gridDigest after the frame
    uint64_t framebuffer = 0;  // framebufferDigest after the frame
};

// The World and the clock. Used by `audio` and `play` and by the web page.
class SimulatedRun {
public:
    SimulatedRun(uint32_t seed, uint32_t clockBaseMs, BlockSink sink = {});

    World& world() { return *world_; }
    const World& world() const { return *world_; }
    const SimulatedClock& clock() const { return clock_; }

    // Seeds the main generator and starts the game at 0 ms.
    void start();

    // Renders the blocks due before the current frame, in order, no further
    // than `blockLimit` blocks in all. Returns how many it rendered.
    int64_t renderDueBlocks(std::optional<int64_t> blockLimit = std::nullopt);

    // A whole frame of the game: due blocks, then updateFrame with `keys`.
    // Returns false when the game asked to quit. The clock moves on to the
    // next frame unless the game asked to quit.
    bool playFrame(const KeyState& keys);

    // The record of the last frame that playFrame played (its digests are
    // computed here, when asked for).
    FrameRecord lastFrame() const;

    // A frame that only sweeps the lead voice (the song export): due blocks
    // up to `blockLimit`, then sweepLeadVoice, then the next frame,
    // kMinFrameMs later.
    void sweepFrame(std::optional<int64_t> blockLimit);

private:
    void renderBlock(int64_t index);

    std::unique_ptr<World> world_;
    SimulatedClock clock_;
    BlockSink sink_;
    uint32_t seed_;
    std::unique_ptr<float[]> block_;
    FrameRecord last_;
};

// The song of a new game from `seed`, as the game plays it with no key
// pressed (frames of 16 ms that only sweep the lead voice), for `blocks`
// audio blocks rendered with the clock values C + floor(B_k), C = clockMs.
// Each block goes to `sink` as it is rendered; a sink that returns false
// stops the export there. Returns whether every block was rendered and taken.
bool exportSong(uint32_t seed, uint32_t clockMs, int64_t blocks,
                const std::function<bool(std::span<const float>)>& sink);

}  // namespace vonkel::lockstep
