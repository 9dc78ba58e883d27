#pragma once
// What the player changes while playing, besides the game: the volume and
// mute keys act on the sound output and show the new level in the window's
// title for about a second (the game's picture is left alone), and every
// setting the player changes (volume, mute, zoom, fullscreen) is saved.
#include <cstdint>
#include <optional>
#include <string>

#include "app/settings_saver.h"

namespace vonkel {

struct WindowEvents;

inline constexpr int kVolumeStep = 10;
inline constexpr uint32_t kTitleNoteMs = 1000;

// The window's title while it shows the sound's level.
std::string soundTitle(int volume, bool muted);

// The level after `steps` presses of the volume keys (negative: down).
int steppedVolume(int volume, int steps);

class PlayerControls {
public:
    // `saver` keeps the file's settings; the sound output is set up from
    // the run's settings before the first frame.
    explicit PlayerControls(SettingsSaver& saver) : saver_(saver) {}

    // Acts on one frame's window events at `now` (milliseconds).
    void apply(const WindowEvents& events, uint32_t now);

    // Once per frame: the settings saved.
    void tick(uint32_t now);

    // The window's title while it shows a new sound level (about a second).
    std::optional<std::string> noteTitle(uint32_t now) const;

    // At exit: the last change saved.
    void finish();

private:
    void note(uint32_t now);

    SettingsSaver& saver_;
    bool titleNoted_ = false;
    uint32_t titleSince_ = 0;
};

}  // namespace vonkel
