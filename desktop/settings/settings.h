#pragma once
// The settings a player keeps between games, and their file's text: a small
// INI file read with libinih.
//
//   [sound]
//   volume = 80          ; 0..100
//   mute = false
//   device = USB Audio   ; an index, a name or a part of one; empty: the default
//   latency_ms = 75      ; 10..500
//   [window]
//   zoom = 2             ; 1, 2 or 4
//   fullscreen = false
//
// Reading is forgiving: a line that is not a known setting with a good value
// leaves that setting at its default, and the first such line is named in
// one warning.
#include <optional>
#include <string>
#include <string_view>

namespace vonkel {

struct Settings {
    int volume = 100;
    bool mute = false;
    std::string audioDevice;
    int audioLatencyMs = 75;
    int zoom = 1;
    bool fullscreen = false;

    bool operator==(const Settings&) const = default;
};

// What the command line names for one run, over the file's settings. It
// wins for that run and is saved only when the player changes it in the game.
struct SettingsOverride {
    std::optional<int> volume;
    std::optional<bool> mute;
    std::optional<std::string> audioDevice;
    std::optional<int> audioLatencyMs;
    std::optional<int> zoom;
    std::optional<bool> fullscreen;
};

// The settings of a run: `file` with what the command line names put over it.
Settings settingsForRun(const Settings& file, const SettingsOverride& given);

inline constexpr int kMinLatencyMs = 10;
inline constexpr int kMaxLatencyMs = 500;
inline constexpr size_t kMaxSettingsLine = 190;

struct SettingsText {
    Settings settings;
    int badLine = 0;      // the first line that was not a good setting; 0 for none
    std::string problem;  // what was wrong with it
    int badLines = 0;     // how many lines were bad
};

// Reads the file's text. Lines longer than kMaxSettingsLine bytes, and lines
// with control characters, are bad lines.
SettingsText parseSettings(std::string_view text);

// The file's text for `settings`, every setting written.
std::string formatSettings(const Settings& settings);

// The one warning line (without the newline) for a text that had bad lines,
// naming the file and the first bad line; empty when there were none.
std::string settingsWarning(const std::string& path, const SettingsText& parsed);

}  // namespace vonkel
