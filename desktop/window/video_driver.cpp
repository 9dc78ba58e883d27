#include "desktop/window/video_driver.h"

#include <SDL.h>
#include <glob.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>


#include "lockstep/decimal.h"

namespace vonkel {
namespace {

const std::string kNoDisplay = "vonkel: no display (set DISPLAY or WAYLAND_DISPLAY; vonkel-lab runs headless)";

// Whether SDL_VIDEODRIVER names any video driver this SDL has.
bool namesKnownDriver(const char* requested) {
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        if (driverListNames(requested, SDL_GetVideoDriver(i))) return true;
    }
    return false;
}

std::string unknownDriver(const char* requested) {
    std::string available;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const std::string name = SDL_GetVideoDriver(i);
        if (name != "offscreen" && name != "dummy") available += (available.empty() ? "" : ", ") + name;
    }
    return "vonkel: SDL_VIDEODRIVER='" + lockstep::printable(requested, 60) + "' names no video driver (drivers: " +
           available + ")";
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

// A window system may give no software renderer: SDL's Wayland driver has no
// window surface to write into. Then any renderer SDL can make for the window
// is taken (on Wayland without graphics hardware, OpenGL ES in a software
// rasteriser).
SDL_Renderer* softwareElseAny(SDL_Window* window) {
    if (SDL_Renderer* software = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE)) return software;
    return SDL_CreateRenderer(window, -1, 0);
}

}  // namespace

std::string startVideo() {
    // The frame loop paces itself: no wait for the vertical retrace. The
    // image is scaled with nearest-neighbour sampling. The software renderer
    // presents through the window system's own image transfer, not OpenGL.
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
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
    if (!started) return kNoDisplay;
    if (fellBackToHeadlessDriver(SDL_GetCurrentVideoDriver(), chosenByUser ? requested : nullptr)) return kNoDisplay;
    // A display whose own format no converter takes: refused before any
    // window appears.
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.format != SDL_PIXELFORMAT_UNKNOWN &&
        converterForPixelFormat(mode.format) == nullptr) {
        return unsupportedFormat(mode.format);
    }
    return {};
}

// The image path: a graphics-hardware renderer where there is one, else
// SDL's own software renderer writing straight into the window. For this one
// full-window copy per frame, OpenGL in a software rasteriser costs several
// times the processor time and memory of the software renderer.
SDL_Renderer* createRenderer(SDL_Window* window) {
    const bool chosenByUser = SDL_GetHint(SDL_HINT_RENDER_DRIVER) != nullptr;
    if (!chosenByUser && !graphicsDevicePresent()) return softwareElseAny(window);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer == nullptr || chosenByUser || !rendersThroughSoftwareGl(renderer)) return renderer;
    SDL_DestroyRenderer(renderer);
    return softwareElseAny(window);
}

RowConverter converterForPixelFormat(uint32_t sdlPixelFormat) {
    if (SDL_ISPIXELFORMAT_FOURCC(sdlPixelFormat) || SDL_ISPIXELFORMAT_INDEXED(sdlPixelFormat)) return nullptr;
    int bits = 0;
    Uint32 red = 0, green = 0, blue = 0, alpha = 0;
    if (SDL_PixelFormatEnumToMasks(sdlPixelFormat, &bits, &red, &green, &blue, &alpha) != SDL_TRUE) return nullptr;
    const int bitsPerPixel = static_cast<int>(SDL_BYTESPERPIXEL(sdlPixelFormat)) * 8;
    return chooseRowConverter(bitsPerPixel, red, green, blue);
}

std::string unsupportedFormat(uint32_t sdlPixelFormat) {
    std::string name;
    if (sdlPixelFormat != SDL_PIXELFORMAT_UNKNOWN) name = std::string(" ") + SDL_GetPixelFormatName(sdlPixelFormat);
    return "vonkel: unsupported display pixel format" + name + " (use a display with 15, 16, 24 or 32 bits per pixel)";
}

bool driverListNames(const char* requested, const char* driver) {
    if (requested == nullptr || driver == nullptr) return false;
    const std::string_view name(driver);
    std::string_view list(requested);
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        if (item.size() == name.size() && SDL_strncasecmp(item.data(), driver, item.size()) == 0) return true;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

bool fellBackToHeadlessDriver(const char* chosen, const char* requested) {
    if (chosen == nullptr) return false;
    const std::string_view driver(chosen);
    if (driver != "offscreen" && driver != "dummy") return false;
    return !driverListNames(requested, chosen);
}

std::string videoDriversToTry(const std::vector<std::string>& available, bool waylandReachable) {
    std::string list;
    bool leftOut = false;
    for (const std::string& driver : available) {
        if (driver == "offscreen" || driver == "dummy" || (driver == "wayland" && !waylandReachable)) {
            leftOut = true;
            continue;
        }
        if (!list.empty()) list += ',';
        list += driver;
    }
    return leftOut ? list : std::string();
}

bool waylandSocketNamed(const char* waylandDisplay, const char* runtimeDir) {
    if (waylandDisplay != nullptr && waylandDisplay[0] == '/') return true;
    return runtimeDir != nullptr && runtimeDir[0] != '\0';
}

}  // namespace vonkel
