#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "game/game.h"
#include "lockstep/digests.h"
#include "lockstep/key_script.h"
#include "lockstep/run_file.h"
#include "lockstep/run_player.h"
#include "lockstep/run_recorder.h"
#include "lockstep/simulated_run.h"
#include "music/sequencer.h"
#include "synth/audio_renderer.h"

namespace vonkel::lockstep {
namespace {

// What a game put out: every block's samples and every frame's record.
struct Outputs {
    std::vector<std::vector<float>> blocks;
    std::vector<FrameRecord> frames;

    void take(const RenderedBlock& block) { blocks.emplace_back(block.samples.begin(), block.samples.end()); }
};

void expectSameOutputs(const Outputs& a, const Outputs& b) {
    ASSERT_EQ(a.blocks.size(), b.blocks.size());
    for (size_t k = 0; k < a.blocks.size(); ++k) EXPECT_EQ(a.blocks[k], b.blocks[k]) << "block " << k;
    ASSERT_EQ(a.frames.size(), b.frames.size());
    for (size_t f = 0; f < a.frames.size(); ++f) {
        const FrameRecord &x = a.frames[f], &y = b.frames[f];
        EXPECT_TRUE(x.frame == y.frame && x.timeMs == y.timeMs && x.quit == y.quit && x.grid == y.grid &&
                    x.framebuffer == y.framebuffer)
            << "frame " << f;
    }
}

lockstep::Run parsed(const std::string& text) {
    lockstep::Run run;
    EXPECT_EQ(readRun(text, run), "");
    return run;
}

RunCheck replay(const lockstep::Run& run, Outputs& out) {
    RunPlayer player(run, [&](const RenderedBlock& block) { out.take(block); });
    player.start();
    while (!player.done()) {
        player.playFrame();
        out.frames.push_back(player.lastFrame());
    }
    return player.check();
}

const char* const kKeys = "0 right\n40 up,z\n90 left\n150 down,enter\n260 -\n400 escape\n";

TEST(RunReplay, ARecordedSimulatedRunIsSimulatedRunAgainAndOtherKeysDifferWhereTheyChange) {
    KeysScript script;
    ASSERT_EQ(parseKeysScript(kKeys, script), "");
    RunRecorder recorder(27, 123456);
    Outputs original;
    SimulatedRun game(27, 123456, [&](const RenderedBlock& block) {
        original.take(block);
        recorder.block(soundDigest32(block.samples));
    });
    game.start();
    for (int64_t f = 0; f < 500; ++f) {
        const bool goOn = game.playFrame(script.stateAt(f));
        recorder.frame(script.keysAt(f), pictureDigest32(game.world()), !goOn);
        original.frames.push_back(game.lastFrame());
        if (!goOn) break;
    }
    const lockstep::Run run = parsed(recorder.text("lab"));
    ASSERT_TRUE(run.quit);  // the scope view quits on frame 431

    Outputs replayed;
    const RunCheck check = replay(run, replayed);
    expectSameOutputs(replayed, original);
    EXPECT_EQ(check.summary(), "pictures equal 432 of 432, sound blocks equal 619 of 619; no difference");

    lockstep::Run other = run;
    other.keys.insert(other.keys.begin() + 1, KeyChange{20, kKeyLeft});
    Outputs ignored;
    const RunCheck changed = replay(other, ignored);
    EXPECT_EQ(changed.firstDifference, "frame 20");
    EXPECT_EQ(changed.picturesCompared, 432);
    EXPECT_LT(changed.picturesEqual, 432 - 100);
}

// The desktop game on one thread: the sound card takes a block every 11.6
// ms from 0 ms with real-time clock values from near the wrap; startGame at
// 30 ms, then frames as long as they ask; three blocks after the last
// frame. Block 5 has 300 frames. A block in `late` is rendered with the
// step that follows it run before the block's chunk given there (0: before
// the whole block), and recorded as having overlapped that step.
Outputs recordDesktop(int64_t frames, const std::map<size_t, int>& late, std::string& text) {
    KeysScript script;
    EXPECT_EQ(parseKeysScript(kKeys, script), "");
    auto world = std::make_unique<World>();
    RunRecorder recorder(27, std::nullopt);
    Outputs out;
    SimulatedClock frameClock;
    std::vector<float> samples;
    double blockMs = 0, stepMs = 30;
    int64_t steps = 0;
    const auto step = [&] {
        if (steps == 0) {
            startGame(*world, 27);
        } else {
            const int64_t f = steps - 1;
            const FrameRequest request = updateFrame(*world, script.stateAt(f));
            recorder.frame(script.keysAt(f), pictureDigest32(*world), request.quit);
            out.frames.push_back({f, frameClock.frameStartMs(), false, gridDigest(*world), framebufferDigest(*world)});
            frameClock.frameEnded(request.minFrameMs);
            stepMs += std::max(kMinFrameMs, request.minFrameMs);
        }
        ++steps;
    };
    for (size_t k = 0, trailing = 0; trailing < 3; ++k) {
        while (steps <= frames && stepMs <= blockMs) step();
        const int32_t length = k == 5 ? 300 : kBlockFrames;
        const int64_t before = steps;
        const bool overlapped = late.count(k) > 0 && steps <= frames;
        samples.assign(static_cast<size_t>(length), 0.0f);
        const uint32_t clockMs = 0xFFFFF000u + static_cast<uint32_t>(std::floor(blockMs));
        struct Within {
            int chunk;
            std::function<void()> step;
            static void call(void* context, int chunk) {
                auto& w = *static_cast<Within*>(context);
                if (chunk == w.chunk) w.step();
            }
        } within{overlapped ? late.at(k) : -1, step};
        renderAudioBlock(*world, samples.data(), length, clockMs, sequencerStep, {&Within::call, &within});
        recorder.block(clockMs, length, before, overlapped, soundDigest32(samples));
        out.take(RenderedBlock{static_cast<int64_t>(k), clockMs, samples});
        blockMs += length * 1000.0 / kSampleRate;
        if (before > frames) ++trailing;
    }
    text = recorder.text("desktop test");
    return out;
}

TEST(RunReplay, ADesktopRunReplaysFromItsSchedule) {
    std::string text;
    const Outputs original = recordDesktop(300, {}, text);
    const lockstep::Run run = parsed(text);
    EXPECT_EQ(run.blocks[2].step, 0);     // before startGame
    EXPECT_EQ(run.blocks[5].frames, 300);
    EXPECT_LT(run.blocks.back().clockMs, run.blocks[0].clockMs);  // the clock wrapped
    EXPECT_EQ(run.blocks.back().step, 301);  // after the last frame
    Outputs replayed;
    const RunCheck check = replay(run, replayed);
    expectSameOutputs(replayed, original);
    EXPECT_EQ(check.summary(), "pictures equal 300 of 300, sound blocks equal 419 of 419; no difference");
}

TEST(RunReplay, AnOverlappedBlockFindsItsOrderByItsDigestAndADigestThatFitsNeitherCountsOnce) {
    std::string text;
    const Outputs plain = recordDesktop(300, {}, text);
    const lockstep::Run plainRun = parsed(text);
    size_t k = 0;  // the first block before frame 100
    while (plainRun.blocks[k].step != 101) ++k;

    // Block k came before frame 100 but was rendered after it, or frame 100
    // ran between two of its chunks.
    for (const int chunk : {0, 2}) {
        const Outputs original = recordDesktop(300, {{k, chunk}}, text);
        lockstep::Run run = parsed(text);
        EXPECT_EQ(run.blocks[k].step, 101);
        Outputs replayed;
        const RunCheck check = replay(run, replayed);
        expectSameOutputs(replayed, original);
        EXPECT_EQ(check.summary(),
                  "pictures equal 300 of 300, sound blocks equal 419 of 419 (1 block rendered while a frame ran); no "
                  "difference");
    }
    const Outputs original = recordDesktop(300, {{k, 0}}, text);
    lockstep::Run run = parsed(text);
    run.blocks[k].overlapped = false;  // the order matters
    Outputs ignored;
    EXPECT_EQ(replay(run, ignored).firstDifference, "sound block " + std::to_string(k) + ", before frame 100");

    // Rendered as recorded (block 2 before startGame, block k before frame
    // 100), but with digests that no order gives: the recorded order stands,
    // and the rest stays equal.
    lockstep::Run wrong = plainRun;
    for (size_t b : {size_t{2}, k}) {
        wrong.blocks[b].overlapped = true;
        wrong.sounds[b] ^= 1;
    }
    Outputs kept;
    const RunCheck neither = replay(wrong, kept);
    expectSameOutputs(kept, plain);
    EXPECT_EQ(neither.summary(), "pictures equal 300 of 300, sound blocks equal 417 of 419 (2 blocks rendered while a "
                                 "frame ran); first difference: sound block 2, before the start");
}

}  // namespace
}  // namespace vonkel::lockstep
