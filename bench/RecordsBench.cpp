// The records' costs, printed as "name value" lines for run.sh:
//   records_save_*  writing one finished hard game of 8 rounds (on the writer's thread, so
//                   off the tick; the target is 5 ms);
//   stats_open_*    opening the statistics window over 100,000 recorded games, from the
//                   constructor to the first painted frame (the target is 300 ms);
//   stats_filled_*  the same to the frame with every figure in it (read off the window's
//                   thread meanwhile);
// and over a file of 10,000 games:
//   records_migrate10k_*  opening it as schema 3 had it, which fills every key's skill from
//                         its games (records_open10k_*: the same file opened once it is up
//                         to date, for comparison; neither checks the file);
//   records_save10k_*     writing one more game, each key's skill brought up to date with it;
//   stats10k_load_*       the statistics window from its constructor until FinishLoading
//                         returns: games, records, keys, skills and the weakest key's times;
//   stats10k_key_*        another key chosen for its chart, until its times are shown.
// The first and last 200 games are written one by one, as the game writes them; the rest are
// copies of them made in one statement, which takes seconds instead of minutes.
// Offscreen, on a file in a scratch folder of its own.

#include "CopyGames.h"
#include "Samples.h"
#include "game/VirtualClock.h"
#include "records/GameRecorder.h"
#include "records/RecordStore.h"
#include "settings/MemoryStore.h"
#include "ui/Fonts.h"
#include "ui/KeySpeedChart.h"
#include "ui/StatsWindow.h"

#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

using namespace keyfall;
using bench::CopyGames;
using bench::Ms;
using bench::NoCues;
using bench::Report;

