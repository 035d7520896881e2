// Key press to pixels, seen from outside the program: finds a program's window by its name,
// watches it with the X server's DAMAGE extension, presses keys through XTEST and times each
// press from just before it is sent to the arrival of the first damage in the region where its
// change is expected.
//
//   bench_key_latency [options] <window name> <characters> <samples>
//     --name NAME          the figures are printed as latency_NAME_... (default "program")
//     --region X,Y,W,H     where a counted press changes the window (window pixels; default all)
//     --except X,Y,W,H     a press whose response also changes this region is not counted
//     --quiet MS           no damage for this long is a still screen (default 150)
//     --limit S            give up after this long, printing what was measured (default 600)
//   bench_key_latency --name NAME --figures FILE
//     the same figures from the presses listed in FILE (KEYFALL_BENCH_PRESSES), which may
//     gather several runs; other lines in it are passed over
//
// The characters are pressed in turn, each once (press, the response, then release), on a
// still screen, until <samples> presses have been counted. A press counts when its response
// reaches the region and leaves the excepted region alone; anything else (a key that changed
// nothing there, or something the program changed on its own at the same moment) is left out
// and only counted as uncounted. The arrival of the damage is the time the X server had the
// pixels, before any compositor or screen shows them.
//
// Prints "name value" lines (milliseconds): median, p99, max, min, samples, uncounted presses.
// KEYFALL_BENCH_PRESSES=1 lists every press on standard error, its figure or "uncounted".

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <poll.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool Meets(const XRectangle& r) const
    {
        return r.x < x + width && x < r.x + r.width && r.y < y + height && y < r.y + r.height;
    }
};

std::optional<Box> ParseBox(const char* text)
{
    Box box;
    char tail = 0;
    if (std::sscanf(text, "%d,%d,%d,%d%c", &box.x, &box.y, &box.width, &box.height, &tail) != 4 || box.width <= 0
        || box.height <= 0)
        return std::nullopt;
    return box;
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The value below which `fraction` of the sorted samples lie (nearest rank).
double Percentile(const std::vector<double>& sorted, double fraction)
{
    const auto rank = static_cast<std::size_t>(std::max(1.0, std::ceil(fraction * static_cast<double>(sorted.size()))));
    return sorted[std::min(rank, sorted.size()) - 1];
}

std::string NameOf(Display* display, Window window)
{
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name)
        return {};
    std::string text(name);
    XFree(name);
    return text;
}

// The viewable window of that name, the first found from the root down; None if there is none.
Window FindWindow(Display* display, Window parent, const std::string& name)
{
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return None;
    Window found = None;
    for (unsigned i = 0; i < count && found == None; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable
            && NameOf(display, children[i]) == name)
            found = children[i];
    }
    for (unsigned i = 0; i < count && found == None; ++i)
        found = FindWindow(display, children[i], name);
    if (children)
        XFree(children);
    return found;
}

// A window that goes away while it is watched ends the run with what was measured so far;
// Xlib's own handler for the errors that follow would end the process before the figures
// are printed.
bool g_windowGone = false;
int OnXError(Display*, XErrorEvent*)
{
    g_windowGone = true;
    return 0;
}

struct Damage {
    Clock::time_point arrived;
    XRectangle area;
};

class DamageWatch {
public:
    DamageWatch(Display* display, int damageBase) : m_display(display), m_damageBase(damageBase) {}

    // Sends what Xlib holds for the server. Xlib reads the connection while it flushes, so
    // the events that came with it are stamped here.
    void Flush()
    {
        XFlush(m_display);
        Take(Clock::now());
    }

    // The next damage reported before `deadline`, with the time the connection was read.
    std::optional<Damage> Next(Clock::time_point deadline)
    {
        for (;;) {
            if (!m_damage.empty()) {
                const Damage first = m_damage.front();
                m_damage.pop_front();
                return first;
            }
            if (g_windowGone)
                return std::nullopt;
            Flush();
            if (!m_damage.empty())
                continue;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return std::nullopt;
            pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
            if (poll(&connection, 1, static_cast<int>(left)) <= 0)
                continue;
            const auto read = Clock::now();
            XEventsQueued(m_display, QueuedAfterReading);
            Take(read);
        }
    }

