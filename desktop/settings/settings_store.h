#pragma once
// The settings file: where it lives, read once at the start, and written
// whole off the frame loop's thread when the player changes a setting (at
// most once a second) and at the end. A write goes through a temporary file
// beside it that then replaces it (output/output_file.h): a crash or a full
// disk leaves the old file or the new one, never a broken one, and a
// symbolic link stays a link to the file it names.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "desktop/settings/settings.h"

namespace vonkel {

class Messages;

// $XDG_CONFIG_HOME/vonkel/vonkel.conf, or $HOME/.config/vonkel/vonkel.conf
// when XDG_CONFIG_HOME is unset, empty or not an absolute path; empty when
// neither gives a place.
std::string settingsPath(const char* xdgConfigHome, const char* home);

struct SettingsRead {
    Settings settings;     // the defaults for what the file does not say well
    std::string warning;   // one line, or empty
    bool readable = true;  // false: the file is there but could not be read
};

// Reads the file at `path`. A missing file gives the defaults silently; one
// that cannot be read (no permission, a folder or a device in its place,
// larger than 64 KiB) gives the defaults, a warning naming it, and
// `readable` false.
SettingsRead readSettingsFile(const std::string& path);

// Writes `settings` to `path`, making its folders if needed (private to the
// user, as the XDG rules ask). Returns an empty string, or what went wrong
// naming the file; the old file is then left as it was.
std::string writeSettingsFile(const std::string& path, const Settings& settings);

class SettingsStore {
public:
    static constexpr uint32_t kSaveIntervalMs = 1000;

    // Reads the file at `path` and says its warning, if any. An empty path
    // (--no-settings) is neither read nor written; a file that is there but
    // could not be read is never written over.
    SettingsStore(std::string path, const Messages& messages);
    // Writes the last change and ends the writer.
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The settings to save: the file's, with the player's changes.
    const Settings& saved() const { return saved_; }

    // The player changed a setting: `apply` changes a copy of the saved
    // ones, which a thread of the store's own then writes. Never waits for
    // the disk.
    template <class Change>
    void change(Change&& apply) {
        Settings next = saved_;
        apply(next);
        if (next == saved_) return;
        saved_ = next;
        handOver();
    }

private:
    void handOver();
    void run();

    const std::string path_;
    const Messages& messages_;
    Settings saved_;  // the main thread's
    bool writable_ = true;
    bool refusalSaid_ = false;
    std::mutex mutex_;  // guards what follows; held only to copy the settings
    std::condition_variable wake_;
    Settings pending_;
    bool dirty_ = false;
    bool stopping_ = false;
    std::thread writer_;  // made at the first change
};

}  // namespace vonkel
