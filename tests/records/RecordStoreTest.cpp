// The records file on a temporary folder: what goes in comes out, the schema is brought up
// to date, and every way the file can fail leaves the game alone and the file whole.

#include "records/RecordStore.h"
#include "records/RecordWriter.h"
#include "records/SampleGames.h"
#include "records/TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace keyfall::records {
namespace {

using test::SampleGame;
using test::TempFolder;

RecordStore::Options Quick(int busyMs = 2000)
{
    RecordStore::Options options;
    options.busyTimeoutMs = busyMs;
    options.stamp = "20261208T110703";
    return options;
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs SQL on the file through a connection of its own, as another program would.
std::int64_t Scalar(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    std::int64_t value = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

void Exec(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(RecordStore, WhatIsSavedComesBack)
{
    TempFolder folder;
    const std::string path = folder.File("deep/er/keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.IsOpen()) << store.Problem();
        ASSERT_TRUE(store.Save(SampleGame("anna", 300, 25, 3, true, "2026-12-01T10:00:00Z")));
        ASSERT_TRUE(store.Save(SampleGame("anna", 120, 25, 3, false, "2026-12-02T10:00:00Z")));
        ASSERT_TRUE(store.Save(SampleGame("bruno, \"il grande\"", 50)));
    }
    RecordStore store(path, Quick());
    ASSERT_TRUE(store.IsOpen()) << store.Problem();
    EXPECT_EQ(store.Players(), (std::vector<std::string>{"anna", "bruno, \"il grande\""}));

    const auto games = store.Games("anna");
    ASSERT_EQ(games.size(), 2u);
    GameRecord expected = SampleGame("anna", 300, 25, 3, true, "2026-12-01T10:00:00Z");
    expected.keys.clear();
    EXPECT_EQ(games[0], expected);
    EXPECT_FALSE(games[1].finished);
    EXPECT_EQ(games[1].roundsPlayed, 3);

    // Two games of 40 hits over A..Z: A..N twice per game, O..Z once; Q and Z also landed.
    const auto keys = store.KeyTotals("anna");
    EXPECT_EQ(keys.at("A").hits, 4);
    EXPECT_EQ(keys.at("O").hits, 2);
    EXPECT_EQ(keys.at("Q").landed, 2);
    EXPECT_EQ(keys.at("Q").launched, 4);
    EXPECT_EQ(keys.at("#").wrong, 2);
    EXPECT_EQ(keys.at("#").hits, 0);
    EXPECT_EQ(keys.at("A").reactionMs, keys.at("A").reactionTicks * 25);
    EXPECT_EQ(store.KeyTotals("nobody").size(), 0u);
    EXPECT_TRUE(store.Games("nobody").empty());
}

TEST(RecordStore, TheBestScoreIsPerLevelAndKeySetAndOnlyFromFinishedGames)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), Quick());
    ASSERT_TRUE(store.IsOpen());
    const auto save = [&](int total, int level, int keySet, bool finished, const char* when) {
        return store.Save(SampleGame("anna", total, level, keySet, finished, when)).value();
    };
    EXPECT_FALSE(save(0, 50, 0, true, "2026-12-01T09:00:00Z").newRecord) << "nothing scored, nothing to greet";
    EXPECT_TRUE(save(200, 50, 0, true, "2026-12-01T10:00:00Z").newRecord);
    EXPECT_FALSE(save(900, 50, 0, false, "2026-12-01T11:00:00Z").newRecord) << "a stopped game holds no record";
    const SaveResult same = save(200, 50, 0, true, "2026-12-01T12:00:00Z");
    EXPECT_FALSE(same.newRecord) << "equalling is not beating";
    EXPECT_EQ(same.previousBest, 200);
    EXPECT_TRUE(save(201, 50, 0, true, "2026-12-01T13:00:00Z").newRecord);
    EXPECT_TRUE(save(100, 25, 0, true, "2026-12-01T14:00:00Z").newRecord) << "another level starts afresh";
    EXPECT_TRUE(save(50, 50, 2, true, "2026-12-01T15:00:00Z").newRecord) << "another key set starts afresh";
    EXPECT_TRUE(store.Save(SampleGame("bruno", 10, 50, 0)).value().newRecord) << "each player has his own";

    const auto best = store.BestScores("anna");
    ASSERT_EQ(best.size(), 3u);
    EXPECT_EQ(best[0].level, 50); // no easy game: medium comes first
    EXPECT_EQ(best[0].total, 201);
    EXPECT_EQ(best[0].startedAt, "2026-12-01T13:00:00Z");
    EXPECT_EQ(best[1].keySet, 2);
    EXPECT_EQ(best[2].level, 25);
}

TEST(RecordStore, ATiedBestIsDatedFromTheFirstGameThatReachedIt)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), Quick());
    ASSERT_TRUE(store.Save(SampleGame("anna", 300, 50, 0, true, "2026-12-01T10:00:00Z")));
    ASSERT_TRUE(store.Save(SampleGame("anna", 300, 50, 0, true, "2026-12-05T10:00:00Z")));
    const auto best = store.BestScores("anna");
    ASSERT_EQ(best.size(), 1u);
    EXPECT_EQ(best[0].startedAt, "2026-12-01T10:00:00Z");
}

