#include "platform/presenter.h"

#include <SDL.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/renderer_choice.h"
#include "platform/x11_window_manager.h"

namespace vonkel {

namespace {

struct Presenter {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;  // the back surface, in the window's pixel format
    RowConverter converter = nullptr;
    int imageWidth = 0;
    int imageHeight = 0;
    bool videoStarted = false;
    // Fullscreen made by the game itself, where no window manager does it:
    // the window covers its display, and goes back to `windowed` after.
    bool coversDisplay = false;
    SDL_Rect windowed{};
};

Presenter presenter;

bool isFullscreen() {
    return presenter.coversDisplay || (SDL_GetWindowFlags(presenter.window) & SDL_WINDOW_FULLSCREEN) != 0;
}

// Without a window manager the window is moved and sized over its display,
// which the X server does at once, and given back its place after.
bool coverDisplay(bool cover) {
    SDL_Window* window = presenter.window;
    if (cover) {
        SDL_Rect bounds{};
        const int displayIndex = SDL_GetWindowDisplayIndex(window);
        if (displayIndex < 0 || SDL_GetDisplayBounds(displayIndex, &bounds) != 0) return false;
        SDL_GetWindowPosition(window, &presenter.windowed.x, &presenter.windowed.y);
        SDL_GetWindowSize(window, &presenter.windowed.w, &presenter.windowed.h);
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_SetWindowSize(window, bounds.w, bounds.h);
    } else {
        SDL_SetWindowSize(window, presenter.windowed.w, presenter.windowed.h);
        SDL_SetWindowPosition(window, presenter.windowed.x, presenter.windowed.y);
    }
    presenter.coversDisplay = cover;
    return true;
}

}  // namespace

bool zoomWindow(int factor) {
    SDL_Window* window = presenter.window;
    if (window == nullptr || isFullscreen()) return false;
    // A maximised window keeps its size until it is restored.
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED) != 0) SDL_RestoreWindow(window);

    // Border sizes become known only once a window manager has framed the
    // window, so they are read at each zoom, not at open; without a window
    // manager there are none.
    WindowBorders borders{};
    if (SDL_GetWindowBordersSize(window, &borders.top, &borders.left, &borders.bottom, &borders.right) != 0) {
        borders = {};
    }
    SDL_Rect bounds{};
    const int displayIndex = SDL_GetWindowDisplayIndex(window);
    if (displayIndex < 0 || SDL_GetDisplayBounds(displayIndex, &bounds) != 0) return false;

    const WindowRect r = zoomedClientRect(factor, presenter.imageWidth, presenter.imageHeight, borders,
                                          {bounds.x, bounds.y, bounds.w, bounds.h});
    SDL_SetWindowSize(window, r.width, r.height);
    SDL_SetWindowPosition(window, r.x, r.y);
    return true;
}

void setWindowTitle(const std::string& title) {
    static std::string shown;
    if (presenter.window == nullptr || title == shown) return;
    shown = title;
    SDL_SetWindowTitle(presenter.window, title.c_str());
}

bool toggleFullscreen() {
    // SDL keeps the windowed size and place and gives them back on leaving.
    if (presenter.window == nullptr) return false;
    const bool wasFullscreen = isFullscreen();
    if (presenter.coversDisplay || x11WithoutWindowManager(presenter.window)) return coverDisplay(!wasFullscreen);
    if (SDL_SetWindowFullscreen(presenter.window, wasFullscreen ? Uint32{0} : Uint32{SDL_WINDOW_FULLSCREEN_DESKTOP}) != 0) {
        return false;
    }
    return isFullscreen() != wasFullscreen;
}

bool presenterFullscreen() { return presenter.window != nullptr && isFullscreen(); }

RowConverter converterForPixelFormat(uint32_t sdlPixelFormat) {
    if (SDL_ISPIXELFORMAT_FOURCC(sdlPixelFormat) || SDL_ISPIXELFORMAT_INDEXED(sdlPixelFormat)) return nullptr;
    int bits = 0;
    Uint32 red = 0, green = 0, blue = 0, alpha = 0;
    if (SDL_PixelFormatEnumToMasks(sdlPixelFormat, &bits, &red, &green, &blue, &alpha) != SDL_TRUE) return nullptr;
    const int bitsPerPixel = static_cast<int>(SDL_BYTESPERPIXEL(sdlPixelFormat)) * 8;
    return chooseRowConverter(bitsPerPixel, red, green, blue);
}

namespace {

using Failure = PresenterOpening::Failure;

PresenterOpening failed(Failure failure, std::string message) {
    closePresenter();
    return {failure, "vonkel: " + message};
}

PresenterOpening noDisplay() {
    return failed(Failure::NoDisplay, "no display (set DISPLAY or WAYLAND_DISPLAY; vonkel-lab runs headless)");
}

// Whether SDL_VIDEODRIVER (one name or a comma-separated list) names any
// video driver this SDL has.
bool namesKnownDriver(const char* requested) {
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        if (driverListNames(requested, SDL_GetVideoDriver(i))) return true;
    }
    return false;
}

// SDL_VIDEODRIVER names no driver SDL has: say so, and which it has.
PresenterOpening unknownDriver(const char* requested) {
    std::string available;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const std::string name = SDL_GetVideoDriver(i);
        if (name != "offscreen" && name != "dummy") available += (available.empty() ? "" : ", ") + name;
    }
    return failed(Failure::NoDisplay,
                  "SDL_VIDEODRIVER='" + printableText(requested, 60) + "' names no video driver (drivers: " + available + ")");
}

