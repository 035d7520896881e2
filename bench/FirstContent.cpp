// Launch to first frame with content, seen from outside the program: starts the command given
// on its command line and watches the X server's screen until any pixel is no longer black
// (run the X server with a black root window, `Xvfb -br`). Prints "first_content_ms <ms>"
// and "pid <pid>", then leaves the program running for the caller, who owns it from then on.
//
//   bench_first_content <timeout s> <program> [arguments...]
//
// A program that never draws within the timeout gives "first_content_ms n/a". The X server
// reports every rectangle drawn on the screen (DAMAGE on the root window, whose damage takes
// in every window on it), and only those rectangles are read back, every other pixel of every
// other row: reading the whole screen every few milliseconds would keep the server that the
// program is starting on busy with the probe instead. The time is that of reading the report
// of the first rectangle with content.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <poll.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

bool HasContent(Display* display, Window root, const XRectangle& area, int step)
{
    if (area.width == 0 || area.height == 0)
        return false;
    XImage* image = XGetImage(display, root, area.x, area.y, area.width, area.height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    // XDestroyImage is a macro, not a function to point at.
    const auto destroy = [](XImage* i) { XDestroyImage(i); };
    const std::unique_ptr<XImage, decltype(destroy)> owned(image, destroy);
    for (int y = 0; y < area.height; y += step) {
        for (int x = 0; x < area.width; x += step) {
            if ((XGetPixel(image, x, y) & 0xFFFFFFu) != 0)
                return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <timeout s> <program> [arguments...]\n", argv[0]);
        return 2;
    }
    const double timeout = std::atof(argv[1]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const XRectangle whole{0, 0, static_cast<unsigned short>(DisplayWidth(display, screen)),
                           static_cast<unsigned short>(DisplayHeight(display, screen))};
    if (HasContent(display, root, whole, 4)) {
        std::fprintf(stderr, "the screen is not black before the launch\n");
        return 1;
    }
    int damageBase = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageBase, &damageError)) {
        std::fprintf(stderr, "the X server has no DAMAGE extension\n");
        return 1;
    }
    XDamageCreate(display, root, XDamageReportRawRectangles);
    XSync(display, False);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    const auto limit = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
    double ms = -1;
    while (ms < 0 && Clock::now() < limit) {
        if (XPending(display) == 0) {
            // Short waits, so that a program that ends without drawing is noticed.
            pollfd connection{ConnectionNumber(display), POLLIN, 0};
            poll(&connection, 1, 20);
            if (waitpid(child, nullptr, WNOHANG) == child)
                break;
            continue;
        }
        const auto read = Clock::now();
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != damageBase + XDamageNotify)
            continue;
        if (HasContent(display, root, reinterpret_cast<const XDamageNotifyEvent&>(event).area, 2))
            ms = std::chrono::duration<double, std::milli>(read - start).count();
    }
    if (ms < 0)
        std::printf("first_content_ms n/a\n");
    else
        std::printf("first_content_ms %.1f\n", ms);
    std::printf("pid %d\n", static_cast<int>(child));
    XCloseDisplay(display);
    return 0;
}
