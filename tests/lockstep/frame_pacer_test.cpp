#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "lockstep/frame_pacer.h"

namespace vonkel::lockstep {
namespace {

// A schedule of frames of `frameMs` each, paced by refreshes at the given
// real times; returns how many frames ran at each refresh.
struct Schedule {
    FramePacer pacer;
    int64_t nextFrameStartMs = 0;
    int64_t framesRun = 0;

    explicit Schedule(int maxFramesPerRefresh, double startMs = 0) : pacer(maxFramesPerRefresh) {
        pacer.start(startMs);
    }

    int refresh(double realMs, int frameMs = 16) {
        pacer.beginRefresh(realMs);
        int ran = 0;
        while (pacer.frameDue(nextFrameStartMs)) {
            nextFrameStartMs += frameMs;
            ++ran;
            ++framesRun;
        }
        return ran;
    }
};

TEST(FramePacer, AFastDisplayNeverRunsFramesFasterThanTheSchedule) {
    // 240 Hz for just under ten seconds: 16 ms frames at 0, 16, ... 9984 ms.
    Schedule s(3, 1000);
    int mostInOneRefresh = 0;
    for (int i = 0; i < 2400; ++i) mostInOneRefresh = std::max(mostInOneRefresh, s.refresh(1000 + i * (1000.0 / 240)));
    EXPECT_EQ(s.framesRun, 625);
    EXPECT_EQ(mostInOneRefresh, 1);
    EXPECT_EQ(s.pacer.rebaseCount(), 0);
}

TEST(FramePacer, ASlowDisplayRunsTheFramesThatFellDueBetweenTwoRefreshes) {
    // 30 Hz: two or three 16 ms frames per refresh, none lost, no re-base.
    Schedule s(3);
    std::vector<int> perRefresh;
    for (int i = 0; i <= 30; ++i) perRefresh.push_back(s.refresh(i * (1000.0 / 30)));
    EXPECT_EQ(perRefresh[0], 1);
    for (size_t i = 1; i < perRefresh.size(); ++i) {
        EXPECT_GE(perRefresh[i], 2) << i;
        EXPECT_LE(perRefresh[i], 3) << i;
    }
    EXPECT_EQ(s.framesRun, 63);  // frames at 0, 16, ... 992 ms
    EXPECT_EQ(s.pacer.rebaseCount(), 0);
}

TEST(FramePacer, AfterAStallCatchesUpAFewFramesThenReBasesTheClock) {
    Schedule s(3);
    for (int i = 0; i < 10; ++i) s.refresh(i * 16.0);  // frames 0..9 on time
    EXPECT_EQ(s.framesRun, 10);
    // Two seconds hidden: three catch-up frames, then the clock starts over.
    EXPECT_EQ(s.refresh(2160), 3);
    EXPECT_EQ(s.pacer.rebaseCount(), 1);
    EXPECT_EQ(s.nextFrameStartMs, 208);
    // The re-based frame starts at 2160 ms real: it runs at the next refresh,
    // and the frames after it keep the normal pace from there.
    EXPECT_EQ(s.refresh(2161), 1);
    EXPECT_EQ(s.refresh(2175), 0);
    EXPECT_EQ(s.refresh(2176), 1);
    EXPECT_EQ(s.refresh(2200), 1);
    EXPECT_EQ(s.pacer.rebaseCount(), 1);
}

TEST(FramePacer, AShortDelayIsCaughtUpWithoutReBasing) {
    Schedule s(3);
    s.refresh(0);
    EXPECT_EQ(s.refresh(40), 2);  // frames at 16 and 32
    EXPECT_EQ(s.refresh(48), 1);  // back on time
    EXPECT_EQ(s.pacer.rebaseCount(), 0);
    EXPECT_DOUBLE_EQ(s.pacer.offsetMs(), 0);
}

TEST(FramePacer, FramesOfDifferentLengthsFollowTheirOwnStarts) {
    // The scope view's 25 ms frames at 60 Hz: never two in one refresh.
    Schedule s(3);
    int most = 0;
    for (int i = 0; i < 600; ++i) most = std::max(most, s.refresh(i * (1000.0 / 60), 25));
    EXPECT_EQ(most, 1);
    EXPECT_EQ(s.framesRun, 400);  // 0, 25, ... 9975 ms
}

TEST(FramePacer, AClockThatStepsBackRunsNothingEarly) {
    Schedule s(3);
    for (int i = 0; i < 4; ++i) s.refresh(i * 16.0);  // frames 0..48 ms on time
    const int64_t next = s.nextFrameStartMs;
    EXPECT_EQ(s.refresh(40), 0);
    EXPECT_EQ(s.refresh(63), 0);
    EXPECT_EQ(s.nextFrameStartMs, next);
}

TEST(FramePacer, AtLeastOneFramePerRefreshEvenWithANonsenseLimit) {
    Schedule s(0);
    EXPECT_EQ(s.refresh(0), 1);
    EXPECT_EQ(s.refresh(100), 1);
    EXPECT_EQ(s.pacer.rebaseCount(), 1);
}

}  // namespace
}  // namespace vonkel::lockstep
