// Benchmarks of the game on a real Qt event loop. One mode per run, so that each figure
// comes from a fresh process:
//
//   bench_window fidelity <interval ms> <seconds>   the letter timer's period, live
//   bench_window tick <samples> [keyboard]          one letter tick with 18 falling, repainted;
//                                                   with the on-screen keyboard (Italian) shown
//   bench_window firstpaint <cue folder>            start-up to the first painted field
//
// KEYFALL_BENCH_GAPS=1 makes a fidelity run list every gap on standard error.
//
// Each prints "name value" lines for bench/run.sh to put in its table; nothing is asserted.
// Without a QT_QPA_PLATFORM of its own, a run uses the offscreen platform with one
// 1920 x 1080 screen.

#include "settings/MemoryStore.h"
#include "settings/Random.h"
#include "settings/Settings.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/KeyboardGuide.h"
#include "ui/PlayField.h"
#include "ui/PlayerKeymap.h"
#include "ui/QtSettingsStore.h"
#include "ui/SoundPlayer.h"
#include "ui/TimerDriver.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace keyfall;
using Clock = std::chrono::steady_clock;

namespace {

// The benchmarks measure the window, not the sound server.
class SilentCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The value below which `fraction` of the samples lie (nearest rank).
double Percentile(std::vector<double> v, double fraction)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<std::size_t>(std::max(1.0, std::ceil(fraction * static_cast<double>(v.size()))));
    return v[std::min(rank, v.size()) - 1];
}

void UseOffscreenFullHd()
{
    if (std::getenv("QT_QPA_PLATFORM"))
        return;
    const auto path = std::filesystem::temp_directory_path() / "keyfall-bench-screen.json";
    std::ofstream(path) << R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
                           R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    const std::string platform = "offscreen:configfile=" + path.string();
    setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
}

struct Rig {
    Settings settings;
    MemoryStore store;
    Random random{20240601};
    SilentCues cues;
    GameWindow window{settings, store, random, cues};

    Rig()
    {
        window.showFullScreen();
        QApplication::processEvents();
    }

    // Selects the level (0 Facile, 1 Medio, 2 Difficile) and presses VIA.
    void Start(int level)
    {
        window.Handle([this, level] { window.form().optDifficulty_Click(static_cast<std::int16_t>(level)); });
        window.Handle([this] { window.form().cmdStart_Click(); });
    }

    int Falling()
    {
        const FrmMain& f = window.form();
        return static_cast<int>(
            std::count_if(f.lblLetter.begin(), f.lblLetter.end(), [](const Label& l) { return l.Visible; }));
    }
};

// Timestamps the start of every tick of the letter timer's QTimer: the driver's timer whose
// interval is the level's (the other three run at 300, 500, 1000 and 3000 ms). The driver
// stops that QTimer while no letter moves (between waves) and starts it afresh when one does:
// the stamps come in runs, and a gap is only ever taken within one. `running` says, after a
// tick, whether the driver keeps ticking. Ends the event loop once the runs together span
// `seconds`.
class TickStamps : public QObject {
public:
    TickStamps(int interval, double seconds, std::function<bool()> running)
        : m_interval(interval),
          m_span(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds))),
          m_running(std::move(running))
    {
    }
    std::vector<std::vector<Clock::time_point>> runs;
    bool recording = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (recording && event->type() == QEvent::Timer) {
            const auto* timer = qobject_cast<QTimer*>(watched);
            if (timer && timer->interval() == m_interval && watched->parent()
                && watched->parent()->inherits("keyfall::TimerDriver")) {
                const auto now = Clock::now();
                if (runs.empty() || m_asleep)
                    runs.emplace_back();
                else
                    m_spanned += now - runs.back().back();
                runs.back().push_back(now);
                m_asleep = false;
                // Once this tick has been handled.
                QMetaObject::invokeMethod(
                    this, [this] { m_asleep = !m_running(); }, Qt::QueuedConnection);
                if (m_spanned >= m_span) {
                    recording = false;
                    QCoreApplication::quit();
                }
            }
        }
        return false;
    }

private:
    int m_interval;
    Clock::duration m_span;
    std::function<bool()> m_running;
    Clock::duration m_spanned{};
    bool m_asleep = false;
};

int Fidelity(int interval, double seconds)
{
    Rig rig;
    const int level = interval == kEasy ? 0 : interval == kMedium ? 1 : 2;
    const FrmMain& form = rig.window.form();
    TickStamps stamps(interval, seconds, [&form] { return form.LettersShown() && form.LettersMoving(); });
    qApp->installEventFilter(&stamps);
    rig.Start(level);
    // Let the first wave get under way before counting; give up if the ticks stop coming.
    QTimer::singleShot(200, [&] { stamps.recording = true; });
    // A hard wave moves for about 4 s of every 12: ten seconds of ticks take three waves or so.
    QTimer::singleShot(static_cast<int>(seconds * 4000) + 5000, [] { QCoreApplication::quit(); });
    QApplication::exec();
    qApp->removeEventFilter(&stamps);

    std::vector<double> gaps;
    double span = 0;
    for (const auto& run : stamps.runs) {
        for (std::size_t i = 1; i < run.size(); ++i)
            gaps.push_back(Ms(run[i] - run[i - 1]));
        if (run.size() > 1)
            span += Ms(run.back() - run.front());
    }
    std::printf("fidelity_%d_ticks %zu\n", interval, gaps.size());
    std::printf("fidelity_%d_seconds %.2f\n", interval, span / 1000);
    std::printf("fidelity_%d_mean %.3f\n", interval, gaps.empty() ? 0 : span / static_cast<double>(gaps.size()));
    std::printf("fidelity_%d_p99 %.3f\n", interval, Percentile(gaps, 0.99));
    std::printf("fidelity_%d_max %.3f\n", interval, gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end()));
    std::printf("fidelity_%d_waves %d\n", interval, rig.window.form().WavesLaunched());
    std::printf("fidelity_%d_runs %zu\n", interval, stamps.runs.size());
    if (std::getenv("KEYFALL_BENCH_GAPS")) {
        for (double g : gaps)
            std::fprintf(stderr, "%.2f\n", g);
    }
    return 0;
}