    // Waits until nothing has changed for `quiet`, or until `deadline`; false at the deadline.
    bool WaitQuiet(Clock::duration quiet, Clock::time_point deadline)
    {
        auto still = Clock::now() + quiet;
        while (const auto damage = Next(std::min(still, deadline)))
            still = damage->arrived + quiet;
        return Clock::now() >= still;
    }

private:
    // Moves the events Xlib has read into the list of damage, all stamped with `read`.
    void Take(Clock::time_point read)
    {
        while (QLength(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == m_damageBase + XDamageNotify)
                m_damage.push_back({read, reinterpret_cast<const XDamageNotifyEvent&>(event).area});
            else if (event.type == DestroyNotify)
                g_windowGone = true;
        }
    }

    Display* m_display;
    int m_damageBase;
    std::deque<Damage> m_damage;
};

int Usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [--name NAME] [--region X,Y,W,H] [--except X,Y,W,H] [--quiet MS] [--limit S]\n"
                 "       <window name> <characters> <samples>\n"
                 "       %s --name NAME --figures FILE\n",
                 program, program);
    return 2;
}

// The "name value" lines, from the figures of the counted presses; 1 when none was counted.
int PrintFigures(const std::string& name, std::vector<double> samples, int uncounted)
{
    std::sort(samples.begin(), samples.end());
    const auto put = [&name](const char* what, double value) {
        std::printf("latency_%s_%s %.3f\n", name.c_str(), what, value);
    };
    if (samples.empty()) {
        for (const char* what : {"median", "p99", "max", "min"})
            std::printf("latency_%s_%s n/a\n", name.c_str(), what);
    } else {
        put("median", Percentile(samples, 0.5));
        put("p99", Percentile(samples, 0.99));
        put("max", samples.back());
        put("min", samples.front());
    }
    std::printf("latency_%s_samples %zu\n", name.c_str(), samples.size());
    std::printf("latency_%s_uncounted %d\n", name.c_str(), uncounted);
    return samples.empty() ? 1 : 0;
}

// The figures of the presses a file lists, as they are listed: "<character> <ms>" or
// "<character> uncounted".
int FiguresOfList(const std::string& name, const char* file)
{
    std::ifstream list(file);
    if (!list) {
        std::fprintf(stderr, "cannot read %s\n", file);
        return 2;
    }
    std::vector<double> samples;
    int uncounted = 0;
    for (std::string line; std::getline(list, line);) {
        if (line.size() < 3 || line[1] != ' ')
            continue;
        const std::string_view figure = std::string_view(line).substr(2);
        double ms = 0;
        if (figure == "uncounted")
            ++uncounted;
        else if (const auto [end, error] = std::from_chars(figure.data(), figure.data() + figure.size(), ms);
                 error == std::errc() && end == figure.data() + figure.size())
            samples.push_back(ms);
    }
    return PrintFigures(name, std::move(samples), uncounted);
}

} // namespace

