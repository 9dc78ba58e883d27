#pragma once
// Keeps the saved settings and writes them when the player changes one: at
// most once a second while they change, and at exit. Only what the player
// changed in the game is saved: a command-line option that overrides the
// file for one run leaves the file's value in place. A write that fails is
// reported once, in one line, and tried again with the next change.
#include <cstdint>
#include <functional>
#include <string>

#include "app/settings.h"

namespace vonkel {

inline constexpr uint32_t kSaveIntervalMs = 1000;

class SettingsSaver {
public:
    // Writes the settings; false with a few words on why not.
    using Writer = std::function<bool(const Settings&, std::string& problem)>;

    // `saved`: the file's settings as read. No writer: nothing is ever
    // written (--no-settings).
    SettingsSaver(Settings saved, Writer writer) : saved_(std::move(saved)), writer_(std::move(writer)) {}

    // The settings as they are to be saved; change them through change().
    const Settings& saved() const { return saved_; }

    // The player changed a setting: `apply` changes a copy of the saved ones.
    template <class Change>
    void change(Change&& apply) {
        Settings next = saved_;
        apply(next);
        if (next == saved_) return;
        saved_ = next;
        dirty_ = true;
    }

    // Writes what changed if the last write was at least kSaveIntervalMs
    // ago. Returns the warning line for a first failure, else empty.
    std::string tick(uint32_t now);

    // Writes what changed now (at exit).
    std::string flush();

private:
    std::string write(uint32_t now);

    Settings saved_;
    Writer writer_;
    bool dirty_ = false;
    bool everWritten_ = false;
    bool warned_ = false;
    uint32_t lastWrite_ = 0;
};

}  // namespace vonkel
