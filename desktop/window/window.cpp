#include "desktop/window/window.h"

#include <SDL.h>

#include <cstdint>

#include "desktop/deadline.h"
#include "desktop/window/video_driver.h"
#include "desktop/window/x11.h"

namespace vonkel {
namespace {

constexpr uint32_t kCloseDeadlineMs = 3000;

}  // namespace

WindowRect zoomedClientRect(int factor, int baseClientWidth, int baseClientHeight, WindowBorders borders,
                            WindowRect display) {
    const int outerWidth = factor * (baseClientWidth + borders.left + borders.right);
    const int outerHeight = factor * (baseClientHeight + borders.top + borders.bottom);
    const int outerX = display.x + ((display.width - outerWidth) >> 1);
    const int outerY = display.y + ((display.height - outerHeight) >> 1);
    return {outerX + borders.left, outerY + borders.top, outerWidth - borders.left - borders.right,
            outerHeight - borders.top - borders.bottom};
}

WindowRect letterboxRect(int outputWidth, int outputHeight, int imageWidth, int imageHeight) {
    if (outputWidth <= 0 || outputHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) return {0, 0, 0, 0};
    // Compared in 64 bits: which side limits the scale.
    const int64_t wide = int64_t{outputWidth} * imageHeight;
    const int64_t tall = int64_t{outputHeight} * imageWidth;
    int width = outputWidth;
    int height = outputHeight;
    if (wide > tall) {
        width = static_cast<int>(tall / imageHeight);  // bars left and right
    } else {
        height = static_cast<int>(wide / imageWidth);  // bars above and below
    }
    return {(outputWidth - width) / 2, (outputHeight - height) / 2, width, height};
}

// Closing talks to the display server, and SDL waits there for the
// window's unmapping; a server that goes away in that moment (a session
// that ends, killing the game and the server together) never sends it, and
// Xlib would loop for ever. This is the program's end, the settings are
// written on their own thread, so a close that takes over 3 s ends the
// process, status 1: the display went away.
Window::~Window() {
    const Deadline deadline(kCloseDeadlineMs, 1);
    close();
}

std::string Window::open(const char* title, int imageWidth, int imageHeight, WindowStart start) {
    close();
    imageWidth_ = imageWidth;
    imageHeight_ = imageHeight;
    videoStarted_ = true;
    const auto failed = [this](std::string message) {
        close();
        return message;
    };
    if (std::string error = startVideo(); !error.empty()) return failed(error);

    // Created hidden and shown only once the renderer exists: a renderer may
    // replace the window to change its visual, and the desktop should see
    // only the final window.
    const Uint32 fullscreen = start.fullscreen ? Uint32{SDL_WINDOW_FULLSCREEN_DESKTOP} : Uint32{0};
    const Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN | fullscreen;
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, start.zoom * imageWidth,
                               start.zoom * imageHeight, flags);
    if (window_ == nullptr) return failed(std::string("vonkel: cannot open the window: ") + SDL_GetError());
    const Uint32 format = SDL_GetWindowPixelFormat(window_);
    converter_ = converterForPixelFormat(format);
    if (converter_ == nullptr) return failed(unsupportedFormat(format));
    renderer_ = createRenderer(window_);
    if (renderer_ != nullptr) {
        texture_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING, imageWidth, imageHeight);
    }
    if (texture_ == nullptr) return failed(std::string("vonkel: cannot draw into the window: ") + SDL_GetError());
    // The image is opaque whatever the format's alpha bits hold.
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);

    // No window manager would make the window fullscreen: the game does.
    if (start.fullscreen && x11WithoutWindowManager(window_)) {
        SDL_SetWindowFullscreen(window_, 0);
        coverDisplay(true);
    }
    watchX11(window_, &displayLost_);
    // The game reads keys, not text: no input method work per key press.
    SDL_StopTextInput();
    SDL_ShowWindow(window_);
    SDL_DisableScreenSaver();
    title_ = title;
    return {};
}

void Window::close() {
    // Without its server nothing of the window is left to release, and SDL
    // would end the process while it closes a connection of its own.
    if (displayLost_) return;
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    converter_ = nullptr;
    coversDisplay_ = false;
    if (videoStarted_) {
        SDL_EnableScreenSaver();
        SDL_Quit();
        videoStarted_ = false;
    }
}

bool Window::present(const uint32_t* image) {
    if (texture_ == nullptr) return false;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return false;
    convertImage(converter_, image, imageWidth_, imageHeight_, pixels, pitch);
    SDL_UnlockTexture(texture_);
    if (fullscreen()) {
        // The picture keeps its shape between black bars.
        int width = 0, height = 0;
        SDL_GetRendererOutputSize(renderer_, &width, &height);
        const WindowRect r = letterboxRect(width, height, imageWidth_, imageHeight_);
        const SDL_Rect target{r.x, r.y, r.width, r.height};
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, &target);
    } else {
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    }
    SDL_RenderPresent(renderer_);
    return true;
}