int main(int argc, char* argv[])
{
    std::string name = "program";
    std::optional<Box> region;
    std::optional<Box> except;
    int quietMs = 150;
    double limitSeconds = 600;
    const char* figures = nullptr;
    std::vector<std::string_view> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool valued = arg == "--name" || arg == "--region" || arg == "--except" || arg == "--quiet"
                            || arg == "--limit" || arg == "--figures";
        if (valued && i + 1 >= argc)
            return Usage(argv[0]);
        if (arg == "--name") {
            name = argv[++i];
        } else if (arg == "--figures") {
            figures = argv[++i];
        } else if (arg == "--region" || arg == "--except") {
            auto& box = arg == "--region" ? region : except;
            box = ParseBox(argv[++i]);
            if (!box)
                return Usage(argv[0]);
        } else if (arg == "--quiet") {
            quietMs = std::atoi(argv[++i]);
        } else if (arg == "--limit") {
            limitSeconds = std::atof(argv[++i]);
        } else if (arg.starts_with("--")) {
            return Usage(argv[0]);
        } else {
            positional.push_back(arg);
        }
    }
    if (figures)
        return positional.empty() ? FiguresOfList(name, figures) : Usage(argv[0]);
    if (positional.size() != 3 || positional[1].empty() || quietMs <= 0 || limitSeconds <= 0)
        return Usage(argv[0]);
    const std::string windowName(positional[0]);
    const std::string characters(positional[1]);
    const int wanted = std::atoi(std::string(positional[2]).c_str());
    if (wanted <= 0)
        return Usage(argv[0]);

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    int damageBase = 0;
    int damageError = 0;
    int testEvent = 0;
    int testError = 0;
    int major = 0;
    int minor = 0;
    if (!XDamageQueryExtension(display, &damageBase, &damageError)
        || !XTestQueryExtension(display, &testEvent, &testError, &major, &minor)) {
        std::fprintf(stderr, "the X server lacks DAMAGE or XTEST\n");
        return 1;
    }

    // Only keys that type their character without a modifier: a held Shift would be a key
    // press of its own, with a response of its own.
    std::vector<KeyCode> codes;
    for (const char c : characters) {
        const KeySym sym = XStringToKeysym(std::string(1, c).c_str());
        const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
        if (code == 0 || XkbKeycodeToKeysym(display, code, 0, 0) != sym) {
            std::fprintf(stderr, "'%c' is not typed by a key alone on this X server's keyboard\n", c);
            return 1;
        }
        codes.push_back(code);
    }

    const auto start = Clock::now();
    const auto limit = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limitSeconds));
    Window window = None;
    while (window == None && Clock::now() < limit) {
        window = FindWindow(display, DefaultRootWindow(display), windowName);
        if (window == None)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (window == None) {
        std::fprintf(stderr, "no window named \"%s\"\n", windowName.c_str());
        return 1;
    }
    XSetErrorHandler(OnXError);
    XSelectInput(display, window, StructureNotifyMask);
    XDamageCreate(display, window, XDamageReportRawRectangles);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);

    const bool listEach = std::getenv("KEYFALL_BENCH_PRESSES") != nullptr;
    const auto quiet = std::chrono::milliseconds(quietMs);
    // A key whose response has not begun by then changed nothing.
    const auto noResponse = std::chrono::seconds(1);
    DamageWatch watch(display, damageBase);
    std::vector<double> samples;
    int uncounted = 0;
    for (std::size_t next = 0; static_cast<int>(samples.size()) < wanted && !g_windowGone; ++next) {
        if (!watch.WaitQuiet(quiet, limit))
            break;
        const KeyCode code = codes[next % codes.size()];
        const auto pressed = Clock::now();
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        watch.Flush();
        std::optional<Clock::time_point> reached;
        bool excepted = false;
        auto deadline = pressed + noResponse;
        while (const auto damage = watch.Next(std::min(deadline, limit))) {
            if (!reached && (!region || region->Meets(damage->area)))
                reached = damage->arrived;
            if (except && except->Meets(damage->area))
                excepted = true;
            deadline = damage->arrived + quiet;
        }
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        watch.Flush();
        const char typed = characters[next % codes.size()];
        if (reached && !excepted) {
            samples.push_back(Ms(*reached - pressed));
            if (listEach)
                std::fprintf(stderr, "%c %.3f\n", typed, samples.back());
        } else {
            ++uncounted;
            if (listEach)
                std::fprintf(stderr, "%c uncounted\n", typed);
        }
        if (Clock::now() >= limit)
            break;
    }
    if (g_windowGone)
        std::fprintf(stderr, "the window went away after %zu samples\n", samples.size());
    else if (static_cast<int>(samples.size()) < wanted)
        std::fprintf(stderr, "stopped at the time limit after %zu samples\n", samples.size());

    XCloseDisplay(display);
    return PrintFigures(name, std::move(samples), uncounted);
}
