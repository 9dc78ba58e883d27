#include "app/player_controls.h"

#include <algorithm>

#include "platform/audio_stream.h"
#include "platform/messages.h"
#include "platform/presenter.h"
#include "platform/window_events.h"

namespace vonkel {
namespace {

constexpr const char* kTitle = "vonkel";

void warn(const std::string& line) {
    if (!line.empty()) sayLine(line);
}

}  // namespace

std::string soundTitle(int volume, bool muted) {
    const std::string level = "volume " + std::to_string(volume) + "%";
    return std::string(kTitle) + " - " + (muted ? "sound off (" + level + ")" : level);
}

int steppedVolume(int volume, int steps) { return std::clamp(volume + steps * kVolumeStep, 0, 100); }

void PlayerControls::apply(const WindowEvents& events, uint32_t now) {
    if (events.toggleMute) {
        const bool muted = !audioMuted();
        setAudioMuted(muted);
        saver_.change([muted](Settings& s) { s.mute = muted; });
        note(now);
    }
    if (events.volumeSteps != 0) {
        const int volume = steppedVolume(audioVolume(), events.volumeSteps);
        setAudioVolume(volume);
        saver_.change([volume](Settings& s) { s.volume = volume; });
        note(now);
    }
    if (events.zoomed != 0) saver_.change([zoom = events.zoomed](Settings& s) { s.zoom = zoom; });
    if (events.fullscreenChanged) {
        saver_.change([fullscreen = presenterFullscreen()](Settings& s) { s.fullscreen = fullscreen; });
    }
}

void PlayerControls::note(uint32_t now) {
    titleNoted_ = true;
    titleSince_ = now;
}

std::optional<std::string> PlayerControls::noteTitle(uint32_t now) const {
    if (!titleNoted_ || now - titleSince_ >= kTitleNoteMs) return std::nullopt;
    return soundTitle(audioVolume(), audioMuted());
}

void PlayerControls::tick(uint32_t now) { warn(saver_.tick(now)); }

void PlayerControls::finish() { warn(saver_.flush()); }

}  // namespace vonkel
