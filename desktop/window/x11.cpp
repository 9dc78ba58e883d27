#include "desktop/window/x11.h"

#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace vonkel {

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

int ignoreXError(Display* /*display*/, XErrorEvent* /*error*/) { return 0; }

// Xlib's own would print and end the process; returning hands the broken
// connection to the exit handler below, which lets the game go on.
int quietIOError(Display* /*display*/) { return 0; }

void noteLostConnection(Display* /*display*/, void* lost) { *static_cast<bool*>(lost) = true; }

::Window x11Window(SDL_Window* window, Display** display = nullptr) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return None;
    }
    if (display != nullptr) *display = info.info.x11.display;
    return info.info.x11.window;
}

}  // namespace
#endif

bool x11WithoutWindowManager(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    Display* display = nullptr;
    if (x11Window(window, &display) == None) return false;
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return true;  // no client ever named it: no manager
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                          &format, &items, &after, &data);
    const bool named = status == Success && type == XA_WINDOW && items == 1;
    if (data != nullptr) XFree(data);
    return !named;
#else
    (void)window;
    return false;
#endif
}

void watchX11(SDL_Window* window, bool* lost) {
#if defined(SDL_VIDEO_DRIVER_X11)
    Display* display = nullptr;
    if (x11Window(window, &display) == None) return;
    XSetErrorHandler(ignoreXError);
    XSetIOErrorHandler(quietIOError);
    XSetIOErrorExitHandler(display, noteLostConnection, lost);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#else
    (void)window;
    (void)lost;
#endif
}

bool x11WindowDestroyed(const SDL_Event& event, SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr || event.syswm.msg->subsystem != SDL_SYSWM_X11) {
        return false;
    }
    const XEvent& x = event.syswm.msg->msg.x11.event;
    return x.type == DestroyNotify && x.xdestroywindow.window == x11Window(window);
#else
    (void)event;
    (void)window;
    return false;
#endif
}

}  // namespace vonkel