int Tick(int samples, bool keyboard)
{
    Rig rig;
    FrmMain& form = rig.window.form();
    KeymapHolder italian([] { return teach::KeymapFromNames({}, "pc105", "it"); });
    std::unique_ptr<KeyboardGuide> guide; // goes before the window
    if (keyboard) {
        rig.store.Set("Tastiera", "Mostra", "true");
        guide = std::make_unique<KeyboardGuide>(rig.window, rig.store, italian);
        QApplication::processEvents();
    }
    PlayField* field = rig.window.picture2();
    rig.Start(2);
    // The game's own timers stay out of the way: the bench calls the tick itself.
    const auto rearm = [&] {
        // A hard wave has 9 to 18 characters: launch until one has all 18.
        do {
            rig.window.Handle([&] { form.StartGame(); });
        } while (rig.Falling() != kSlots);
        rig.window.Handle([&] { form.timerLetters.SetEnabled(false); });
        QApplication::processEvents();
    };
    const auto landsNext = [&] {
        for (int i = 0; i < kSlots; ++i) {
            if (form.lblLetter[i].Top + 2.0f * static_cast<float>(form.FallSpeed[i]) > kBottomLimit)
                return true;
        }
        return false;
    };
    rearm();
    std::vector<double> costs;
    costs.reserve(static_cast<std::size_t>(samples));
    int relaunches = 0;
    while (static_cast<int>(costs.size()) < samples) {
        if (landsNext()) {
            rearm();
            ++relaunches;
        }
        const auto t0 = Clock::now();
        rig.window.Handle([&] { form.timerLetters_Timer(); });
        field->repaint();
        // What else the tick marked for repaint (the keyboard's keys whose light moved).
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        const auto t1 = Clock::now();
        costs.push_back(Ms(t1 - t0));
        // Anything the tick left queued (the update request that repaint() already served).
        QApplication::processEvents();
    }
    std::printf("tick_samples %zu\n", costs.size());
    std::printf("tick_window %dx%d\n", rig.window.width(), rig.window.height());
    std::printf("tick_field %dx%d\n", field->width(), field->height());
    std::printf("tick_median %.4f\n", Percentile(costs, 0.5));
    std::printf("tick_p99 %.4f\n", Percentile(costs, 0.99));
    std::printf("tick_max %.4f\n", *std::max_element(costs.begin(), costs.end()));
    std::printf("tick_waves %d\n", relaunches + 1);
    return 0;
}

// Reports when the playing field has been painted for the first time and flushed.
class FirstPaint : public QObject {
public:
    Clock::time_point painted{};

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Runs once the paint event, and the flush that follows it, are done.
            QTimer::singleShot(0, [this] {
                painted = Clock::now();
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};

// Nanoseconds of CLOCK_REALTIME at which the launcher started this process, if it said.
double SinceLaunchMs()
{
    const char* t0 = std::getenv("KEYFALL_BENCH_T0_NS");
    if (!t0)
        return -1;
    const auto now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    return static_cast<double>(now - std::strtoll(t0, nullptr, 10)) / 1e6;
}

// main.cpp's start-up, step by step, with the first paint of the field watched.
int FirstPaintRun(int argc, char** argv, const QString& cueFolder)
{
    const double atMain = SinceLaunchMs();
    const auto start = Clock::now();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keyfall"));
    QApplication::setOrganizationName(QStringLiteral("Keyfall"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    InstallFontSubstitutes();
    const auto clock = [] {
        return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    };
    Random random(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()), clock);
    Settings settings;
    QtSettingsStore store;
    SoundPlayer cues(QStringList{cueFolder});
    GameWindow window(settings, store, random, cues);
    FirstPaint watch;
    window.picture2()->installEventFilter(&watch);
    const auto built = Clock::now();
    window.showFullScreen();
    QApplication::exec();
    std::printf("firstpaint_platform %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("firstpaint_exec_to_main %.2f\n", atMain);
    std::printf("firstpaint_main_to_built %.2f\n", Ms(built - start));
    std::printf("firstpaint_main_to_paint %.2f\n", Ms(watch.painted - start));
    std::printf("firstpaint_total %.2f\n", atMain < 0 ? -1 : atMain + Ms(watch.painted - start));
    return 0;
}

int Usage()
{
    std::fprintf(stderr, "usage: bench_window fidelity <ms> <seconds> | tick <samples> | firstpaint <cue folder>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string mode = argv[1];
    if (mode == "firstpaint")
        return FirstPaintRun(argc, argv, QString::fromLocal8Bit(argv[2]));

    UseOffscreenFullHd();
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    InstallFontSubstitutes();
    if (mode == "fidelity" && argc >= 4)
        return Fidelity(std::atoi(argv[2]), std::atof(argv[3]));
    if (mode == "tick")
        return Tick(std::atoi(argv[2]), argc >= 4 && std::string(argv[3]) == "keyboard");
    return Usage();
}
