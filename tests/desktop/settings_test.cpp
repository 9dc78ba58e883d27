// The settings: their text, their file, and the store that writes the
// player's changes off the frame loop's thread.
#include "desktop/settings/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "desktop/messages.h"

namespace vonkel {
namespace {

namespace fs = std::filesystem;

Settings someSettings() {
    Settings s;
    s.volume = 30;
    s.mute = true;
    s.audioDevice = "USB Audio [hw:1,0]";
    s.audioLatencyMs = 200;
    s.zoom = 4;
    s.fullscreen = true;
    return s;
}

TEST(SettingsText, WhatIsWrittenReadsBackTheSame) {
    for (const Settings& s : {Settings{}, someSettings()}) {
        const SettingsText read = parseSettings(formatSettings(s));
        EXPECT_EQ(read.badLine, 0) << read.problem;
        EXPECT_EQ(read.settings, s);
    }
    // Comments, blank lines, spaces, CR-LF line ends and an editor's byte
    // order mark are the file's own business.
    const SettingsText edited = parseSettings("\xEF\xBB\xBF; by hand\r\n\r\n[window]\r\n  zoom=2  \r\n[sound]\nmute = yes\n");
    EXPECT_EQ(edited.badLine, 0) << edited.problem;
    EXPECT_EQ(edited.settings.zoom, 2);
    EXPECT_TRUE(edited.settings.mute);
    EXPECT_EQ(edited.settings.volume, 100);
}

TEST(SettingsText, ABadLineLeavesItsSettingAtTheDefaultAndIsNamed) {
    struct Case {
        const char* text;
        int badLine;
        const char* problemHas;
    };
    const Case cases[] = {
        {"[sound]\nvolume = 101\nmute = true\n", 2, "0..100"},
        {"[sound]\nvolume = loud\n", 2, "0..100"},
        {"[sound]\nmute = true\nlatency_ms = 5\n", 3, "10..500"},
        {"[window]\nzoom = 3\n", 2, "1, 2 or 4"},
        {"[window]\nfullscreen = maybe\n", 2, "true or false"},
        {"[sound]\nvolumen = 5\n", 2, "not a setting"},
        {"volume = 5\n", 1, "not a setting"},
        {"[sound]\nthis is garbage\n", 2, "name = value"},
        {"[sound\n", 1, "section"},
        {"[sound]\nmute = true\nvolume = 5\x01\n", 3, "control"},
        {"\x7f\x45\x4c\x46\x02\x01\x01\n", 1, "control"},
    };
    for (const Case& c : cases) {
        const SettingsText read = parseSettings(c.text);
        EXPECT_EQ(read.badLine, c.badLine) << c.text;
        EXPECT_NE(read.problem.find(c.problemHas), std::string::npos) << c.text << " -> " << read.problem;
        EXPECT_EQ(read.settings.volume, 100) << c.text;
    }
    // The good lines around a bad one count.
    const SettingsText mixed = parseSettings("[sound]\nvolume = 40\n" + std::string(100000, 'x') + "\nmute = on\n"
                                             "[window]\nzoom = 9\nfullscreen = true\n");
    EXPECT_EQ(mixed.badLine, 3);
    EXPECT_NE(mixed.problem.find("too long"), std::string::npos);
    EXPECT_EQ(mixed.badLines, 2);
    EXPECT_EQ(mixed.settings.volume, 40);
    EXPECT_TRUE(mixed.settings.mute);
    EXPECT_EQ(mixed.settings.zoom, 1);
    EXPECT_TRUE(mixed.settings.fullscreen);

    const std::string warning = settingsWarning("/home/u/.config/vonkel/vonkel.conf", mixed);
    EXPECT_EQ(warning.rfind("vonkel: /home/u/.config/vonkel/vonkel.conf:3: ", 0), 0u) << warning;
    EXPECT_NE(warning.find("1 more"), std::string::npos) << warning;
    EXPECT_EQ(warning.find('\n'), std::string::npos);
    EXPECT_EQ(settingsWarning("x", parseSettings("")), "");
}

TEST(SettingsFile, ItsPlaceFollowsTheXdgRules) {
    EXPECT_EQ(settingsPath("/cfg", "/home/u"), "/cfg/vonkel/vonkel.conf");
    EXPECT_EQ(settingsPath("/cfg/", "/home/u"), "/cfg/vonkel/vonkel.conf");
    EXPECT_EQ(settingsPath(nullptr, "/home/u"), "/home/u/.config/vonkel/vonkel.conf");
    EXPECT_EQ(settingsPath("", "/home/u"), "/home/u/.config/vonkel/vonkel.conf");
    EXPECT_EQ(settingsPath("relative", "/home/u"), "/home/u/.config/vonkel/vonkel.conf");
    EXPECT_EQ(settingsPath(nullptr, nullptr), "");
    EXPECT_EQ(settingsPath(nullptr, ""), "");
}

class SettingsFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vonkel-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        path = folder + "/cfg/vonkel/vonkel.conf";
    }
    void TearDown() override { fs::remove_all(folder); }
    static std::string text(const std::string& file) {
        std::ifstream in(file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Every file in the settings' folder: no temporary file stays behind.
    std::vector<std::string> filesBeside() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) names.push_back(entry.path().filename());
        return names;
    }
    std::string folder;
    std::string path;
};

