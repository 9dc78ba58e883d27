#include "platform/renderer_choice.h"

#include <SDL.h>
#include <glob.h>

#include <cstring>
#include <initializer_list>

namespace vonkel {
namespace {

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

// The image path: a graphics-hardware renderer where there is one, else
// SDL's own software renderer writing straight into the window. For this one
// full-window copy per frame, OpenGL in a software rasteriser costs several
// times the processor time and memory of the software renderer. A renderer
// named in SDL_RENDER_DRIVER is taken as it is.
SDL_Renderer* createRenderer(SDL_Window* window) {
    const bool chosenByUser = SDL_GetHint(SDL_HINT_RENDER_DRIVER) != nullptr;
    if (!chosenByUser && !graphicsDevicePresent()) return softwareElseAny(window);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer == nullptr || chosenByUser || !rendersThroughSoftwareGl(renderer)) return renderer;
    SDL_DestroyRenderer(renderer);
    return softwareElseAny(window);
}

}  // namespace vonkel
