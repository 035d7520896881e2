// Launch to first frame with content, seen from outside the program: starts the command given
// on its command line and polls the X server's screen until any pixel is no longer black
// (run the X server with a black root window, `Xvfb -br`). Prints "first_content_ms <ms>"
// and "pid <pid>", then leaves the program running for the caller, who owns it from then on.
//
//   bench_first_content <timeout s> <program> [arguments...]
//
// A program that never draws within the timeout gives "first_content_ms n/a". Polling reads
// every 4th pixel of every 4th row, so a single glyph of 4 pixels or more is seen, at a small
// cost to the X server during start-up.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

bool HasContent(Display* display, Window root, int width, int height)
{
    XImage* image =
        XGetImage(display, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image)
        return false;
    // XDestroyImage is a macro, not a function to point at.
    const auto destroy = [](XImage* i) { XDestroyImage(i); };
    const std::unique_ptr<XImage, decltype(destroy)> owned(image, destroy);
    for (int y = 0; y < height; y += 4) {
        for (int x = 0; x < width; x += 4) {
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
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);
    if (HasContent(display, root, width, height)) {
        std::fprintf(stderr, "the screen is not black before the launch\n");
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    const auto limit = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
    double ms = -1;
    while (Clock::now() < limit) {
        if (HasContent(display, root, width, height)) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        if (waitpid(child, nullptr, WNOHANG) == child)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (ms < 0)
        std::printf("first_content_ms n/a\n");
    else
        std::printf("first_content_ms %.1f\n", ms);
    std::printf("pid %d\n", static_cast<int>(child));
    XCloseDisplay(display);
    return 0;
}
