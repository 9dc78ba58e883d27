#include "app/frame_pacing.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "game/game.h"

namespace vonkel {
namespace {

constexpr uint32_t kFramePeriodMs = kMinFrameMs;

TEST(NextWaitStep, SleepsMostOfTheFrameAndPollsOnlyTheLastMillisecond) {
    const uint32_t start = 5000;
    WaitStep s = nextWaitStep(start, 16, start);
    EXPECT_EQ(s.action, WaitAction::Sleep);
    EXPECT_EQ(s.sleepMs, 15);
    s = nextWaitStep(start, 16, start + 14);
    EXPECT_EQ(s.action, WaitAction::Sleep);
    EXPECT_EQ(s.sleepMs, 1);
    EXPECT_EQ(nextWaitStep(start, 16, start + 15).action, WaitAction::Yield);
    EXPECT_EQ(nextWaitStep(start, 16, start + 16).action, WaitAction::Done);
    // A long frame is followed at once by the next: no wait at all.
    EXPECT_EQ(nextWaitStep(start, 16, start + 40).action, WaitAction::Done);
    // A scope-view frame asks for 25 ms.
    EXPECT_EQ(nextWaitStep(start, 25, start + 16).sleepMs, 8);
    EXPECT_EQ(nextWaitStep(start, 25, start + 24).action, WaitAction::Yield);
    EXPECT_EQ(nextWaitStep(start, 25, start + 25).action, WaitAction::Done);
}

TEST(NextWaitStep, CountsAcrossTheClockWrap) {
    const uint32_t start = 0xFFFFFFF8u;  // 8 ms before the wrap
    EXPECT_EQ(nextWaitStep(start, 16, 0xFFFFFFFFu).sleepMs, 8);
    EXPECT_EQ(nextWaitStep(start, 16, 0u).sleepMs, 7);
    EXPECT_EQ(nextWaitStep(start, 16, 7u).action, WaitAction::Yield);
    EXPECT_EQ(nextWaitStep(start, 16, 8u).action, WaitAction::Done);
    EXPECT_EQ(nextWaitStep(0xFFFFFFF0u, 16, 0u).action, WaitAction::Done);  // exactly 16 ms
    EXPECT_EQ(nextWaitStep(0xFFFFFFF1u, 16, 0u).action, WaitAction::Yield);
}

TEST(NextWaitStep, NeverAsksForMoreThanOneFramePeriod) {
    // Whatever two readings are compared, the wait they ask for is bounded,
    // so a clock that jumps can never stall the loop.
    uint32_t x = 12345;
    for (int i = 0; i < 100000; ++i) {
        x = x * 1664525u + 1013904223u;
        const uint32_t start = x;
        x = x * 1664525u + 1013904223u;
        const uint32_t now = (i % 2 == 0) ? x : start + (x % 64);
        const WaitStep s = nextWaitStep(start, kFramePeriodMs, now);
        if (s.action == WaitAction::Sleep) {
            EXPECT_GE(s.sleepMs, 1);
            EXPECT_LE(s.sleepMs, static_cast<int>(kFramePeriodMs - kYieldWindowMs));
        }
    }
}

// A simulated host: a microsecond clock read in whole milliseconds, sleeps
// that may overshoot, and yields that take a little time.
struct SimulatedHost {
    uint64_t micros = 0;
    int overshootMicros = 0;
    int yieldMicros = 30;
    int sleeps = 0;
    int sleptMs = 0;
    int yields = 0;
    uint64_t yieldedMicros = 0;

    uint32_t now() const { return static_cast<uint32_t>(micros / 1000); }
    void wait(uint32_t frameStart) {
        waitForFrameEnd(
            frameStart, kFramePeriodMs, [this] { return now(); },
            [this](int ms) {
                ++sleeps;
                sleptMs += ms;
                micros += static_cast<uint64_t>(ms) * 1000 + static_cast<uint64_t>(overshootMicros);
            },
            [this] {
                ++yields;
                yieldedMicros += static_cast<uint64_t>(yieldMicros);
                micros += static_cast<uint64_t>(yieldMicros);
            });
    }
};

TEST(WaitForFrameEnd, EndsAtTheFirstReadingSixteenMillisecondsOn) {
    for (uint64_t startMicros : {uint64_t{1000000}, uint64_t{1000999}, (uint64_t{1} << 32) * 1000 - 9500}) {
        for (int workMicros : {0, 3200, 14999, 15800}) {
            SimulatedHost host;
            host.micros = startMicros;
            const uint32_t frameStart = host.now();
            host.micros += static_cast<uint64_t>(workMicros);
            host.wait(frameStart);
            EXPECT_EQ(static_cast<uint32_t>(host.now() - frameStart), kFramePeriodMs)
                << "start " << startMicros << " work " << workMicros;
            // The clock is polled only within the last millisecond or so.
            EXPECT_LE(host.yieldedMicros, 1000u + static_cast<uint64_t>(host.yieldMicros));
            EXPECT_LE(host.sleptMs, 15);
        }
    }
}

TEST(WaitForFrameEnd, SleepsThatOvershootAreNotMadeUpFor) {
    SimulatedHost host;
    host.micros = 7000000;
    host.overshootMicros = 2500;
    const uint32_t frameStart = host.now();
    host.wait(frameStart);
    EXPECT_EQ(host.sleeps, 1);
    EXPECT_EQ(host.yields, 0);
    EXPECT_EQ(static_cast<uint32_t>(host.now() - frameStart), 17u);
}

TEST(WaitForFrameEnd, ALongFrameIsFollowedAtOnce) {
    SimulatedHost host;
    host.micros = (uint64_t{1} << 32) * 1000 - 20000;  // the frame runs across the wrap
    const uint32_t frameStart = host.now();
    host.micros += 40000;
    const uint32_t before = host.now();
    host.wait(frameStart);
    EXPECT_EQ(host.now(), before);
    EXPECT_EQ(host.sleeps + host.yields, 0);
}

}  // namespace
}  // namespace vonkel
