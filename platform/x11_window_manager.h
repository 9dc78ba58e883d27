#pragma once
// Whether the window's X server has a window manager. Without one, nothing
// acts on a request for fullscreen, and SDL, which sizes its picture for
// the screen as soon as it has asked, would draw into a window that kept
// its size: the game then takes the screen itself.
struct SDL_Window;

namespace vonkel {

// True only for a window on an X server on which no window manager has
// announced itself (_NET_SUPPORTING_WM_CHECK on the root window names no
// window); false on other window systems and where it cannot be told.
bool x11WithoutWindowManager(SDL_Window* window);

}  // namespace vonkel
