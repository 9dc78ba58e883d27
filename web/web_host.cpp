// The web page's side of the wasm module: a thin shell over the single-
// threaded run of lockstep/ that the page's script calls once per frame.
// The script owns real time (animation frames, the audio worklet, the
// keyboard); everything the game computes stays on the simulated clock, so
// a page and vonkel-lab given the same seed, clock and keys agree frame for
// frame and sample for sample.
//
// The page plays either its own game, which it records as a run (for Share
// run), or a run it was given (a link or a file), replayed by the core's
// run player; the frame exports below serve both.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/world.h"
#include "game/game.h"
#include "lockstep/decimal.h"
#include "lockstep/digests.h"
#include "lockstep/frame_pacer.h"
#include "lockstep/key_script.h"
#include "lockstep/run_file.h"
#include "lockstep/run_player.h"
#include "lockstep/run_recorder.h"
#include "lockstep/simulated_run.h"
#include "web/canvas_pixels.h"
#include "web/page_runs.h"

namespace vonkel::web {
namespace {

// What the page's runs say they come from.
constexpr std::string_view kPageFrom = "page vonkel " VONKEL_VERSION;

// One start-up from its first frame to quit, or one run replayed, and what
// the page takes from it.
struct PageGame {
    std::unique_ptr<lockstep::SimulatedRun> run;       // the page's own game
    std::unique_ptr<lockstep::RunRecorder> recorder;   // ... recorded as it is played
    std::unique_ptr<lockstep::RunPlayer> player;       // or a run replayed
    std::optional<lockstep::Run> loaded;               // a run read, not yet played
    lockstep::FramePacer pacer;
    std::vector<float> pendingSamples;  // rendered, not yet taken by the page
    lockstep::Fnv1a64 sampleHash;       // every sample rendered, 4 bytes each
    int64_t samplesRendered = 0;
    std::vector<uint32_t> canvasPixels = std::vector<uint32_t>(static_cast<size_t>(kOutputWidth) * kOutputHeight);
    lockstep::KeysScript script;  // the ?keys= script, read by the lab's reader
    std::string text;             // the last text handed to the page
    int64_t number = 0;           // the last number vonkel_read_integer took

    World& world() { return player ? player->world() : run->world(); }
    int64_t frameIndex() const { return player ? player->frameIndex() : run->clock().frameIndex(); }
    int64_t frameStartMs() const { return player ? player->frameStartMs() : run->clock().frameStartMs(); }
    lockstep::FrameRecord lastFrame() const { return player ? player->lastFrame() : run->lastFrame(); }
};

PageGame& game() {
    static PageGame instance;
    return instance;
}

void takeBlock(const lockstep::RenderedBlock& block) {
    PageGame& g = game();
    g.pendingSamples.insert(g.pendingSamples.end(), block.samples.begin(), block.samples.end());
    for (float sample : block.samples) {
        uint32_t bits;  // (the wasm build's library has no std::bit_cast)
        std::memcpy(&bits, &sample, sizeof bits);
        g.sampleHash.addU32LittleEndian(bits);
    }
    g.samplesRendered += static_cast<int64_t>(block.samples.size());
    if (g.recorder) g.recorder->block(lockstep::soundDigest32(block.samples));
}

// A new game or replay: nothing of the last one is left to take.
void clearSamples() {
    PageGame& g = game();
    g.pendingSamples.clear();
    g.sampleHash = lockstep::Fnv1a64{};
    g.samplesRendered = 0;
}

// Text for the page, valid until the next call that returns text.
const char* pageText(std::string text) {
    game().text = std::move(text);
    return game().text.c_str();
}

// Reads a run's text (or a link's) and keeps it for vonkel_play_run.
std::string readPageRun(std::string_view text, bool link) {
    lockstep::Run run;
    if (text.size() > lockstep::kMaxRunBytes) return lockstep::readRun(text, run);  // the reader's words
    const std::string linked = link ? runTextOfLink(text) : std::string();
    if (link) text = linked;
    if (std::string error = pageReadsRun(text); !error.empty()) return error;
    if (std::string error = lockstep::readRun(text, run); !error.empty()) return error;
    if (std::string error = pagePlaysRun(run); !error.empty()) return error;
    game().loaded = std::move(run);
    return {};
}

}  // namespace
}  // namespace vonkel::web

using namespace vonkel;
using namespace vonkel::web;

