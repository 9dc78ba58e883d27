/* Counts the frames a window shows, from outside the program that draws it:
 * subscribes to the X server's damage reports on the window and counts each
 * drawing that starts at the window's top-left corner (one per shown frame,
 * even when a large image reaches the server in several pieces).
 *
 * usage: x11_frame_counter WINDOW-ID SECONDS
 * Uses $DISPLAY. Prints one line
 *   "frames N span_ms T fps F median_interval_ms M median_fps G"
 * where T is the server time between the first and the last counted frame,
 * F = (N - 1) / T the mean rate, M the median time between two frames (the
 * server's time stamps count milliseconds) and G = 1000 / M, the rate at
 * which the frames come when the program is not held up; a busy machine
 * delays some frames, which lowers F but hardly G.
 * Exit code 0 when at least two frames were seen, 1 otherwise. */
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double now_seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static int ignore_errors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s WINDOW-ID SECONDS\n", argv[0]);
        return 1;
    }
    char* end = NULL;
    unsigned long window = strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || window == 0) {
        fprintf(stderr, "%s: bad window id '%s'\n", argv[0], argv[1]);
        return 1;
    }
    double seconds = strtod(argv[2], &end);
    if (end == argv[2] || *end != '\0' || !(seconds > 0.0)) {
        fprintf(stderr, "%s: bad duration '%s'\n", argv[0], argv[2]);
        return 1;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "%s: cannot open display\n", argv[0]);
        return 1;
    }
    int event_base = 0, error_base = 0;
    if (!XDamageQueryExtension(display, &event_base, &error_base)) {
        fprintf(stderr, "%s: the X server has no DAMAGE extension\n", argv[0]);
        return 1;
    }
    XSetErrorHandler(ignore_errors);
    /* One report per drawing request, with the rectangle it touched. */
    Damage damage = XDamageCreate(display, (Drawable)window, XDamageReportRawRectangles);
    XSync(display, False);

    enum { kMaxFrames = 100000 };
    static Time stamps[kMaxFrames];
    long frames = 0;
    Time first = 0, last = 0;
    const double deadline = now_seconds() + seconds;
    struct pollfd watch = {ConnectionNumber(display), POLLIN, 0};
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != event_base + XDamageNotify) continue;
            const XDamageNotifyEvent* notify = (const XDamageNotifyEvent*)&event;
            if (notify->area.x != 0 || notify->area.y != 0) continue;
            if (frames == 0) first = notify->timestamp;
            last = notify->timestamp;
            if (frames < kMaxFrames) stamps[frames] = notify->timestamp;
            ++frames;
        }
        const double left = deadline - now_seconds();
        if (left <= 0.0) break;
        poll(&watch, 1, (int)(left * 1000.0) + 1);
    }
    XDamageDestroy(display, damage);
    XCloseDisplay(display);

    const double span_ms = (double)(last - first);
    const double fps = frames >= 2 && span_ms > 0.0 ? (double)(frames - 1) * 1000.0 / span_ms : 0.0;
    /* The median interval, by counting: intervals are small whole numbers. */
    const long kept = frames < kMaxFrames ? frames : kMaxFrames;
    enum { kLongest = 1000 };
    static long count[kLongest + 1];
    memset(count, 0, sizeof count);
    for (long i = 1; i < kept; ++i) {
        Time interval = stamps[i] - stamps[i - 1];
        ++count[interval < kLongest ? interval : kLongest];
    }
    long median = 0, seen = 0;
    while (median < kLongest && 2 * (seen + count[median]) < kept - 1) seen += count[median++];
    const double median_fps = median > 0 ? 1000.0 / (double)median : 0.0;
    printf("frames %ld span_ms %.0f fps %.2f median_interval_ms %ld median_fps %.2f\n", frames, span_ms, fps, median,
           median_fps);
    return frames >= 2 ? 0 : 1;
}
