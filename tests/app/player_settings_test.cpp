// The settings a player changes in the game: when they are written, and what
// the volume keys and the title show.
#include <gtest/gtest.h>

#include <vector>

#include "app/player_controls.h"
#include "app/settings_saver.h"

namespace vonkel {
namespace {

struct Writes {
    std::vector<Settings> written;
    bool fail = false;
    SettingsSaver::Writer writer() {
        return [this](const Settings& s, std::string& problem) {
            if (fail) {
                problem = "/cfg/vonkel/vonkel.conf: No space left on device";
                return false;
            }
            written.push_back(s);
            return true;
        };
    }
};

auto volumeTo(int v) {
    return [v](Settings& s) { s.volume = v; };
}

TEST(SettingsSaver, WritesAChangeAtOnceAndThenAtMostOnceASecond) {
    Writes w;
    SettingsSaver saver(Settings{}, w.writer());
    EXPECT_EQ(saver.tick(0), "");
    EXPECT_TRUE(w.written.empty()) << "nothing changed, nothing written";
    saver.change([](Settings&) {});
    EXPECT_EQ(saver.tick(5), "");
    EXPECT_TRUE(w.written.empty()) << "a change to the same values is none";

    saver.change(volumeTo(90));
    saver.tick(100);
    ASSERT_EQ(w.written.size(), 1u);
    saver.change(volumeTo(80));
    saver.change(volumeTo(70));
    saver.tick(500);
    saver.tick(1099);
    EXPECT_EQ(w.written.size(), 1u);
    saver.tick(1100);
    ASSERT_EQ(w.written.size(), 2u);
    EXPECT_EQ(w.written.back().volume, 70);
    saver.tick(5000);
    EXPECT_EQ(w.written.size(), 2u);

    // At exit the last change is written at once; across the clock's wrap
    // too.
    SettingsSaver wrapped(Settings{}, w.writer());
    wrapped.change(volumeTo(10));
    wrapped.tick(0xFFFFFF00u);
    wrapped.change(volumeTo(20));
    wrapped.tick(0x100u);
    EXPECT_EQ(w.written.back().volume, 10);
    wrapped.tick(0x300u);
    EXPECT_EQ(w.written.back().volume, 20);
    wrapped.change(volumeTo(30));
    EXPECT_EQ(wrapped.flush(), "");
    EXPECT_EQ(w.written.back().volume, 30);
}

TEST(SettingsSaver, KeepsTheFilesValuesOfWhatThePlayerDidNotChange) {
    Writes w;
    Settings file;
    file.volume = 80;
    file.audioDevice = "pulse";
    SettingsSaver saver(file, w.writer());
    // This run plays at --volume 30 --zoom 4; the player only mutes.
    saver.change([](Settings& s) { s.mute = true; });
    saver.flush();
    ASSERT_EQ(w.written.size(), 1u);
    Settings expected = file;
    expected.mute = true;
    EXPECT_EQ(w.written[0], expected);
}

TEST(SettingsSaver, AFailureIsReportedOnceAndNoWriterWritesNothing) {
    Writes w;
    w.fail = true;
    SettingsSaver saver(Settings{}, w.writer());
    saver.change(volumeTo(50));
    const std::string first = saver.tick(0);
    EXPECT_EQ(first, "vonkel: cannot save the settings: /cfg/vonkel/vonkel.conf: No space left on device");
    saver.change(volumeTo(40));
    EXPECT_EQ(saver.tick(2000), "");
    EXPECT_EQ(saver.flush(), "");
    w.fail = false;
    saver.change(volumeTo(30));
    saver.tick(4000);
    ASSERT_EQ(w.written.size(), 1u);
    EXPECT_EQ(w.written[0].volume, 30);

    SettingsSaver none(Settings{}, SettingsSaver::Writer());
    none.change(volumeTo(10));
    EXPECT_EQ(none.tick(0), "");
    EXPECT_EQ(none.flush(), "");
}

TEST(PlayerControls, VolumeStepsByTenWithinItsRangeAndTheTitleSaysSo) {
    EXPECT_EQ(steppedVolume(100, 1), 100);
    EXPECT_EQ(steppedVolume(100, -1), 90);
    EXPECT_EQ(steppedVolume(95, 1), 100);
    EXPECT_EQ(steppedVolume(5, -1), 0);
    EXPECT_EQ(steppedVolume(40, -3), 10);
    EXPECT_EQ(steppedVolume(0, 25), 100);
    EXPECT_EQ(soundTitle(70, false), "vonkel - volume 70%");
    EXPECT_EQ(soundTitle(70, true), "vonkel - sound off (volume 70%)");
}

}  // namespace
}  // namespace vonkel
