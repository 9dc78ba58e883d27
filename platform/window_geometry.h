#pragma once
// The pure decisions of the game's window: which key press is a window
// shortcut, where a zoomed window goes, where the picture goes in
// fullscreen, and whether SDL's choice of video driver means there is no
// display. Needs no display.
#include <SDL_scancode.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vonkel {

enum class WindowShortcut {
    None, Zoom1, Zoom2, Zoom4, ToggleFullscreen, ToggleMute, VolumeDown, VolumeUp, Screenshot, ToggleClip
};

// Ctrl+1/2/4 (main keyboard or keypad) zoom; F11 and Alt+Enter toggle
// fullscreen; M toggles the sound; the two keys left of Backspace (- and =
// on a US keyboard) and the keypad's - and + turn the volume down and up;
// F12 takes a screenshot; F9 starts and stops a clip. Ctrl, Alt and the
// logo key each make another key of a press that is not one of these.
// Shift changes nothing.
WindowShortcut shortcutForKey(SDL_Scancode key, uint16_t modifiers);

struct WindowRect {
    int x, y, width, height;
};

struct WindowBorders {
    int top, left, bottom, right;
};

// Where the client area goes for a zoom factor: the outer size (client plus
// borders) is `factor` times the initial outer size, and the outer frame is
// centred on the display (halving by arithmetic shift, so a window larger
// than the display overhangs both edges alike).
WindowRect zoomedClientRect(int factor, int baseClientWidth, int baseClientHeight, WindowBorders borders,
                            WindowRect display);

// The largest rectangle of the image's shape inside the output, centred;
// the rest of the output is the black bars.
WindowRect letterboxRect(int outputWidth, int outputHeight, int imageWidth, int imageHeight);

// Whether SDL fell back to a video driver that shows nothing ("offscreen" or
// "dummy") without being asked for it: `requested` is SDL_VIDEODRIVER (null
// when unset), a driver name or a comma-separated list of them.
bool fellBackToHeadlessDriver(const char* chosen, const char* requested);

// Whether `requested` (SDL_VIDEODRIVER: a name or a comma-separated list)
// names `driver`, in any case.
bool driverListNames(const char* requested, const char* driver);

// The video drivers to try, in SDL's order, when SDL_VIDEODRIVER does not
// choose: every real one, but not Wayland when no Wayland socket can be
// reached (its client library would complain on stderr), and not the ones
// that show nothing. Empty when nothing needs leaving out.
std::string videoDriversToTry(const std::vector<std::string>& available, bool waylandReachable);

// Whether a Wayland compositor's socket can be named from the environment:
// WAYLAND_DISPLAY an absolute path, or XDG_RUNTIME_DIR set.
bool waylandSocketNamed(const char* waylandDisplay, const char* runtimeDir);

}  // namespace vonkel
