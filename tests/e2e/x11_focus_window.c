/* Opens a small second window on the desktop, so that a test can move the
 * keyboard focus away from the game to another program's window.
 *
 * usage: x11_focus_window ID-FILE
 * Uses $DISPLAY. Maps a 64 x 64 window titled "focus-target" at the top-left
 * corner of the screen, writes its id (decimal) to ID-FILE once it is mapped,
 * and then keeps it open until the process is ended. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s ID-FILE\n", argv[0]);
        return 1;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "%s: cannot open display\n", argv[0]);
        return 1;
    }
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes;
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask = StructureNotifyMask | KeyPressMask | KeyReleaseMask | FocusChangeMask;
    Window window = XCreateWindow(display, RootWindow(display, screen), 0, 0, 64, 64, 0, CopyFromParent,
                                  InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XStoreName(display, window, "focus-target");
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && event.xmap.window == window) break;
    }
    FILE* out = fopen(argv[1], "w");
    if (out == NULL || fprintf(out, "%lu\n", (unsigned long)window) < 0 || fclose(out) != 0) {
        fprintf(stderr, "%s: cannot write '%s'\n", argv[0], argv[1]);
        return 1;
    }
    /* Key events that reach this window are simply taken and dropped. */
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
    }
}