TEST_F(SettingsFileOnDisk, WritesWholeFilesAndReadsThemBack) {
    const SettingsRead missing = readSettingsFile(path);
    EXPECT_EQ(missing.warning, "");
    EXPECT_EQ(missing.settings, Settings{});

    ASSERT_EQ(writeSettingsFile(path, someSettings()), "");
    EXPECT_EQ(fs::status(fs::path(path).parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    ASSERT_EQ(writeSettingsFile(path, Settings{}), "");
    EXPECT_EQ(text(path), formatSettings(Settings{}));
    EXPECT_EQ(filesBeside(), std::vector<std::string>{"vonkel.conf"});
    const SettingsRead read = readSettingsFile(path);
    EXPECT_EQ(read.warning, "");
    EXPECT_EQ(read.settings, Settings{});
}

TEST_F(SettingsFileOnDisk, WhatCannotBeReadGivesTheDefaultsAndOneWarning) {
    fs::create_directories(fs::path(path).parent_path());
    auto expectWarning = [&](const char* has) {
        const SettingsRead read = readSettingsFile(path);
        EXPECT_EQ(read.settings, Settings{});
        EXPECT_EQ(read.warning.rfind("vonkel: cannot read '" + path + "': ", 0), 0u) << read.warning;
        EXPECT_FALSE(read.readable);
        EXPECT_NE(read.warning.find(has), std::string::npos) << read.warning;
        EXPECT_EQ(read.warning.find('\n'), std::string::npos);
    };
    fs::create_directory(path);
    expectWarning("folder");
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);  // would block a plain open
    expectWarning("not a plain file");
    fs::remove(path);
    std::ofstream(path) << "[sound]\n" << std::string(70000, ';') << "\n";
    expectWarning("64 KiB");

    std::ofstream(path, std::ios::trunc) << "[sound]\nvolume = 20\nzoom = 2\n";
    const SettingsRead read = readSettingsFile(path);
    EXPECT_EQ(read.settings.volume, 20);
    EXPECT_EQ(read.warning.rfind("vonkel: " + path + ":3: ", 0), 0u) << read.warning;
}

TEST_F(SettingsFileOnDisk, AFailedWriteLeavesTheOldFileAndNoTemporaryOne) {
    ASSERT_EQ(writeSettingsFile(path, someSettings()), "");
    // A folder in the file's place: nothing changes.
    const std::string blocked = folder + "/cfg/vonkel/blocked";
    fs::create_directory(blocked);
    EXPECT_NE(writeSettingsFile(blocked, Settings{}), "");
    EXPECT_TRUE(fs::is_directory(blocked));
    fs::remove(blocked);
    EXPECT_EQ(filesBeside(), std::vector<std::string>{"vonkel.conf"});
    EXPECT_EQ(readSettingsFile(path).settings, someSettings());

    // A file where a folder must be made.
    std::ofstream(folder + "/plain") << "x";
    const std::string error = writeSettingsFile(folder + "/plain/vonkel/vonkel.conf", Settings{});
    EXPECT_NE(error.find("cannot make"), std::string::npos) << error;
}

// The store, with what it says on stderr caught.
class Store : public SettingsFileOnDisk {
protected:
    void SetUp() override {
        SettingsFileOnDisk::SetUp();
        fs::create_directories(fs::path(path).parent_path());
        testing::internal::CaptureStderr();
        messages = std::make_unique<Messages>();
    }
    std::string said() {
        messages.reset();
        return testing::internal::GetCapturedStderr();
    }
    std::unique_ptr<Messages> messages;
};

TEST_F(Store, WritesAChangeAtOnceThenAtMostOnceASecondAndTheLastAtTheEnd) {
    std::ofstream(path) << "[sound]\nvolume = 80\ndevice = pulse\n";
    // The file is replaced by a rename: a reader of the old file still sees
    // the old text, and a link to the file stays a link.
    const int old = open(path.c_str(), O_RDONLY);
    const std::string linked = folder + "/link.conf";
    fs::create_symlink(path, linked);
    {
        SettingsStore store(linked, *messages);
        EXPECT_EQ(store.saved().volume, 80);
        store.change([](Settings& s) { s.mute = true; });
        for (int i = 0; i < 400 && !readSettingsFile(path).settings.mute; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const Settings first = readSettingsFile(path).settings;
        EXPECT_TRUE(first.mute) << "written within a second";
        EXPECT_EQ(first.volume, 80) << "what the player did not change keeps the file's value";
        EXPECT_EQ(first.audioDevice, "pulse");
        store.change([](Settings& s) { s.volume = 50; });
        store.change([](Settings& s) { s.volume = 40; });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(readSettingsFile(path).settings.volume, 80) << "not twice within a second";
    }
    EXPECT_EQ(readSettingsFile(path).settings.volume, 40);
    EXPECT_TRUE(fs::is_symlink(linked));
    char was[64] = {};
    EXPECT_GT(pread(old, was, sizeof was - 1, 0), 0);
    close(old);
    EXPECT_STREQ(was, "[sound]\nvolume = 80\ndevice = pulse\n");
    EXPECT_EQ(filesBeside(), std::vector<std::string>{"vonkel.conf"});
    EXPECT_EQ(said(), "");
}

TEST_F(Store, AFileThatCouldNotBeReadIsNeverWrittenOverAndAFailureIsSaidOnce) {
    const std::string big = "[sound]\ndevice = USB\n" + std::string(70000, ';') + "\n";
    std::ofstream(path) << big;
    {
        SettingsStore store(path, *messages);
        store.change([](Settings& s) { s.volume = 10; });
        store.change([](Settings& s) { s.volume = 20; });
    }
    EXPECT_EQ(text(path), big);
    std::string lines = said();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
    EXPECT_NE(lines.find("cannot read"), std::string::npos) << lines;
    EXPECT_NE(lines.find("not saving the settings"), std::string::npos) << lines;

    testing::internal::CaptureStderr();
    messages = std::make_unique<Messages>();
    std::ofstream(folder + "/plain") << "x";  // a file where its folder would be: every write fails
    {
        SettingsStore store(folder + "/plain/vonkel.conf", *messages);
        for (int volume = 0; volume < 3; ++volume) store.change([volume](Settings& s) { s.volume = volume; });
    }
    lines = said();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1) << lines;
    EXPECT_EQ(lines.rfind("vonkel: cannot save the settings: ", 0), 0u) << lines;
}

}  // namespace
}  // namespace vonkel
