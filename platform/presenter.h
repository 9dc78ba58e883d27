#pragma once
// The game's window: shows a 0x00RRGGBB image stretched over the whole client
// area with nearest-neighbour scaling, whatever the window's size, and
// changes its size on request (the window's shortcuts, handled by
// platform/window_events.h). In fullscreen the image keeps its shape,
// centred between black bars; leaving fullscreen gives the window its size
// and place back.
//
// The screen saver is kept off while the presenter is open.
#include <SDL_scancode.h>

#include <cstdint>
#include <string>

#include "platform/row_converters.h"
#include "platform/window_geometry.h"

struct SDL_Window;

namespace vonkel {

struct WindowStart {
    int zoom = 1;             // the client area is zoom x the image size
    bool fullscreen = false;  // open in fullscreen
};

// The outcome of opening; true when the window is open. Otherwise `message`
// is one line for the user naming the cause and what to do.
struct PresenterOpening {
    enum class Failure { None, NoDisplay, PixelFormat, Other };
    Failure failure = Failure::None;
    std::string message;
    explicit operator bool() const { return failure == Failure::None; }
};

// Opens a window titled `title`, centred, resizable, with a client area of
// start.zoom times imageWidth x imageHeight pixels, and a back texture in
// the window's own pixel format. Reports the window through `window`. Fails,
// with everything it made released again, when there is no display (video
// initialisation fails, or SDL fell back to a driver that shows nothing
// without SDL_VIDEODRIVER asking for it), when the display's pixel format
// has no converter, or when SDL cannot make the window.
PresenterOpening openPresenter(const char* title, int imageWidth, int imageHeight, SDL_Window** window,
                               WindowStart start = {});

// Shows the image (imageWidth x imageHeight pixels, row stride imageWidth).
// Returns false when the image could not be shown; the next call tries
// again. Does not wait for the display's vertical retrace.
bool presentFrame(const uint32_t* image);

// Zoom 1 x 1, 2 x 2 or 4 x 4: the window's outer size becomes `factor` times
// its initial outer size, centred on its display. Nothing in fullscreen.
// Whether the window was resized.
bool zoomWindow(int factor);

// Fullscreen on the window's display, and back. Whether the window changed;
// where it cannot, it stays as it was.
bool toggleFullscreen();

// Whether the window is in fullscreen.
bool presenterFullscreen();

// The window's title (set only when it changes).
void setWindowTitle(const std::string& title);

// Releases the window and everything with it and lets the screen saver run
// again. Safe to call when nothing is open.
void closePresenter();

// The converter for one of SDL's pixel formats: bits per pixel are the bytes
// per pixel times 8, so a 15-bit format is matched as 16 bits with 555 masks.
// Null for formats without a converter (palettes, YUV, other masks).
RowConverter converterForPixelFormat(uint32_t sdlPixelFormat);

}  // namespace vonkel
