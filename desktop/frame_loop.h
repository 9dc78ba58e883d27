#pragma once
// The desktop game's frames, on the main thread, until the game or the
// window asks to quit. Each frame: read the clock; take the window's events
// (its shortcuts act at once, a close request ends the loop) and act on the
// player's controls (the sound's level and mute, the settings they change,
// screenshots and clips); read the keys; update the game; double the picture
// and present it at once; hand it to a clip that records; set the title;
// then sleep until the frame has lasted as long as the game asked. A stop
// signal ends the loop as a close request does. A frame
// that ran longer is followed at once by the next: there is no catching up
// and no frame is skipped. The frame in which the game asks to quit is not
// presented.
#include <cstdint>
#include <string>

namespace vonkel {

struct World;
class Window;
class Input;
class SoundOut;
class SettingsStore;
class Capture;
class StopSignals;

struct FrameLoop {
    World& world;
    Window& window;
    Input& input;
    SoundOut& sound;
    SettingsStore& settings;
    Capture& capture;
    StopSignals& stopSignals;
    bool verbose = false;  // one line per new game on stdout

    enum class End { Quit, WindowLost };
    End run();
};

inline constexpr int kVolumeStep = 10;
inline constexpr uint32_t kTitleNoteMs = 1000;

// The window's title while it shows the sound's level (about a second after
// a change).
std::string soundTitle(int volume, bool muted);

// The level after `steps` presses of the volume keys (negative: down).
int steppedVolume(int volume, int steps);

// The line --verbose prints for a new song, without the newline.
std::string songLine(uint32_t songNumber);

}  // namespace vonkel
