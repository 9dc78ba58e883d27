#include "lockstep/run_recorder.h"

#include <gtest/gtest.h>

#include <string>

#include "lockstep/run_file.h"

namespace vonkel::lockstep {
namespace {

TEST(RunRecorder, HoldsABlockBackUntilItsFrameAndDropsOneThatGoesBack) {
    RunRecorder recorder(5, std::nullopt);
    EXPECT_EQ(recorder.text("desktop"), "");  // no frame, no run
    recorder.block(0, 512, 0, false, 1);
    recorder.block(11, 512, 2, false, 2);  // after frame 0, which is not recorded yet
    EXPECT_EQ(recorder.blocks(), 1);
    recorder.frame(kKeyUp | 0x80, 10, false);
    EXPECT_EQ(recorder.blocks(), 2);
    recorder.block(23, 512, 1, false, 3);  // a step going back
    recorder.block(23, 0, 2, false, 3);    // no frames
    EXPECT_EQ(recorder.droppedBlocks(), 2);
    lockstep::Run run;
    ASSERT_EQ(readRun(recorder.text("desktop"), run), "");
    EXPECT_EQ(run.keys, (std::vector<KeyChange>{{0, kKeyUp}}));
    EXPECT_EQ(run.blocks, (std::vector<ScheduledBlock>{{0, 512, 0, false}, {11, 512, 2, false}}));
    EXPECT_EQ(run.sounds, (std::vector<uint32_t>{1, 2}));
}

// Hours of a desktop game, with a key change every sixth frame, until the
// recorder is full: its text stays under the reader's limit and holds every
// frame up to the cap, and the blocks before the next frame. So does the
// text of a recorder filled by sound alone.
TEST(RunRecorder, StopsAtItsCapWithATextThatReadsBack) {
    RunRecorder recorder(5, std::nullopt);
    double blockMs = 0;
    int64_t blocks = 0;
    for (int64_t f = 0; !recorder.full(); ++f) {
        recorder.frame(static_cast<uint8_t>(f / 6 % 3), static_cast<uint32_t>(f), false);
        for (; blockMs < 16.0 * static_cast<double>(f + 1); blockMs += 512000.0 / 44100, ++blocks) {
            recorder.block(static_cast<uint32_t>(blockMs), 512, f + 2, false, static_cast<uint32_t>(blocks));
        }
    }
    const int64_t cap = recorder.frames();
    EXPECT_EQ(cap, kMaxRecordedFrames);
    recorder.frame(0, 0, false);                   // ignored
    recorder.block(1, 512, cap + 1, false, 0);     // before the frame not recorded: kept
    recorder.block(2, 512, cap + 1, true, 0);      // it may have seen that frame: dropped, and all after it
    recorder.block(3, 512, cap + 1, false, 0);
    EXPECT_EQ(recorder.blocks(), blocks + 1);
    EXPECT_EQ(recorder.droppedBlocks(), 2);
    EXPECT_LT(recorder.bytes(), size_t{32} << 20);

    const std::string text = recorder.text("desktop vonkel 1.1.0");
    EXPECT_LT(text.size(), kMaxRunBytes);
    lockstep::Run run;
    ASSERT_EQ(readRun(text, run), "");
    EXPECT_EQ(run.frames, cap);
    EXPECT_EQ(static_cast<int64_t>(run.sounds.size()), blocks + 1);
    EXPECT_EQ(static_cast<int64_t>(run.keys.size()), cap / 6 - 1);  // a change at every sixth frame but the first

    // A main thread that stalls while the sound goes on fills it by size.
    RunRecorder stalled(5, std::nullopt);
    stalled.frame(0, 0, false);
    for (uint32_t b = 0; !stalled.full() && b < 3'000'000; ++b) stalled.block(b * 11, 512, 2, false, b);
    EXPECT_TRUE(stalled.full());
    ASSERT_EQ(readRun(stalled.text("desktop"), run), "");
    EXPECT_GT(run.blocks.size(), size_t{1'500'000});
}

}  // namespace
}  // namespace vonkel::lockstep