// ---- Schema versions ------------------------------------------------------------------

TEST(RecordStoreSchema, AnEmptyFileIsVersionZeroAndIsBroughtUpToDate)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    std::ofstream(path).close();
    RecordStore store(path, Quick());
    ASSERT_TRUE(store.IsOpen()) << store.Problem();
    EXPECT_EQ(Scalar(path, "PRAGMA user_version"), kSchemaVersion);
    EXPECT_TRUE(store.Save(SampleGame("anna", 10)));
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal");
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST(RecordStoreSchema, AFileOfTheFirstVersionKeepsItsGamesAndGainsItsIndexes)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.Save(SampleGame("anna", 10)));
    }
    Exec(path, "DROP INDEX games_by_player; DROP INDEX games_by_level; PRAGMA user_version = 1;");
    RecordStore store(path, Quick());
    ASSERT_TRUE(store.IsOpen()) << store.Problem();
    EXPECT_EQ(Scalar(path, "PRAGMA user_version"), kSchemaVersion);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name LIKE 'games_by_%'"), 2);
    EXPECT_EQ(store.Games("anna").size(), 1u);
}

TEST(RecordStoreSchema, AFileFromANewerKeyfallIsLeftAlone)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.Save(SampleGame("anna", 10)));
    }
    Exec(path, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA user_version = 99;");
    const std::string before = Slurp(path);
    RecordStore store(path, Quick());
    EXPECT_FALSE(store.IsOpen());
    EXPECT_NE(store.Problem().find("newer Keyfall"), std::string::npos) << store.Problem();
    EXPECT_FALSE(store.Save(SampleGame("anna", 20)));
    EXPECT_TRUE(store.Games("anna").empty());
    EXPECT_EQ(Slurp(path), before);
}

// ---- Failures -------------------------------------------------------------------------

TEST(RecordStoreFailure, AFileThatIsNoDatabaseIsMovedAsideAndANewOneBegins)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    const std::string garbage(8192, '\x5A');
    std::ofstream(path, std::ios::binary) << garbage;
    {
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.IsOpen()) << store.Problem();
        EXPECT_EQ(store.MovedAside(), path + ".corrupt-20261208T110703");
        EXPECT_EQ(Slurp(store.MovedAside()), garbage) << "the damaged file is kept as it was";
        EXPECT_NE(store.Problem().find("moved aside"), std::string::npos);
        EXPECT_TRUE(store.Save(SampleGame("anna", 10)));
    }

    // A second damaged file the same second does not replace the first one moved aside.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "also broken, but differently........";
    RecordStore again(path, Quick());
    EXPECT_EQ(again.MovedAside(), path + ".corrupt-20261208T110703-2");
    EXPECT_EQ(Slurp(path + ".corrupt-20261208T110703"), garbage);
}

TEST(RecordStoreFailure, ADamagedPageIsFoundByTheCheckAndMovedAside)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        for (int i = 0; i < 50; ++i)
            ASSERT_TRUE(store.Save(SampleGame("anna", i)));
    }
    Exec(path, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode = DELETE;");
    const auto pageSize = static_cast<std::size_t>(Scalar(path, "PRAGMA page_size"));
    std::string bytes = Slurp(path);
    ASSERT_GT(bytes.size(), 6 * pageSize);
    // Scribble over the middle of the tables' pages, leaving the header readable.
    for (std::size_t i = 2 * pageSize; i < 5 * pageSize; i += 7)
        bytes[i] = static_cast<char>(0xA5);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

    RecordStore store(path, Quick());
    ASSERT_FALSE(store.MovedAside().empty()) << "the check let a damaged file through: " << store.Problem();
    EXPECT_EQ(Slurp(store.MovedAside()), bytes);
    EXPECT_TRUE(store.IsOpen());
    EXPECT_TRUE(store.Games("anna").empty());
}

TEST(RecordStoreFailure, AFolderThatCannotBeMadeLeavesTheStoreClosed)
{
    TempFolder folder;
    std::ofstream(folder.File("plain-file")) << "x";
    RecordStore store(folder.File("plain-file/Keyfall/keyfall.sqlite"), Quick());
    EXPECT_FALSE(store.IsOpen());
    EXPECT_NE(store.Problem().find("cannot create the folder"), std::string::npos) << store.Problem();
    EXPECT_FALSE(store.Save(SampleGame("anna", 10)));
    EXPECT_TRUE(store.Players().empty());
    std::ostringstream csv;
    EXPECT_FALSE(store.ExportCsv("anna", csv));
}

TEST(RecordStoreFailure, ALockedFileCostsOneGameAndNothingElse)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    RecordStore store(path, Quick(100));
    ASSERT_TRUE(store.Save(SampleGame("anna", 10)));

    sqlite3* other = nullptr;
    sqlite3_open(path.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_FALSE(store.Save(SampleGame("anna", 20)));
    EXPECT_NE(store.Problem().find("locked"), std::string::npos) << store.Problem();
    EXPECT_EQ(store.Games("anna").size(), 1u) << "reading goes on beside a writer";
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_TRUE(store.Save(SampleGame("anna", 30)));
    EXPECT_TRUE(store.Problem().empty());
    EXPECT_EQ(store.Games("anna").size(), 2u);
}

