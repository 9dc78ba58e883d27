#pragma once
// Where the settings file lives, and reading and writing it whole. A write
// goes to a temporary file beside it, which then replaces the file in one
// rename: a crash or a full disk leaves the old file or the new one, never a
// broken one, and of two games writing at once the last one wins.
#include <string>

#include "app/settings.h"

namespace vonkel {

// $XDG_CONFIG_HOME/vonkel/vonkel.conf, or $HOME/.config/vonkel/vonkel.conf
// when XDG_CONFIG_HOME is unset, empty or not an absolute path; empty when
// neither gives a place.
std::string settingsPath(const char* xdgConfigHome, const char* home);

struct SettingsRead {
    Settings settings;    // the defaults for what the file does not say well
    std::string warning;  // one line without the newline, or empty
};

// Reads the file at `path`. A missing file gives the defaults silently; one
// that cannot be read (no permission, a directory or a device in its place,
// larger than 64 KiB) gives the defaults and a warning naming it.
SettingsRead readSettingsFile(const std::string& path);

// Writes `settings` to `path`, making its folder if needed. On failure the
// old file is left as it was, and `problem` names the file and says why.
bool writeSettingsFile(const std::string& path, const Settings& settings, std::string& problem);

}  // namespace vonkel