extern "C" {

// A new start-up: a fresh World seeded with `seed`, newGame at 0 ms, audio
// block k rendered with the clock value clockMs + floor(B_k). The frame
// schedule starts at real time `realMs` (the page's clock).
// The start-up is recorded as a run from here on.
EMSCRIPTEN_KEEPALIVE void vonkel_start(uint32_t seed, uint32_t clockMs, double realMs) {
    PageGame& g = game();
    g.player.reset();
    g.run.reset();
    clearSamples();
    g.recorder = std::make_unique<lockstep::RunRecorder>(seed, clockMs);
    g.run = std::make_unique<lockstep::SimulatedRun>(seed, clockMs, takeBlock);
    g.run->start();
    g.pacer.start(realMs);
}

// A display refresh at real time realMs; then vonkel_frame_due says, frame
// after frame, whether the next one runs now (see lockstep/frame_pacer.h).
EMSCRIPTEN_KEEPALIVE void vonkel_begin_refresh(double realMs) { game().pacer.beginRefresh(realMs); }
EMSCRIPTEN_KEEPALIVE int vonkel_frame_due() {
    PageGame& g = game();
    return g.pacer.frameDue(g.frameStartMs()) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE double vonkel_rebase_count() { return static_cast<double>(game().pacer.rebaseCount()); }

// One frame with the keys held (a mask of PageKey bits): the audio blocks due
// before it, then the frame update. Returns 0 when the game asked to quit.
// A run replayed plays its own keys: `keyMask` is ignored, and 0 comes back
// once the run is over.
EMSCRIPTEN_KEEPALIVE int vonkel_play_frame(int keyMask) {
    PageGame& g = game();
    if (g.player) return g.player->playFrame() && !g.player->done() ? 1 : 0;
    const bool goOn = g.run->playFrame(lockstep::keyStateOf(static_cast<uint32_t>(keyMask)));
    g.recorder->frame(static_cast<uint8_t>(keyMask), lockstep::pictureDigest32(g.run->world()), !goOn);
    return goOn ? 1 : 0;
}

// The frame about to be played and the simulated time it starts at.
EMSCRIPTEN_KEEPALIVE double vonkel_frame_index() { return static_cast<double>(game().frameIndex()); }
EMSCRIPTEN_KEEPALIVE double vonkel_frame_start_ms() { return static_cast<double>(game().frameStartMs()); }

// The 640 x 480 output picture as canvas pixels (RGBA bytes, opaque).
EMSCRIPTEN_KEEPALIVE const uint32_t* vonkel_canvas_pixels() {
    PageGame& g = game();
    World& world = g.world();
    doubleFramebuffer(world, world.OutputBuffer.data());
    canvasPixelsOf(world.OutputBuffer.data(), g.canvasPixels.data(), g.canvasPixels.size());
    return g.canvasPixels.data();
}

// The samples rendered since the page last took them.
EMSCRIPTEN_KEEPALIVE const float* vonkel_pending_samples() { return game().pendingSamples.data(); }
EMSCRIPTEN_KEEPALIVE int vonkel_pending_sample_count() { return static_cast<int>(game().pendingSamples.size()); }
EMSCRIPTEN_KEEPALIVE void vonkel_take_samples() { game().pendingSamples.clear(); }

// "FRAME TIME QUIT GRID FRAMEBUFFER SAMPLES SAMPLEHASH": the record of the
// last frame played (as in the lab's trace), the samples rendered so far and
// their FNV-1a digest (4 bytes each, least significant first: the data of
// the lab's WAV file).
EMSCRIPTEN_KEEPALIVE const char* vonkel_frame_record() {
    PageGame& g = game();
    const lockstep::FrameRecord r = g.lastFrame();
    return pageText(std::to_string(r.frame) + ' ' + std::to_string(r.timeMs) + ' ' + (r.quit ? "1 " : "0 ") +
                    lockstep::hex16(r.grid) + ' ' + lockstep::hex16(r.framebuffer) + ' ' +
                    std::to_string(g.samplesRendered) + ' ' + lockstep::hex16(g.sampleHash.value()));
}

// "PLAYERX PLAYERY SCOPEMODE GAMEOVERCOUNTER ENERGY SCORE SONG": what a test
// of the live page checks after its key events, and the song's number.
EMSCRIPTEN_KEEPALIVE const char* vonkel_status() {
    const World& w = game().world();
    char text[96];
    std::snprintf(text, sizeof text, "%d %d %d %d %d %d %u", w.playerX, w.playerY, w.scopeMode ? 1 : 0,
                  w.gameOverCounter, w.energy, w.score, w.songNumber);
    return pageText(text);
}

// The number of the song playing, as `vonkel --verbose` prints it: a
// start-up seeded with it plays that song in its first game.
EMSCRIPTEN_KEEPALIVE double vonkel_song_number() { return static_cast<double>(game().world().songNumber); }

// Runs (lockstep/run_file.h). Reads `length` bytes at `bytes`, a run's text
// or, if `link` is 1, a link's (web/page_runs.h). Returns "" and keeps the
// run for vonkel_play_run, or one line that says why it is not played: the
// reader's ("line 7: ...") or the page's limits.
EMSCRIPTEN_KEEPALIVE const char* vonkel_read_run(const char* bytes, double length, int link) {
    game().loaded.reset();
    return pageText(readPageRun(std::string_view(bytes, static_cast<size_t>(length)), link != 0));
}
EMSCRIPTEN_KEEPALIVE double vonkel_max_run_bytes() { return static_cast<double>(lockstep::kMaxRunBytes); }

// "SEED FRAMES CLOCK DIGESTS FROM" of the run read: CLOCK is "-" for a
// desktop run, DIGESTS 1 if the run can be checked (pictures or sounds).
EMSCRIPTEN_KEEPALIVE const char* vonkel_run_info() {
    const lockstep::Run& run = *game().loaded;
    const bool digests = !run.pictures.empty() || !run.sounds.empty();
    return pageText(std::to_string(run.seed) + ' ' + std::to_string(run.frames) + ' ' +
                    (run.clock ? std::to_string(*run.clock) : "-") + (digests ? " 1 " : " 0 ") + run.from);
}

// Replays the run read, from its start, paced from real time `realMs` on:
// vonkel_play_frame plays its frames, its blocks go where the game's go.
EMSCRIPTEN_KEEPALIVE void vonkel_play_run(double realMs) {
    PageGame& g = game();
    if (!g.loaded) return;
    g.run.reset();
    g.recorder.reset();
    clearSamples();
    g.player = std::make_unique<lockstep::RunPlayer>(std::move(*g.loaded), takeBlock);
    g.loaded.reset();
    g.player->start();
    g.pacer.start(realMs);
}

// What the replay's check found ("pictures equal 3000 of 3000, ...").
EMSCRIPTEN_KEEPALIVE const char* vonkel_run_summary() { return pageText(game().player->check().summary()); }

// The page's own game so far as the text of a link: seed, clock and key
// changes, without the digests, which a link does not need.
EMSCRIPTEN_KEEPALIVE const char* vonkel_run_link_text() {
    PageGame& g = game();
    lockstep::Run run;
    if (!g.recorder || !lockstep::readRun(g.recorder->text(kPageFrom), run).empty()) return pageText("");
    run.pictures.clear();
    run.sounds.clear();
    return pageText(linkTextOf(lockstep::writeRun(run)));
}

// Reads a key script (the lab's format and reader). Returns "" and keeps the
// script, or the message of its first fault.
EMSCRIPTEN_KEEPALIVE const char* vonkel_read_keys(const char* text) {
    return pageText(lockstep::parseKeysScript(text, game().script));
}
// Reads a whole number of the URL (?seed=, ?clock=, ?frames=) with the
// lab's reader: plain decimal digits in [min, max], so "010", "+5" and "1e3"
// are refused as the lab refuses them. Returns "" and keeps the number for
// vonkel_integer_read, or the lab's words for what it expected.
EMSCRIPTEN_KEEPALIVE const char* vonkel_read_integer(const char* text, double min, double max) {
    const auto low = static_cast<int64_t>(min);
    const auto high = static_cast<int64_t>(max);
    const auto value = lockstep::readInteger(text, low, high);
    if (!value) {
        return pageText("expected an integer " + std::to_string(low) + ".." + std::to_string(high) + ", got '" +
                        lockstep::printable(text) + "'");
    }
    game().number = *value;
    return pageText("");
}
EMSCRIPTEN_KEEPALIVE double vonkel_integer_read() { return static_cast<double>(game().number); }
// The key mask the script holds in frame `frame`.
EMSCRIPTEN_KEEPALIVE int vonkel_script_keys(double frame) {
    return game().script.keysAt(static_cast<int64_t>(frame));
}
// The mask of a key list such as "up" or "left,z", or -1 if it is not one:
// the page's keyboard, pad and touch pad build their masks from the names.
EMSCRIPTEN_KEEPALIVE int vonkel_key_mask(const char* names) {
    uint8_t mask = 0;
    return lockstep::parseKeyList(names, mask).empty() ? mask : -1;
}

// For measuring the synthesiser alone (the audio real-time factor): the song
// of `seed` rendered for `seconds`, as `vonkel-lab audio` renders it.
// Returns the samples rendered. The page's game is left as it was.
EMSCRIPTEN_KEEPALIVE double vonkel_render_song(uint32_t seed, double seconds) {
    const auto blocks = static_cast<int64_t>(seconds * kSampleRate / kBlockFrames);
    int64_t rendered = 0;
    lockstep::exportSong(seed, 0, blocks, [&](std::span<const float> samples) {
        rendered += static_cast<int64_t>(samples.size());
        return true;
    });
    return static_cast<double>(rendered);
}

}  // extern "C"
