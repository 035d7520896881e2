// The records' costs, printed as "name value" lines for run.sh:
//   records_save_*  writing one finished hard game of 8 rounds (on the writer's thread, so
//                   off the tick; the target is 5 ms);
//   stats_open_*    opening the statistics window over 100,000 recorded games, from the
//                   constructor to the first painted frame (the target is 300 ms);
//   stats_filled_*  the same to the frame with every figure in it (read off the window's
//                   thread meanwhile).
// The first and last 200 games are written one by one, as the game writes them; the rest are
// copies of them made in one statement, which takes seconds instead of minutes.
// Offscreen, on a file in a scratch folder of its own.

#include "game/VirtualClock.h"
#include "records/GameRecorder.h"
#include "records/RecordStore.h"
#include "settings/MemoryStore.h"
#include "ui/Fonts.h"
#include "ui/StatsWindow.h"

#include <sqlite3.h>

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace keyfall;

namespace {

class NoCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

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

double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// This thread's processor time: on a machine shared with other work the wall-clock figure
// also counts the time spent waiting for a processor.
double CpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

void Report(const char* name, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    std::printf("%s_samples %zu\n", name, samples.size());
    std::printf("%s_median %.2f\n", name, samples[samples.size() / 2]);
    std::printf("%s_max %.2f\n", name, samples.back());
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
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        const std::string copy =
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
            + std::to_string((kGames - 2 * kEach) / kEach)
            + ") INSERT INTO games(player_id, started_at, level, rounds, rounds_played, key_set, "
              "total, hits, misses, landed, duration_ms, typing_ms, finished) "
              "SELECT player_id, started_at, level, rounds, rounds_played, key_set, total, hits, "
              "misses, landed, duration_ms, typing_ms, finished FROM games, n ORDER BY n.i, games.id;"
              "INSERT INTO game_keys SELECT g.id, k.character, k.launched, k.hits, k.landed, k.wrong, "
              "k.reaction_ticks FROM games g JOIN game_keys k ON k.game_id = (g.id - 1) % "
            + std::to_string(kEach) + " + 1 WHERE g.id > " + std::to_string(kEach) + ";";
        if (sqlite3_exec(db, copy.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
            return 1;
        }
        sqlite3_close(db);
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
    return 0;
}
