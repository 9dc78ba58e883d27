#pragma once
// The game's window: shows a 0x00RRGGBB image stretched over the whole client
// area with nearest-neighbour scaling, whatever the window's size, and
// handles the window's events.
//
// Keyboard shortcuts of the window (they leave the game's keys, the arrows,
// Z, Enter and Escape, alone):
//   Ctrl+1  Zoom 1 x 1: the window's initial outer size
//   Ctrl+2  Zoom 2 x 2: twice the initial outer size
//   Ctrl+4  Zoom 4 x 4: four times the initial outer size
// Each zoom centres the window on its display. The digits of the main
// keyboard and of the keypad both work.
//
// A close request (the window manager's close button, or SIGINT/SIGTERM)
// closes the presenter and ends the process at once with exit code 0.
//
// The screen saver is kept off while the presenter is open.
#include <SDL_scancode.h>

#include <cstdint>

#include "platform/row_converters.h"

struct SDL_Window;

namespace vonkel {

// Opens a window of imageWidth x imageHeight client pixels titled `title`,
// centred, resizable, with a back texture in the window's own pixel format.
// Reports the window through `window`. Returns false, with everything it
// made released again, when the display cannot be used or its pixel format
// has no converter.
bool openPresenter(const char* title, int imageWidth, int imageHeight, SDL_Window** window);

// Handles every pending window event, then shows the image (imageWidth x
// imageHeight pixels, row stride imageWidth). Returns false when the image
// could not be shown; the next call tries again. Does not wait for the
// display's vertical retrace. Does not return after a close request.
bool presentFrame(const uint32_t* image);

// Releases the window and everything with it and lets the screen saver run
// again. Safe to call when nothing is open.
void closePresenter();

// The converter for one of SDL's pixel formats: bits per pixel are the bytes
// per pixel times 8, so a 15-bit format is matched as 16 bits with 555 masks.
// Null for formats without a converter (palettes, YUV, other masks).
RowConverter converterForPixelFormat(uint32_t sdlPixelFormat);

// The zoom factor of a key press: 1, 2 or 4 for Ctrl with 1, 2 or 4, else 0.
int zoomFactorForKey(SDL_Scancode key, uint16_t modifiers);

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

}  // namespace vonkel
