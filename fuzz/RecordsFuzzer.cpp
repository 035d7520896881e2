// libFuzzer target: arbitrary bytes as the records file, opened the three ways the program
// opens it: the export and the statistics window, which only read and must leave the bytes
// exactly as they were, then the game's start, which checks, migrates or moves the file aside
// and writes a game. Whatever the file holds, nothing may crash or hang, and what is read
// stays inside the values a game can produce.

#include "records/CsvExport.h"
#include "records/KeyStats.h"
#include "records/RecordStore.h"
#include "ui/StatsWindow.h"

#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

std::filesystem::path* g_folder = nullptr;

std::string Slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What reading gave is what a game can produce.
void CheckGames(const std::vector<keyfall::records::GameRecord>& games)
{
    for (const auto& g : games) {
        Check(g.level == 100 || g.level == 50 || g.level == 25);
        Check(g.total >= -32768 && g.total <= 32767);
        Check(g.hits >= 0 && g.misses >= 0 && g.landed >= 0);
        Check(g.typingMs >= 0 && g.typingMs <= g.durationMs);
        Check(g.startedAt.size() == 20 && g.startedAt.back() == 'Z');
    }
}

keyfall::records::GameRecord AGame()
{
    keyfall::records::GameRecord g;
    g.player = "anna";
    g.startedAt = "2026-12-08T11:07:03Z";
    g.level = 50;
    g.rounds = 8;
    g.roundsPlayed = 8;
    g.keySet = 0;
    g.total = 120;
    g.hits = 3;
    g.durationMs = 9000;
    g.typingMs = 4000;
    g.finished = true;
    g.keys["A"] = {3, 3, 0, 0, 30, 0};
    return g;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    const std::filesystem::path shm("/dev/shm");
    const std::filesystem::path temp =
        std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    std::string pattern = (temp / "keyfall-records-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    static std::filesystem::path folder(pattern);
    g_folder = &folder;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(*g_folder, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace keyfall::records;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(*g_folder))
        std::filesystem::remove_all(entry.path(), ignored);
    const std::filesystem::path path = *g_folder / "keyfall.sqlite";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::ofstream(path, std::ios::binary) << bytes;

    {
        // The export.
        RecordStore::Options options;
        options.readOnly = true;
        RecordStore store(path.string(), options);
        std::ostringstream csv;
        std::string problem;
        const bool exported = WriteCsv(store, "anna", csv, problem);
        Check(exported || !problem.empty());
        for (const std::string& player : store.Players())
            CheckGames(store.Games(player));
        WeakestKeys(ByKey(store.KeyTotals("anna")));
        store.BestScores("anna");
    }
    {
        // The statistics window.
        keyfall::StatsWindow window(QString::fromStdString(path.string()), QStringLiteral("anna"));
        window.show();
        QApplication::processEvents();
    }
    Check(Slurp(path) == bytes);
    // Nothing beside it but the journal and shared memory SQLite makes for any reader of a
    // file in WAL mode.
    for (const auto& entry : std::filesystem::directory_iterator(*g_folder)) {
        const std::string name = entry.path().filename().string();
        Check(name == "keyfall.sqlite" || name == "keyfall.sqlite-wal" || name == "keyfall.sqlite-shm");
    }

    {
        // The game's start, and a game written.
        RecordStore::Options options;
        options.stamp = "20261208T110703";
        options.busyTimeoutMs = 0;
        RecordStore store(path.string(), options);
        if (store.IsOpen()) {
            store.Save(AGame());
            CheckGames(store.Games("anna"));
        }
    }
    return 0;
}
