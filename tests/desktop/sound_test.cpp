// Which output device a player means, and when the keeper opens or reopens a stream.
#include <gtest/gtest.h>

#include "desktop/sound/device_choice.h"
#include "desktop/sound/stream_watch.h"

namespace vonkel {
namespace {

using Outcome = DeviceChoice::Outcome;

const std::vector<AudioDevice> kDevices = {
    {0, "ALSA", "HDA Intel PCH: ALC892 Analog (hw:0,0)", 44100, false},
    {2, "ALSA", "USB Audio Device: - (hw:1,0)", 48000, false},
    {5, "ALSA", "pulse", 44100, false},
    {6, "ALSA", "default", 44100, true},
    {7, "JACK Audio Connection Kit", "pulse", 48000, false},
};

TEST(AudioDeviceChoice, ByIndexExactNameOrAUniquePartOfOne) {
    EXPECT_EQ(chooseDevice(kDevices, "").index, 6);
    EXPECT_EQ(chooseDevice(kDevices, "2").index, 2);
    EXPECT_EQ(chooseDevice(kDevices, "default").index, 6);
    // An exact name wins over a part of another, and the first of two.
    EXPECT_EQ(chooseDevice(kDevices, "pulse").index, 5);
    EXPECT_EQ(chooseDevice(kDevices, "usb").index, 2);
    EXPECT_EQ(chooseDevice(kDevices, "ALC892").index, 0);
    EXPECT_EQ(chooseDevice(kDevices, "hw:1").index, 2);

    EXPECT_EQ(chooseDevice(kDevices, "3").outcome, Outcome::Unknown);  // not an output device
    EXPECT_EQ(chooseDevice(kDevices, "99999999999").outcome, Outcome::Unknown);
    EXPECT_EQ(chooseDevice(kDevices, "02").outcome, Outcome::Unknown) << "a number is never written with a 0 before it";
    EXPECT_EQ(chooseDevice(kDevices, "nosuch").outcome, Outcome::Unknown);
    EXPECT_EQ(chooseDevice(kDevices, "hw:").outcome, Outcome::Ambiguous);
    EXPECT_EQ(chooseDevice(kDevices, "ul").outcome, Outcome::Ambiguous);
    EXPECT_EQ(chooseDevice({}, "").outcome, Outcome::Unknown);
    EXPECT_EQ(chooseDevice({kDevices[0]}, "").outcome, Outcome::Unknown) << "no default device";
}

TEST(AudioDeviceChoice, OneLinePerDeviceWithTheDefaultMarked) {
    EXPECT_EQ(deviceLine(kDevices[1]), "2\tALSA\tUSB Audio Device: - (hw:1,0)\t48000 Hz");
    EXPECT_EQ(deviceLine(kDevices[3]), "6\tALSA\tdefault\t44100 Hz\tdefault");
    const std::string list = deviceList(kDevices);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 5);
    EXPECT_EQ(deviceList({}), "no audio output device\n");
}

// The keeper's view of a stream, 100 ms at a time: `rate` callbacks a
// second (86 is the block rate), underflows as they come.
struct Stream {
    StreamWatch watch;
    StreamSample s{0xFFFFF000u, 0, 0, true};  // the clock wraps on the way
    double owed = 0;
    explicit Stream(int latencyMs = 75, bool fixed = false) : watch(latencyMs, fixed) { watch.opened(s, true); }
    // Runs `ms` at `rate`; the first action other than None, if any.
    KeeperAction run(int ms, double rate, int underflowEvery = 0) {
        for (int t = 0; t < ms; t += 100) {
            s.nowMs += 100;
            owed += rate / 10;
            s.callbacks += static_cast<uint32_t>(owed);
            owed -= static_cast<uint32_t>(owed);
            if (underflowEvery > 0 && (t / 100) % underflowEvery == 0) ++s.underflows;
            const KeeperAction a = watch.check(s);
            if (a.kind != KeeperAction::Kind::None) return a;
        }
        return {};
    }
};
using Kind = KeeperAction::Kind;
using Reason = KeeperAction::Reason;

TEST(StreamWatch, ASlowStartIsNoStallButOneThatNeverPlaysIsReopenedWithTheLargestBuffer) {
    Stream slow;
    // The first fill of the buffer, then the sound server makes it wait.
    slow.s.callbacks += 6;
    EXPECT_EQ(slow.run(2000, 0).kind, Kind::None);
    EXPECT_EQ(slow.run(5000, 86).kind, Kind::None);
    EXPECT_TRUE(slow.watch.playing());

    Stream never;
    const KeeperAction a = never.run(10000, 3);
    EXPECT_EQ(a.kind, Kind::Reopen);
    EXPECT_EQ(a.reason, Reason::DidNotStart);
    EXPECT_EQ(a.latencyMs, 200);
    EXPECT_EQ(never.watch.latencyMs(), 200) << "the buffer it reopens with is the one it names";
}

TEST(StreamWatch, SteadyPlayIsLeftAloneAStallOrAFailureIsReopened) {
    Stream steady;
    EXPECT_EQ(steady.run(60000, 86).kind, Kind::None);
    EXPECT_EQ(steady.run(60000, 60).kind, Kind::None) << "a busy machine's slower callbacks are no stall";
    EXPECT_EQ(steady.run(1900, 0).kind, Kind::None) << "nor a short wait";
    steady.run(1000, 86);
    const KeeperAction stall = steady.run(3000, 0);
    EXPECT_EQ(stall.reason, Reason::Stalled);
    EXPECT_EQ(stall.latencyMs, 200);

    Stream failed;
    failed.run(2000, 86);
    failed.s.active = false;
    EXPECT_EQ(failed.run(100, 86).reason, Reason::Failed);
}

TEST(StreamWatch, UnderflowsGrowTheBufferUpTo200MsButNeverOneThePlayerChose) {
    Stream dry;
    dry.run(2000, 86);
    EXPECT_EQ(dry.run(20000, 86, 50).kind, Kind::None) << "one underflow in 5 s";
    KeeperAction a = dry.run(5000, 86, 10);
    EXPECT_EQ(a.reason, Reason::Underflows);
    EXPECT_EQ(a.latencyMs, 150);
    dry.watch.opened(dry.s, true);
    dry.run(2000, 86);
    EXPECT_EQ(dry.run(5000, 86, 10).latencyMs, 200);
    dry.watch.opened(dry.s, true);
    dry.run(2000, 86);
    EXPECT_EQ(dry.run(20000, 86, 10).kind, Kind::None) << "never beyond 200 ms";

    Stream chosen(75, true);
    chosen.run(2000, 86);
    EXPECT_EQ(chosen.run(20000, 86, 5).kind, Kind::None);
    EXPECT_EQ(chosen.run(5000, 0).latencyMs, 75) << "a stall keeps the player's buffer too";
}

TEST(StreamWatch, WithoutAStreamADeviceIsLookedForEveryFewSecondsUntilOneOpens) {
    StreamWatch watch(75, false);
    StreamSample s{1000, 0, 0, false};
    watch.opened(s, false);
    s.nowMs += 2900;
    EXPECT_EQ(watch.check(s).kind, Kind::None);
    s.nowMs += 100;
    const KeeperAction retry = watch.check(s);
    EXPECT_EQ(retry.kind, Kind::Open);
    EXPECT_EQ(retry.latencyMs, 75);
    watch.opened(s, false);
    s.nowMs += 3000;
    EXPECT_EQ(watch.check(s).kind, Kind::Open);
    s.active = true;
    watch.opened(s, true);  // the sound server came
    for (int i = 0; i < 20; ++i) {
        s.nowMs += 100;
        s.callbacks += 9;
        EXPECT_EQ(watch.check(s).kind, Kind::None);
    }
    EXPECT_TRUE(watch.playing());
}

}  // namespace
}  // namespace vonkel
