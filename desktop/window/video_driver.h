#pragma once
// What the game's window gets from SDL's video: a driver that shows it
// somewhere, a renderer that draws the picture cheaply, a converter for the
// display's pixel format.
#include <cstdint>
#include <string>
#include <vector>

#include "desktop/window/row_converters.h"

struct SDL_Renderer;
struct SDL_Window;

namespace vonkel {

// Starts SDL's video subsystem on a driver that shows windows. Returns an
// empty string, or the line for the player: no display (SDL found none, or
// fell back to a driver that shows nothing without SDL_VIDEODRIVER asking
// for it), a driver SDL_VIDEODRIVER names that SDL does not have, or a
// display whose pixel format no converter takes. On failure the subsystem
// may be started; the caller quits SDL either way.
std::string startVideo();

// A graphics-hardware renderer where there is one, else SDL's software
// renderer, else any renderer SDL can make for the window; one named in
// SDL_RENDER_DRIVER is taken as it is. Null when none can be made.
SDL_Renderer* createRenderer(SDL_Window* window);

// The converter for one of SDL's pixel formats: bits per pixel are the bytes
// per pixel times 8, so a 15-bit format is matched as 16 bits with 555 masks.
// Null for formats without a converter (palettes, YUV, other masks).
RowConverter converterForPixelFormat(uint32_t sdlPixelFormat);

// The line for a window whose pixel format has no converter.
std::string unsupportedFormat(uint32_t sdlPixelFormat);

// The pure rules behind startVideo.
// Whether SDL fell back to a video driver that shows nothing ("offscreen" or
// "dummy") without being asked for it: `requested` is SDL_VIDEODRIVER (null
// when unset), a driver name or a comma-separated list of them.
bool fellBackToHeadlessDriver(const char* chosen, const char* requested);
// Whether `requested` (SDL_VIDEODRIVER: a name or a comma-separated list)
// names `driver`, in any case.
bool driverListNames(const char* requested, const char* driver);
// The video drivers to try, in SDL's order, when SDL_VIDEODRIVER does not
// choose: every real one, but not Wayland when no Wayland socket can be
// reached (its client library would complain), and not the ones that show
// nothing. Empty when nothing needs leaving out.
std::string videoDriversToTry(const std::vector<std::string>& available, bool waylandReachable);
// Whether a Wayland compositor's socket can be named from the environment:
// WAYLAND_DISPLAY an absolute path, or XDG_RUNTIME_DIR set.
bool waylandSocketNamed(const char* waylandDisplay, const char* runtimeDir);

}  // namespace vonkel
