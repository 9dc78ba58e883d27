#pragma once
// The game's window: shows a 0x00RRGGBB image stretched over the whole client
// area with nearest-neighbour scaling, whatever the window's size; takes the
// window's events once per frame and acts on its shortcuts (zoom and
// fullscreen at once; the rest it hands to the frame loop). In fullscreen
// the image keeps its shape, centred between black bars; leaving fullscreen
// gives the window its size and place back. The screen saver is kept off
// while the window is open.
#include <cstdint>
#include <string>

#include "desktop/window/row_converters.h"
#include "desktop/input/key_map.h"

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

namespace vonkel {

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

struct WindowStart {
    int zoom = 1;             // the client area is zoom x the image size
    bool fullscreen = false;  // open in fullscreen
};

// What a frame's window events ask of the game's host, and what the
// window's shortcuts did.
struct WindowEvents {
    bool quit = false;        // a close request: the window's close button
    bool lost = false;        // the window or the display went away (another program, a broken connection)
    bool toggleMute = false;  // M was pressed an odd number of times
    bool screenshot = false;  // F12
    bool saveRun = false;     // F10
    bool toggleClip = false;  // F9, an odd number of times
    int volumeSteps = 0;      // volume key presses, up minus down (a held key repeats)
    int zoomed = 0;           // the zoom factor the window took last, or 0
    bool fullscreenChanged = false;  // the window went into or out of fullscreen
};

class Window {
public:
    Window() = default;
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Opens a window titled `title`, centred, resizable, with a client area
    // of start.zoom times imageWidth x imageHeight pixels and a back texture
    // in the window's own pixel format. Returns an empty string, or one line
    // for the player (see startVideo), with everything made released again.
    std::string open(const char* title, int imageWidth, int imageHeight, WindowStart start = {});

    // Takes every pending event. The pump also brings the key and pad
    // states up to date that the input then reads.
    WindowEvents takeEvents();

    // Shows the image (imageWidth x imageHeight, row stride imageWidth) at
    // once. False when it could not be shown; the next frame tries again.
    bool present(const uint32_t* image);

    // The title, set only when it changes.
    void setTitle(const std::string& title);
    bool fullscreen() const;
    SDL_Window* sdlWindow() const { return window_; }

private:
    void close();
    void handleShortcut(WindowShortcut shortcut, bool repeated, WindowEvents& events);
    bool zoom(int factor);
    bool toggleFullscreen();
    bool coverDisplay(bool cover);

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;  // the back surface, in the window's pixel format
    RowConverter converter_ = nullptr;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    bool videoStarted_ = false;
    bool displayLost_ = false;  // set by Xlib when the connection to the X server breaks
    // Fullscreen made by the game itself where no window manager does it:
    // the window covers its display, and goes back to `windowed_` after.
    bool coversDisplay_ = false;
    int windowed_[4] = {};  // x, y, width, height
    std::string title_;
};

}  // namespace vonkel