namespace {

class NoHost : public Host {
public:
    ScreenTwips ScreenSize() const override { return {15360, 11520}; }
    std::string GroupSeparator() const override { return "."; }
    void FocusPanel() override {}
    void ShowOptionsModal() override {}
    void Quit() override {}
};

class FixedClock : public records::Clock {
public:
    explicit FixedClock(const VirtualClock& clock) : m_clock(clock) {}
    std::string NowUtc() const override { return "2026-12-08T10:00:00Z"; }
    std::int64_t SteadyMs() const override { return m_clock.Now(); }

private:
    const VirtualClock& m_clock;
};

// A hard game of 8 rounds on the virtual clock, each character typed 400 ms after its
// wave starts, with a stray key now and then: what the recorder hands over at its end.
records::GameRecord PlayHardGame(std::uint64_t seed)
{
    Settings settings;
    MemoryStore store;
    Random random(seed);
    NoCues cues;
    NoHost host;
    FrmMain form(settings, store, random, cues, host);
    VirtualClock clock(form);
    FixedClock time(clock);
    records::GameRecord played;
    records::GameRecorder recorder("bench", time, [&](records::GameRecord g) { played = std::move(g); });
    form.SetEvents(recorder);
    form.Form_Load();
    form.optDifficulty_Click(2);
    form.cmdStart_Click();
    int waves = form.WavesLaunched();
    std::int64_t start = clock.Now();
    while (form.GameRunning) {
        clock.Advance(5);
        if (form.WavesLaunched() != waves) {
            waves = form.WavesLaunched();
            start = clock.Now();
        }
        if (clock.Now() - start == 400) {
            form.Form_KeyPress(U'#');
            for (const auto& letter : form.lblLetter) {
                if (letter.Visible)
                    form.Form_KeyPress(static_cast<unsigned char>(letter.Caption[0]));
            }
        }
    }
    return played;
}

// This thread's processor time: on a machine shared with other work the wall-clock figure
// also counts the time spent waiting for a processor.
double CpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The file as schema 3 left it: no skills, no stages, no misses meant for a character.
bool MakeSchema3(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const bool made = sqlite3_exec(db,
                                   "DROP TABLE key_skills; DROP TABLE stages_reached; "
                                   "ALTER TABLE game_keys DROP COLUMN missed_for; PRAGMA user_version = 3;",
                                   nullptr, nullptr, nullptr)
                      == SQLITE_OK;
    if (!made)
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
    sqlite3_close(db); // the last connection: the journal goes into the file
    return made;
}

// The costs over 10,000 games listed at the top.
int TenThousandGames(const QTemporaryDir& folder, const records::GameRecord& game)
{
    constexpr int kGames = 10'000;
    constexpr int kEach = 200;
    constexpr int kRuns = 5;
    const QString path = folder.filePath(QStringLiteral("ten/Keyfall/keyfall.sqlite"));
    {
        records::RecordStore store(path.toStdString(), {});
        for (int i = 0; i < kEach; ++i) {
            if (!store.Save(game)) {
                std::fprintf(stderr, "%s\n", store.Problem().c_str());
                return 1;
            }
        }
    }
    if (!CopyGames(path, kGames / kEach - 1, kEach) || !MakeSchema3(path))
        return 1;

    records::RecordStore::Options unchecked;
    unchecked.check = false;
    std::vector<double> migrations;
    std::vector<double> opens;
    for (int run = 0; run < kRuns; ++run) {
        const QString copy = folder.filePath(QStringLiteral("ten/copy-%1.sqlite").arg(run));
        std::filesystem::copy_file(path.toStdString(), copy.toStdString());
        auto t0 = std::chrono::steady_clock::now();
        {
            records::RecordStore store(copy.toStdString(), unchecked);
            if (!store.IsOpen()) {
                std::fprintf(stderr, "%s\n", store.Problem().c_str());
                return 1;
            }
        }
        migrations.push_back(Ms(std::chrono::steady_clock::now() - t0));
        t0 = std::chrono::steady_clock::now();
        {
            records::RecordStore store(copy.toStdString(), unchecked);
        }
        opens.push_back(Ms(std::chrono::steady_clock::now() - t0));
    }
    Report("records_migrate10k", migrations);
    Report("records_open10k", opens);

    // The first copy, brought up to date, holds every game's skills: one more game on top.
    const QString current = folder.filePath(QStringLiteral("ten/copy-0.sqlite"));
    std::vector<double> saves;
    {
        records::RecordStore store(current.toStdString(), {});
        for (int i = 0; i < 50; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            if (!store.Save(game)) {
                std::fprintf(stderr, "%s\n", store.Problem().c_str());
                return 1;
            }
            saves.push_back(Ms(std::chrono::steady_clock::now() - t0));
        }
    }
    Report("records_save10k", saves);

    std::vector<double> loads;
    std::vector<double> keys;
    for (int run = 0; run < kRuns; ++run) {
        auto t0 = std::chrono::steady_clock::now();
        StatsWindow window(current, QStringLiteral("bench"));
        window.FinishLoading();
        loads.push_back(Ms(std::chrono::steady_clock::now() - t0));
        KeySpeedChart* chart = window.speedChart();
        if (chart->shown().empty() || chart->characters()->count() < 2) {
            std::fprintf(stderr, "no key charted\n");
            return 1;
        }
        // Another key than the one shown: its times are read on demand.
        const std::string other =
            chart->characters()->itemData(chart->characters()->currentIndex() == 0 ? 1 : 0).toString().toStdString();
        t0 = std::chrono::steady_clock::now();
        chart->Choose(other);
        window.FinishLoading();
        keys.push_back(Ms(std::chrono::steady_clock::now() - t0));
        if (chart->shown() != other) {
            std::fprintf(stderr, "the chosen key was not charted\n");
            return 1;
        }
    }
    Report("stats10k_load", loads);
    Report("stats10k_key", keys);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallFontSubstitutes();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Keyfall/keyfall.sqlite"));

    const records::GameRecord game = PlayHardGame(7);
    std::printf("records_game_characters %zu\n", game.keys.size());
    std::printf("records_game_hits %d\n", game.hits);
    constexpr int kGames = 100'000;
    constexpr int kEach = 200;
    const auto gameNumber = [&](records::GameRecord g, int i) {
        g.total = (i * 37) % 2000 - 300;
        g.startedAt =
            "2026-" + std::string(i < kGames / 2 ? "11" : "12") + "-0" + std::to_string(1 + i % 9) + "T10:00:00Z";
        return g;
    };
    {
        records::RecordStore::Options options;
        records::RecordStore store(path.toStdString(), options);
        std::vector<double> saves;
        for (int i = 0; i < kEach; ++i) {
            const records::GameRecord g = gameNumber(game, i);
            const auto t0 = std::chrono::steady_clock::now();
            if (!store.Save(g)) {
                std::fprintf(stderr, "%s\n", store.Problem().c_str());
                return 1;
            }
            saves.push_back(Ms(std::chrono::steady_clock::now() - t0));
        }
        // The games in between: copies of the first ones, with their characters.
        if (!CopyGames(path, (kGames - 2 * kEach) / kEach, kEach))
            return 1;
        for (int i = kGames - kEach; i < kGames; ++i) {
            const records::GameRecord g = gameNumber(game, i);
            const auto t0 = std::chrono::steady_clock::now();
            if (!store.Save(g)) {
                std::fprintf(stderr, "%s\n", store.Problem().c_str());
                return 1;
            }
            saves.push_back(Ms(std::chrono::steady_clock::now() - t0));
        }
        Report("records_save", saves);
    }

    // The window's reading alone, to tell the file's share from the widgets'.
    std::vector<double> reads;
    std::vector<double> readsCpu;
    for (int run = 0; run < 5; ++run) {
        const double c0 = CpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        records::RecordStore::Options options;
        options.check = false;
        records::RecordStore store(path.toStdString(), options);
        const auto games = store.Games("bench");
        const auto best = store.BestScores("bench");
        const auto keys = store.KeyTotals("bench");
        reads.push_back(Ms(std::chrono::steady_clock::now() - t0));
        readsCpu.push_back(CpuMs() - c0);
        if (games.size() != kGames || best.empty() || keys.empty()) {
            std::fprintf(stderr, "%zu games read\n", games.size());
            return 1;
        }
    }
    Report("stats_read", reads);
    Report("stats_read_cpu", readsCpu);

    // The window as the player sees it: first its frame, while the records are read on the
    // window's own thread, then the frame with every figure in it.
    std::vector<double> opens;
    std::vector<double> opensCpu;
    std::vector<double> filled;
    for (int run = 0; run < 5; ++run) {
        const double c0 = CpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        StatsWindow window(path, QStringLiteral("bench"));
        window.show();
        QApplication::processEvents();
        window.grab(); // the first frame, painted
        opens.push_back(Ms(std::chrono::steady_clock::now() - t0));
        opensCpu.push_back(CpuMs() - c0);
        window.FinishLoading();
        window.grab();
        filled.push_back(Ms(std::chrono::steady_clock::now() - t0));
    }
    Report("stats_open", opens);
    Report("stats_open_cpu", opensCpu);
    Report("stats_filled", filled);
    return TenThousandGames(folder, game);
}