WindowEvents Window::takeEvents() {
    WindowEvents events;
    events.lost = displayLost_;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (event.type == SDL_QUIT ||
            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
            events.quit = true;
        } else if (x11WindowDestroyed(event, window_)) {
            events.lost = true;
        } else if (event.type == SDL_KEYDOWN) {
            handleShortcut(shortcutForKey(event.key.keysym.scancode, event.key.keysym.mod), event.key.repeat != 0,
                           events);
        }
    }
    return events;
}

// A held key repeats: a zoom or a volume step may repeat, a toggle must not
// flip back and forth.
void Window::handleShortcut(WindowShortcut shortcut, bool repeated, WindowEvents& events) {
    switch (shortcut) {
        case WindowShortcut::Zoom1:
        case WindowShortcut::Zoom2:
        case WindowShortcut::Zoom4: {
            const int factor = shortcut == WindowShortcut::Zoom1 ? 1 : shortcut == WindowShortcut::Zoom2 ? 2 : 4;
            if (zoom(factor)) events.zoomed = factor;
            break;
        }
        case WindowShortcut::ToggleFullscreen:
            if (!repeated && toggleFullscreen()) events.fullscreenChanged = !events.fullscreenChanged;
            break;
        case WindowShortcut::VolumeDown: --events.volumeSteps; break;
        case WindowShortcut::VolumeUp: ++events.volumeSteps; break;
        case WindowShortcut::ToggleMute: events.toggleMute ^= !repeated; break;
        case WindowShortcut::Screenshot: events.screenshot |= !repeated; break;
        case WindowShortcut::SaveRun: events.saveRun |= !repeated; break;
        case WindowShortcut::ToggleClip: events.toggleClip ^= !repeated; break;
        case WindowShortcut::None: break;
    }
}

// Zoom 1 x 1, 2 x 2 or 4 x 4: the window's outer size becomes `factor` times
// its initial outer size, centred on its display. Nothing in fullscreen.
bool Window::zoom(int factor) {
    if (window_ == nullptr || fullscreen()) return false;
    // A maximised window keeps its size until it is restored.
    if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_MAXIMIZED) != 0) SDL_RestoreWindow(window_);
    // Border sizes become known only once a window manager has framed the
    // window, so they are read at each zoom; without a manager there are none.
    WindowBorders borders{};
    if (SDL_GetWindowBordersSize(window_, &borders.top, &borders.left, &borders.bottom, &borders.right) != 0) {
        borders = {};
    }
    SDL_Rect bounds{};
    const int display = SDL_GetWindowDisplayIndex(window_);
    if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) return false;
    const WindowRect r =
        zoomedClientRect(factor, imageWidth_, imageHeight_, borders, {bounds.x, bounds.y, bounds.w, bounds.h});
    SDL_SetWindowSize(window_, r.width, r.height);
    SDL_SetWindowPosition(window_, r.x, r.y);
    return true;
}

// Fullscreen on the window's display, and back; where it cannot change, the
// window stays as it was. SDL keeps the windowed size and place.
bool Window::toggleFullscreen() {
    if (window_ == nullptr) return false;
    const bool was = fullscreen();
    if (coversDisplay_ || x11WithoutWindowManager(window_)) return coverDisplay(!was);
    if (SDL_SetWindowFullscreen(window_, was ? Uint32{0} : Uint32{SDL_WINDOW_FULLSCREEN_DESKTOP}) != 0) return false;
    return fullscreen() != was;
}

// Without a window manager the window is moved and sized over its display,
// which the X server does at once, and given back its place after.
bool Window::coverDisplay(bool cover) {
    int* w = windowed_;
    if (cover) {
        SDL_Rect bounds{};
        const int display = SDL_GetWindowDisplayIndex(window_);
        if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) return false;
        SDL_GetWindowPosition(window_, &w[0], &w[1]);
        SDL_GetWindowSize(window_, &w[2], &w[3]);
        SDL_SetWindowPosition(window_, bounds.x, bounds.y);
        SDL_SetWindowSize(window_, bounds.w, bounds.h);
    } else {
        SDL_SetWindowSize(window_, w[2], w[3]);
        SDL_SetWindowPosition(window_, w[0], w[1]);
    }
    coversDisplay_ = cover;
    return true;
}

bool Window::fullscreen() const {
    return window_ != nullptr && (coversDisplay_ || (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0);
}

void Window::setTitle(const std::string& title) {
    if (window_ == nullptr || title == title_) return;
    title_ = title;
    SDL_SetWindowTitle(window_, title.c_str());
}

}  // namespace vonkel
