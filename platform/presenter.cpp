#include "platform/presenter.h"

#include <SDL.h>
#include <glob.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

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
};

Presenter presenter;

void zoomWindow(int factor) {
    SDL_Window* window = presenter.window;
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
    if (displayIndex < 0 || SDL_GetDisplayBounds(displayIndex, &bounds) != 0) return;

    const WindowRect r = zoomedClientRect(factor, presenter.imageWidth, presenter.imageHeight, borders,
                                          {bounds.x, bounds.y, bounds.w, bounds.h});
    SDL_SetWindowSize(window, r.width, r.height);
    SDL_SetWindowPosition(window, r.x, r.y);
}

// Whether the machine has a device node through which OpenGL could run on
// graphics hardware. Without one, any OpenGL is a software rasteriser.
bool graphicsDevicePresent() {
    for (const char* pattern : {"/dev/dri/renderD*", "/dev/dri/card*", "/dev/nvidiactl"}) {
        glob_t found{};
        const bool any = glob(pattern, GLOB_NOSORT, nullptr, &found) == 0 && found.gl_pathc > 0;
        globfree(&found);
        if (any) return true;
    }
    return false;
}

// Whether an OpenGL renderer draws through one of Mesa's software
// rasterisers. Its context is current right after creation.
bool rendersThroughSoftwareGl(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    void* symbol = SDL_GL_GetProcAddress("glGetString");
    if (symbol == nullptr) return false;
    constexpr unsigned int kGlRenderer = 0x1F01;
    const auto* name = reinterpret_cast<const char*>(reinterpret_cast<GetString>(symbol)(kGlRenderer));
    if (name == nullptr) return false;
    for (const char* rasteriser : {"llvmpipe", "softpipe", "Software Rasterizer"}) {
        if (std::strstr(name, rasteriser) != nullptr) return true;
    }
    return false;
}

// The image path: a graphics-hardware renderer where there is one, else
// SDL's own software renderer writing straight into the window. For this one
// full-window copy per frame, OpenGL in a software rasteriser costs several
// times the processor time and memory of the software renderer. A renderer
// named in SDL_RENDER_DRIVER is taken as it is.
SDL_Renderer* createRenderer(SDL_Window* window) {
    const bool chosenByUser = SDL_GetHint(SDL_HINT_RENDER_DRIVER) != nullptr;
    if (!chosenByUser && !graphicsDevicePresent()) return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer == nullptr || chosenByUser || !rendersThroughSoftwareGl(renderer)) return renderer;
    SDL_DestroyRenderer(renderer);
    return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
}

[[noreturn]] void endOnCloseRequest() {
    closePresenter();
    // Ends at once, on purpose without exit(): the audio thread may be inside
    // its callback right now, and neither static destructors nor the audio
    // library's teardown may run under it.
    _exit(0);
}

void handleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            endOnCloseRequest();
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) endOnCloseRequest();
            break;
        case SDL_KEYDOWN: {
            const int factor = zoomFactorForKey(event.key.keysym.scancode, event.key.keysym.mod);
            if (factor != 0) zoomWindow(factor);
            break;
        }
        default:
            break;
    }
}

}  // namespace

RowConverter converterForPixelFormat(uint32_t sdlPixelFormat) {
    if (SDL_ISPIXELFORMAT_FOURCC(sdlPixelFormat) || SDL_ISPIXELFORMAT_INDEXED(sdlPixelFormat)) return nullptr;
    int bits = 0;
    Uint32 red = 0, green = 0, blue = 0, alpha = 0;
    if (SDL_PixelFormatEnumToMasks(sdlPixelFormat, &bits, &red, &green, &blue, &alpha) != SDL_TRUE) return nullptr;
    const int bitsPerPixel = static_cast<int>(SDL_BYTESPERPIXEL(sdlPixelFormat)) * 8;
    return chooseRowConverter(bitsPerPixel, red, green, blue);
}

int zoomFactorForKey(SDL_Scancode key, uint16_t modifiers) {
    if ((modifiers & KMOD_CTRL) == 0 || (modifiers & (KMOD_ALT | KMOD_GUI)) != 0) return 0;
    switch (key) {
        case SDL_SCANCODE_1:
        case SDL_SCANCODE_KP_1:
            return 1;
        case SDL_SCANCODE_2:
        case SDL_SCANCODE_KP_2:
            return 2;
        case SDL_SCANCODE_4:
        case SDL_SCANCODE_KP_4:
            return 4;
        default:
            return 0;
    }
}

WindowRect zoomedClientRect(int factor, int baseClientWidth, int baseClientHeight, WindowBorders borders,
                            WindowRect display) {
    const int outerWidth = factor * (baseClientWidth + borders.left + borders.right);
    const int outerHeight = factor * (baseClientHeight + borders.top + borders.bottom);
    const int outerX = display.x + ((display.width - outerWidth) >> 1);
    const int outerY = display.y + ((display.height - outerHeight) >> 1);
    return {outerX + borders.left, outerY + borders.top, outerWidth - borders.left - borders.right,
            outerHeight - borders.top - borders.bottom};
}

bool openPresenter(const char* title, int imageWidth, int imageHeight, SDL_Window** window) {
    presenter.imageWidth = imageWidth;
    presenter.imageHeight = imageHeight;

    // The frame loop paces itself: no wait for the vertical retrace. The
    // image is scaled with nearest-neighbour sampling.
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // The software renderer presents through the window system's own image
    // transfer, not through OpenGL.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");

    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    presenter.videoStarted = true;

    // Created hidden and shown only once the renderer exists: a renderer may
    // replace the window to change its visual, and the desktop should see
    // only the final window.
    presenter.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, imageWidth,
                                        imageHeight, SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (presenter.window == nullptr) {
        closePresenter();
        return false;
    }
    presenter.renderer = createRenderer(presenter.window);
    if (presenter.renderer == nullptr) {
        closePresenter();
        return false;
    }

    const Uint32 format = SDL_GetWindowPixelFormat(presenter.window);
    presenter.converter = converterForPixelFormat(format);
    if (presenter.converter == nullptr) {
        closePresenter();
        return false;
    }
    presenter.texture =
        SDL_CreateTexture(presenter.renderer, format, SDL_TEXTUREACCESS_STREAMING, imageWidth, imageHeight);
    if (presenter.texture == nullptr) {
        closePresenter();
        return false;
    }
    // The image is opaque whatever the format's alpha bits hold.
    SDL_SetTextureBlendMode(presenter.texture, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(presenter.texture, SDL_ScaleModeNearest);

    // The game reads keys, not text: no input method work per key press.
    SDL_StopTextInput();
    SDL_ShowWindow(presenter.window);
    SDL_DisableScreenSaver();

    *window = presenter.window;
    return true;
}

bool presentFrame(const uint32_t* image) {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) handleEvent(event);

    if (presenter.texture == nullptr) return false;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(presenter.texture, nullptr, &pixels, &pitch) != 0) return false;
    convertImage(presenter.converter, image, presenter.imageWidth, presenter.imageHeight, pixels, pitch);
    SDL_UnlockTexture(presenter.texture);

    SDL_RenderCopy(presenter.renderer, presenter.texture, nullptr, nullptr);
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