// Runs `body` in a child process without root's rights, so that file permissions hold for
// it; the child's exit status is the result (0 for success).
int AsOrdinaryUser(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(90);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST(RecordStoreFailure, AReadOnlyFileIsReadButNeverWritten)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.Save(SampleGame("anna", 10)));
    }
    Exec(path, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode = DELETE;");
    namespace fs = std::filesystem;
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                                       | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = Slurp(path);

    const int status = AsOrdinaryUser([&] {
        RecordStore store(path, Quick(100));
        if (!store.IsOpen())
            return 1;
        if (store.Games("anna").size() != 1)
            return 2;
        if (store.Save(SampleGame("anna", 20)))
            return 3;
        if (store.Problem().find("readonly") == std::string::npos)
            return 4;
        return 0;
    });
    EXPECT_EQ(status, 0) << "1 not opened, 2 not read, 3 written, 4 no reason given";
    EXPECT_EQ(Slurp(path), before);
}

// ---- Two programs at once -------------------------------------------------------------

TEST(RecordStoreConcurrency, TwoProgramsWritingAtOnceLoseNothing)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    constexpr int kGames = 60;
    std::vector<pid_t> children;
    for (const char* player : {"anna", "bruno"}) {
        std::vector<std::string> args{RECORD_LOOP, path, player, std::to_string(kGames)};
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer status " << status;
    }
    RecordStore store(path, Quick());
    ASSERT_TRUE(store.IsOpen()) << store.Problem();
    EXPECT_EQ(store.Games("anna").size(), static_cast<std::size_t>(kGames));
    EXPECT_EQ(store.Games("bruno").size(), static_cast<std::size_t>(kGames));
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM game_keys"), 2 * kGames * 27);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM players"), 2);
}

// ---- The writer thread ----------------------------------------------------------------

TEST(RecordWriter, WritesOnItsOwnThreadAndTellsOfRecordsAndProblems)
{
    TempFolder folder;
    std::mutex mutex;
    std::vector<bool> records;
    std::vector<std::string> problems;
    {
        RecordWriter writer(
            folder.File("keyfall.sqlite"), Quick(),
            [&](const GameRecord&, const SaveResult& result) {
                std::lock_guard lock(mutex);
                records.push_back(result.newRecord);
            },
            [&](const std::string& line) {
                std::lock_guard lock(mutex);
                problems.push_back(line);
            });
        writer.Write(SampleGame("anna", 100));
        writer.Write(SampleGame("anna", 50));
        writer.Write(SampleGame("anna", 150));
        writer.Flush();
        std::lock_guard lock(mutex);
        EXPECT_EQ(records, (std::vector<bool>{true, false, true}));
        EXPECT_TRUE(problems.empty());
    }
    RecordWriter broken(folder.File("keyfall.sqlite/inside-a-file.sqlite"), Quick(), {}, [&](const std::string& line) {
        std::lock_guard lock(mutex);
        problems.push_back(line);
    });
    broken.Write(SampleGame("anna", 100));
    broken.Flush();
    std::lock_guard lock(mutex);
    EXPECT_EQ(problems.size(), 1u) << "one line when the file cannot be opened, none per game";
}

TEST(RecordWriter, QuittingDoesNotWaitForALockedFile)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore create(path, Quick());
    }
    sqlite3* other = nullptr;
    sqlite3_open(path.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::atomic<int> reports{0};
    {
        // An hour's patience: if quitting waited for the lock, the test would time out.
        RecordWriter writer(path, Quick(3'600'000), {}, [&](const std::string&) { ++reports; });
        writer.Write(SampleGame("anna", 100));
    }
    EXPECT_LE(reports.load(), 1);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM games"), 0);
}

// ---- CSV ------------------------------------------------------------------------------

TEST(RecordStoreCsv, OneLinePerGameWithFieldsQuotedWhereNeeded)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), Quick());
    const std::string player = "bruno, \"il grande\"";
    ASSERT_TRUE(store.Save(SampleGame(player, 1234, 25, 4, true, "2026-12-01T10:00:00Z")));
    ASSERT_TRUE(store.Save(SampleGame(player, -60, 100, 1, false, "2026-12-02T10:00:00Z")));
    std::ostringstream out;
    ASSERT_TRUE(store.ExportCsv(player, out));
    std::istringstream lines(out.str());
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].rfind("giocatore,inizio,livello,", 0), 0u);
    // 40 hits in 60 s of falling: 40 a minute; 40 of 43 events: 93.0 %.
    EXPECT_EQ(rows[1], "\"bruno, \"\"il grande\"\"\",2026-12-01T10:00:00Z,Difficile,8,8,"
                       "\"maiuscole, minuscole e numeri\",1234,40,1,2,95.0,40.0,93.0,si\r");
    EXPECT_EQ(rows[2].substr(rows[2].size() - 4), ",no\r");
}

} // namespace
} // namespace keyfall::records
