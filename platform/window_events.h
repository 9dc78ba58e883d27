#pragma once
// The window's events, taken once per frame by the frame loop: the one place
// where the desktop game reads what the window system sends.
namespace vonkel {

// What the events of a frame ask of the game's host, and what the window's
// shortcuts did.
struct WindowEvents {
    bool quit = false;        // a close request: the window's close button, SIGINT or SIGTERM
    bool toggleMute = false;  // M was pressed an odd number of times
    bool screenshot = false;  // F12
    bool toggleClip = false;  // F9, an odd number of times
    int volumeSteps = 0;      // volume key presses, up minus down (a held key repeats)
    int zoomed = 0;           // the zoom factor the window took last, or 0
    bool fullscreenChanged = false;  // the window went into or out of fullscreen
};

// Takes every pending event. The window's shortcuts (platform/
// window_geometry.h) act at once: the zoom keys and fullscreen. The pump
// also brings the key and pad states up to date that Keyboard::poll and
// Gamepads::poll then read.
WindowEvents pumpWindowEvents();

}  // namespace vonkel
