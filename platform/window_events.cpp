#include "platform/window_events.h"

#include <SDL.h>

#include "platform/presenter.h"
#include "platform/window_geometry.h"

namespace vonkel {
namespace {

// A held key repeats: a zoom may repeat, a toggle must not flip back and forth.
void handleShortcut(WindowShortcut shortcut, bool repeated, WindowEvents& events) {
    switch (shortcut) {
        case WindowShortcut::Zoom1:
        case WindowShortcut::Zoom2:
        case WindowShortcut::Zoom4: {
            const int factor = shortcut == WindowShortcut::Zoom1 ? 1 : shortcut == WindowShortcut::Zoom2 ? 2 : 4;
            if (zoomWindow(factor)) events.zoomed = factor;
            break;
        }
        case WindowShortcut::ToggleFullscreen:
            if (!repeated && toggleFullscreen()) events.fullscreenChanged = !events.fullscreenChanged;
            break;
        case WindowShortcut::VolumeDown: --events.volumeSteps; break;
        case WindowShortcut::VolumeUp: ++events.volumeSteps; break;
        case WindowShortcut::ToggleMute:
            if (!repeated) events.toggleMute = !events.toggleMute;
            break;
        case WindowShortcut::Screenshot:
            if (!repeated) events.screenshot = true;
            break;
        case WindowShortcut::ToggleClip:
            if (!repeated) events.toggleClip = !events.toggleClip;
            break;
        case WindowShortcut::None:
            break;
    }
}

}  // namespace

WindowEvents pumpWindowEvents() {
    WindowEvents events;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        switch (event.type) {
            case SDL_QUIT:
                events.quit = true;
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) events.quit = true;
                break;
            case SDL_KEYDOWN:
                handleShortcut(shortcutForKey(event.key.keysym.scancode, event.key.keysym.mod),
                               event.key.repeat != 0, events);
                break;
            default:
                break;
        }
    }
    return events;
}

}  // namespace vonkel
