// The web page's side of the wasm module: a thin shell over the single-
// threaded run of lockstep/ that the page's script calls once per frame.
// The script owns real time (animation frames, the audio worklet, the
// keyboard); everything the game computes stays on the simulated clock, so
// a page and vonkel-lab given the same seed, clock and keys agree frame for
// frame and sample for sample.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/keys.h"
#include "core/world.h"
#include "game/framebuffer.h"
#include "lockstep/digests.h"
#include "lockstep/frame_pacer.h"
#include "lockstep/simulated_run.h"
#include "synth/audio_renderer.h"
#include "web/page_keys.h"

namespace vonkel::web {
namespace {

// One game from start-up to quit, and what the page takes from it.
struct PageGame {
    std::unique_ptr<lockstep::SimulatedRun> run;
    lockstep::FramePacer pacer;
    std::vector<float> pendingSamples;  // rendered, not yet taken by the page
    lockstep::Fnv1a64 sampleHash;       // every sample rendered, 4 bytes each
    int64_t samplesRendered = 0;
    std::vector<uint32_t> canvasPixels = std::vector<uint32_t>(static_cast<size_t>(kOutputWidth) * kOutputHeight);
    char digestText[52] = {};
    char statusText[96] = {};
};

PageGame& game() {
    static PageGame instance;
    return instance;
}

void takeBlock(const lockstep::RenderedBlock& block) {
    PageGame& g = game();
    g.pendingSamples.insert(g.pendingSamples.end(), block.samples.begin(), block.samples.end());
    for (float sample : block.samples) {
        uint32_t bits;
        std::memcpy(&bits, &sample, sizeof bits);
        g.sampleHash.addU32LittleEndian(bits);
    }
    g.samplesRendered += static_cast<int64_t>(block.samples.size());
}

void writeHex16(uint64_t value, char* out) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int i = 15; i >= 0; --i) {
        out[i] = kDigits[value & 0xF];
        value >>= 4;
    }
}

}  // namespace
}  // namespace vonkel::web

using namespace vonkel;
using namespace vonkel::web;

extern "C" {

// A new start-up: a fresh World seeded with `seed`, newGame at 0 ms, audio
// block k rendered with the clock value clockMs + floor(B_k). The frame
// schedule starts at real time `realMs` (the page's clock).
EMSCRIPTEN_KEEPALIVE void vonkel_start(uint32_t seed, uint32_t clockMs, double realMs) {
    PageGame& g = game();
    g.run.reset();
    g.pendingSamples.clear();
    g.sampleHash = lockstep::Fnv1a64{};
    g.samplesRendered = 0;
    g.run = std::make_unique<lockstep::SimulatedRun>(seed, clockMs, takeBlock);
    g.run->start();
    g.pacer.start(realMs);
}

// A display refresh at real time realMs; then vonkel_frame_due says, frame
// after frame, whether the next one runs now (see lockstep/frame_pacer.h).
EMSCRIPTEN_KEEPALIVE void vonkel_begin_refresh(double realMs) { game().pacer.beginRefresh(realMs); }
EMSCRIPTEN_KEEPALIVE int vonkel_frame_due() {
    PageGame& g = game();
    return g.pacer.frameDue(g.run->clock().frameStartMs()) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE double vonkel_rebase_count() { return static_cast<double>(game().pacer.rebaseCount()); }

// One frame with the keys held (a mask of PageKey bits): the audio blocks due
// before it, then the frame update. Returns 0 when the game asked to quit.
EMSCRIPTEN_KEEPALIVE int vonkel_play_frame(int keyMask) {
    return game().run->playFrame(keyStateOf(static_cast<uint32_t>(keyMask))) ? 1 : 0;
}

// The frame about to be played and the simulated time it starts at.
EMSCRIPTEN_KEEPALIVE double vonkel_frame_index() { return static_cast<double>(game().run->clock().frameIndex()); }
EMSCRIPTEN_KEEPALIVE double vonkel_frame_start_ms() {
    return static_cast<double>(game().run->clock().frameStartMs());
}

// The 640 x 480 output picture as canvas pixels (RGBA bytes, opaque).
EMSCRIPTEN_KEEPALIVE const uint32_t* vonkel_canvas_pixels() {
    PageGame& g = game();
    World& world = g.run->world();
    doubleFramebuffer(world, world.OutputBuffer.data());
    canvasPixelsOf(world.OutputBuffer.data(), g.canvasPixels.data(), g.canvasPixels.size());
    return g.canvasPixels.data();
}

// The samples rendered since the page last took them.
EMSCRIPTEN_KEEPALIVE const float* vonkel_pending_samples() { return game().pendingSamples.data(); }
EMSCRIPTEN_KEEPALIVE int vonkel_pending_sample_count() { return static_cast<int>(game().pendingSamples.size()); }
EMSCRIPTEN_KEEPALIVE void vonkel_take_samples() { game().pendingSamples.clear(); }

// "GRID FRAMEBUFFER SAMPLEHASH": the lab trace's digests of the last frame
// and the FNV-1a digest of every sample rendered so far (4 bytes each, least
// significant first: the data of the lab's WAV file).
EMSCRIPTEN_KEEPALIVE const char* vonkel_digests() {
    PageGame& g = game();
    writeHex16(lockstep::gridDigest(g.run->world()), g.digestText);
    g.digestText[16] = ' ';
    writeHex16(lockstep::framebufferDigest(g.run->world()), g.digestText + 17);
    g.digestText[33] = ' ';
    writeHex16(g.sampleHash.value(), g.digestText + 34);
    g.digestText[50] = '\0';
    return g.digestText;
}
EMSCRIPTEN_KEEPALIVE double vonkel_samples_rendered() { return static_cast<double>(game().samplesRendered); }

// "PLAYERX PLAYERY SCOPEMODE GAMEOVERCOUNTER ENERGY SCORE": what a test of
// the live page checks after its key events.
EMSCRIPTEN_KEEPALIVE const char* vonkel_status() {
    PageGame& g = game();
    const World& w = g.run->world();
    std::snprintf(g.statusText, sizeof g.statusText, "%d %d %d %d %d %d", w.playerX, w.playerY, w.scopeMode ? 1 : 0,
                  w.gameOverCounter, w.energy, w.score);
    return g.statusText;
}

// For measuring the synthesiser alone (the audio real-time factor): a fresh
// song for `seed` rendered for `seconds` on the simulated clock, frames only
// sweeping the lead voice, as `vonkel-lab audio` does. Returns the samples
// rendered. It replaces the page's game, which must be started anew.
EMSCRIPTEN_KEEPALIVE double vonkel_render_song(uint32_t seed, double seconds) {
    PageGame& g = game();
    vonkel_start(seed, 0, 0);
    const auto blocks = static_cast<int64_t>(seconds * kSampleRate / kBlockFrames);
    while (g.run->clock().blocksRendered() < blocks) {
        g.run->sweepFrame(blocks);
        g.pendingSamples.clear();
    }
    return static_cast<double>(g.samplesRendered);
}

}  // extern "C"
