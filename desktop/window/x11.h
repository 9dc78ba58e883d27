#pragma once
// What only an X server does to the game's window: it may have no window
// manager, another program may destroy the window, the connection may break.
union SDL_Event;
struct SDL_Window;

namespace vonkel {

// True only for a window on an X server on which no window manager has
// announced itself (_NET_SUPPORTING_WM_CHECK on the root window names no
// window): nothing there acts on a request for fullscreen. False on other
// window systems and where it cannot be told.
bool x11WithoutWindowManager(SDL_Window* window);

// Keeps the X server from ending the process: Xlib's errors are ignored (a
// window that another program destroyed gives BadWindow errors, which would
// end it with status 1), and when the connection breaks, `*lost` is set and
// the calls that needed the server return at once, so that the game can end
// the orderly way. Nothing on other window systems.
void watchX11(SDL_Window* window, bool* lost);
// Whether an event SDL passed on (SDL_SYSWMEVENT) is the X server saying
// that `window` was destroyed.
bool x11WindowDestroyed(const SDL_Event& event, SDL_Window* window);

}  // namespace vonkel
