// Which output device a player means, and when a quiet stream is reopened.
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

TEST(StreamWatch, AStreamThatNeverPlaysIsReopenedAfterASecond) {
    StreamWatch w;
    w.started(1000, 0, true);
    EXPECT_FALSE(w.check(1500, 0));
    EXPECT_FALSE(w.check(1999, 0));
    EXPECT_TRUE(w.check(2000, 0));
    EXPECT_EQ(w.attempts(), 1);
    EXPECT_FALSE(w.playedSinceStart());
}

TEST(StreamWatch, APlayingStreamIsLeftAloneAndAQuietOneRetriedUntilItPlays) {
    StreamWatch w;
    w.started(0xFFFFFE00u, 7, true);  // the clock wraps while it plays
    uint32_t now = 0xFFFFFE00u;
    uint32_t count = 7;
    for (int i = 0; i < 200; ++i) {
        now += 100;
        count += 8;
        EXPECT_FALSE(w.check(now, count)) << i;
    }
    // Quiet for a second: reopened once at once...
    EXPECT_FALSE(w.check(now + 999, count));
    EXPECT_TRUE(w.check(now + 1000, count));
    EXPECT_TRUE(w.playedSinceStart());
    now += 1000;
    w.started(now, count, false);  // ...which failed: tried every 3 s from then on
    EXPECT_FALSE(w.check(now + 1000, count));
    EXPECT_FALSE(w.check(now + 2999, count));
    EXPECT_TRUE(w.check(now + 3000, count));
    EXPECT_EQ(w.attempts(), 2);
    now += 3000;
    w.started(now, count, true);  // opened, and quiet still
    EXPECT_FALSE(w.check(now + 2000, count));
    EXPECT_TRUE(w.check(now + 3000, count));
    now += 3000;
    w.started(now, count, true);  // opened, and it plays
    EXPECT_FALSE(w.check(now + 100, count + 3));
    EXPECT_EQ(w.attempts(), 0);
    EXPECT_EQ(w.recoveries(), 1);
    EXPECT_FALSE(w.check(now + 1000, count + 3));
    EXPECT_TRUE(w.check(now + 1100, count + 3));
    EXPECT_EQ(w.attempts(), 1);
}

TEST(StreamWatch, NoStreamIsNeverReopenedUntilAnOutage) {
    StreamWatch w;
    w.started(0, 0, false);
    EXPECT_FALSE(w.check(100000, 0));
}

}  // namespace
}  // namespace vonkel