PresenterOpening unsupportedFormat(Uint32 format) {
    std::string name;
    if (format != SDL_PIXELFORMAT_UNKNOWN) name = std::string(" ") + SDL_GetPixelFormatName(format);
    return failed(Failure::PixelFormat, "unsupported display pixel format" + name +
                                            " (use a display with 15, 16, 24 or 32 bits per pixel)");
}

PresenterOpening sdlFailure(const char* what) {
    return failed(Failure::Other, std::string(what) + ": " + SDL_GetError());
}

// Starts SDL's video and refuses a driver that would show the window nowhere.
PresenterOpening startVideo() {
    // The frame loop paces itself: no wait for the vertical retrace. The
    // image is scaled with nearest-neighbour sampling.
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // The software renderer presents through the window system's own image
    // transfer, not through OpenGL.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");

    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    const bool chosenByUser = requested != nullptr && requested[0] != '\0';
    if (!chosenByUser) {
        std::vector<std::string> drivers;
        for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) drivers.emplace_back(SDL_GetVideoDriver(i));
        const std::string list =
            videoDriversToTry(drivers, waylandSocketNamed(getenv("WAYLAND_DISPLAY"), getenv("XDG_RUNTIME_DIR")));
        if (!list.empty()) SDL_SetHint(SDL_HINT_VIDEODRIVER, list.c_str());
    }

    const bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!chosenByUser) SDL_SetHint(SDL_HINT_VIDEODRIVER, nullptr);
    if (!started && chosenByUser && !namesKnownDriver(requested)) return unknownDriver(requested);
    if (!started) return noDisplay();
    presenter.videoStarted = true;
    if (fellBackToHeadlessDriver(SDL_GetCurrentVideoDriver(), chosenByUser ? requested : nullptr)) return noDisplay();
    // A display whose own format no converter takes: refused before any
    // window appears.
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.format != SDL_PIXELFORMAT_UNKNOWN &&
        converterForPixelFormat(mode.format) == nullptr) {
        return unsupportedFormat(mode.format);
    }
    return {};
}

}  // namespace

PresenterOpening openPresenter(const char* title, int imageWidth, int imageHeight, SDL_Window** window,
                               WindowStart start) {
    presenter.imageWidth = imageWidth;
    presenter.imageHeight = imageHeight;
    if (PresenterOpening video = startVideo(); !video) return video;

    // Created hidden and shown only once the renderer exists: a renderer may
    // replace the window to change its visual, and the desktop should see
    // only the final window.
    const Uint32 flags =
        SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN | (start.fullscreen ? Uint32{SDL_WINDOW_FULLSCREEN_DESKTOP} : Uint32{0});
    presenter.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        start.zoom * imageWidth, start.zoom * imageHeight, flags);
    if (presenter.window == nullptr) return sdlFailure("cannot open the window");
    const Uint32 format = SDL_GetWindowPixelFormat(presenter.window);
    presenter.converter = converterForPixelFormat(format);
    if (presenter.converter == nullptr) return unsupportedFormat(format);
    presenter.renderer = createRenderer(presenter.window);
    if (presenter.renderer == nullptr) return sdlFailure("cannot draw into the window");

    presenter.texture =
        SDL_CreateTexture(presenter.renderer, format, SDL_TEXTUREACCESS_STREAMING, imageWidth, imageHeight);
    if (presenter.texture == nullptr) return sdlFailure("cannot draw into the window");
    // The image is opaque whatever the format's alpha bits hold.
    SDL_SetTextureBlendMode(presenter.texture, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(presenter.texture, SDL_ScaleModeNearest);

    // No window manager would make the window fullscreen: the game does.
    if (start.fullscreen && x11WithoutWindowManager(presenter.window)) {
        SDL_SetWindowFullscreen(presenter.window, 0);
        coverDisplay(true);
    }

    // The game reads keys, not text: no input method work per key press.
    SDL_StopTextInput();
    SDL_ShowWindow(presenter.window);
    SDL_DisableScreenSaver();

    *window = presenter.window;
    return {};
}

bool presentFrame(const uint32_t* image) {
    if (presenter.texture == nullptr) return false;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(presenter.texture, nullptr, &pixels, &pitch) != 0) return false;
    convertImage(presenter.converter, image, presenter.imageWidth, presenter.imageHeight, pixels, pitch);
    SDL_UnlockTexture(presenter.texture);

    if (isFullscreen()) {
        // The picture keeps its shape between black bars.
        int width = 0, height = 0;
        SDL_GetRendererOutputSize(presenter.renderer, &width, &height);
        const WindowRect r = letterboxRect(width, height, presenter.imageWidth, presenter.imageHeight);
        const SDL_Rect target{r.x, r.y, r.width, r.height};
        SDL_SetRenderDrawColor(presenter.renderer, 0, 0, 0, 255);
        SDL_RenderClear(presenter.renderer);
        SDL_RenderCopy(presenter.renderer, presenter.texture, nullptr, &target);
    } else {
        SDL_RenderCopy(presenter.renderer, presenter.texture, nullptr, nullptr);
    }
    SDL_RenderPresent(presenter.renderer);
    return true;
}

void closePresenter() {
    if (presenter.texture != nullptr) {
        SDL_DestroyTexture(presenter.texture);
        presenter.texture = nullptr;
    }
    if (presenter.renderer != nullptr) {
        SDL_DestroyRenderer(presenter.renderer);
        presenter.renderer = nullptr;
    }
    if (presenter.window != nullptr) {
        SDL_DestroyWindow(presenter.window);
        presenter.window = nullptr;
    }
    presenter.converter = nullptr;
    if (presenter.videoStarted) {
        SDL_EnableScreenSaver();
        SDL_Quit();
        presenter.videoStarted = false;
    }
}

}  // namespace vonkel
