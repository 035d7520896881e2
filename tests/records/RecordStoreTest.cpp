// The records file on a temporary folder: what goes in comes out, the schema is brought up
// to date, and every way the file can fail leaves the game alone and the file whole.

#include "records/RecordStore.h"
#include "records/CsvExport.h"
#include "records/RecordWriter.h"
#include "records/SampleGames.h"
#include "records/TempFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <sstream>
#include <sys/wait.h>
#include <thread>
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

// Turns a file this Keyfall wrote into one of an older version, as far as the migrations from
// there on can tell: without the tables and indexes the later steps add.
void MakeVersion(const std::string& path, int version)
{
    std::string sql = "DROP TABLE games_set_aside; DROP TABLE game_keys_set_aside;";
    if (version < 4)
        sql += "DROP TABLE key_skills; DROP TABLE stages_reached; ALTER TABLE game_keys DROP COLUMN missed_for;";
    if (version < 2)
        sql += "DROP INDEX games_by_player; DROP INDEX games_by_level;";
    Exec(path, sql + "PRAGMA user_version = " + std::to_string(version) + ";");
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
    MakeVersion(path, 1);
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

// The version is four bytes of the file's header: whatever they hold, no step of the
// migrations is picked by it unless it is one this Keyfall wrote.
TEST(RecordStoreSchema, AVersionBelowZeroIsForeignAndLeftAlone)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    const auto make = [&] {
        std::filesystem::remove(path);
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.Save(SampleGame("anna", 10)));
    };
    const auto damage = [&](const std::function<void()>& how) {
        make();
        Exec(path, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode = DELETE;");
        how();
    };
    const std::vector<std::pair<std::string, std::function<void()>>> cases{
        {"user_version -1", [&] { Exec(path, "PRAGMA user_version = -1"); }},
        {"user_version -2e9", [&] { Exec(path, "PRAGMA user_version = -2000000000"); }},
        {"0xff at offset 60",
         [&] {
             std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
             file.seekp(60);
             file.put('\xff');
         }},
    };
    for (const auto& [name, how] : cases) {
        SCOPED_TRACE(name);
        damage(how);
        const std::string before = Slurp(path);
        for (const bool readOnly : {false, true}) {
            RecordStore::Options options = Quick();
            options.readOnly = readOnly;
            RecordStore store(path, options);
            EXPECT_FALSE(store.IsOpen());
            EXPECT_NE(store.Problem().find("schema version no Keyfall writes"), std::string::npos) << store.Problem();
            EXPECT_FALSE(store.Save(SampleGame("anna", 20)));
            EXPECT_TRUE(store.Games("anna").empty());
        }
        EXPECT_EQ(Slurp(path), before);
        EXPECT_FALSE(std::filesystem::exists(path + ".corrupt-20261208T110703"));
    }
}

// ---- Reading only ---------------------------------------------------------------------

RecordStore::Options ReadOnly()
{
    RecordStore::Options options = Quick();
    options.readOnly = true;
    return options;
}

TEST(RecordStoreReadOnly, AMissingFileHoldsNoGamesAndIsNotCreated)
{
    TempFolder folder;
    const std::string path = folder.File("Keyfall/keyfall.sqlite");
    RecordStore store(path, ReadOnly());
    EXPECT_TRUE(store.IsOpen());
    EXPECT_TRUE(store.Games("anna").empty());
    EXPECT_TRUE(store.Problem().empty()) << store.Problem();
    EXPECT_FALSE(store.Save(SampleGame("anna", 10)));
    EXPECT_FALSE(std::filesystem::exists(folder.File("Keyfall")));
}

TEST(RecordStoreReadOnly, AFileThatIsNoDatabaseIsNeitherMovedNorReplaced)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    const std::string garbage(8192, '\x5A');
    std::ofstream(path, std::ios::binary) << garbage;
    RecordStore store(path, ReadOnly());
    EXPECT_FALSE(store.IsOpen());
    EXPECT_NE(store.Problem().find("not a readable records file"), std::string::npos) << store.Problem();
    EXPECT_EQ(Slurp(path), garbage);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "nothing made beside it";
}

TEST(RecordStoreReadOnly, AFailedReadSaysWhyInsteadOfGivingNoGames)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        for (int i = 0; i < 50; ++i)
            ASSERT_TRUE(store.Save(SampleGame("anna", i)));
    }
    Exec(path, "PRAGMA journal_mode = DELETE;");
    const auto pageSize = static_cast<std::size_t>(Scalar(path, "PRAGMA page_size"));
    std::string bytes = Slurp(path);
    for (std::size_t i = 2 * pageSize; i < bytes.size(); i += 7)
        bytes[i] = static_cast<char>(0xA5);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

    RecordStore store(path, ReadOnly());
    ASSERT_TRUE(store.IsOpen()) << store.Problem();
    store.Games("anna");
    EXPECT_FALSE(store.Problem().empty()) << "a damaged table read as no games";
    EXPECT_EQ(Slurp(path), bytes);
}

TEST(RecordStoreReadOnly, AnOlderFileIsReadAsItIs)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.Save(SampleGame("anna", 10)));
    }
    MakeVersion(path, 2);
    RecordStore store(path, ReadOnly());
    EXPECT_EQ(store.Games("anna").size(), 1u) << store.Problem();
    EXPECT_EQ(Scalar(path, "PRAGMA user_version"), 2);
}

// A copy of the records taken while Keyfall ran: the main file, its -wal with games in it
// and the -shm, in a folder the reader cannot write.
TEST(RecordStoreReadOnly, AReadOnlyFolderWithAJournalIsRead)
{
    TempFolder folder;
    const std::string live = folder.File("live.sqlite");
    std::filesystem::create_directory(folder.File("copy"));
    const std::string path = folder.File("copy/keyfall.sqlite");
    {
        RecordStore store(live, Quick());
        ASSERT_TRUE(store.Save(SampleGame("anna", 10)));
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(live.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "PRAGMA wal_autocheckpoint = 0; INSERT INTO games SELECT NULL, player_id, started_at, "
                           "level, rounds, rounds_played, key_set, total + 1, hits, misses, landed, duration_ms, "
                           "typing_ms, finished FROM games;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::copy_file(live + suffix, path + suffix);
    sqlite3_close(db);
    ASSERT_GT(std::filesystem::file_size(path + "-wal"), 0u);
    namespace fs = std::filesystem;
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::permissions(path + suffix, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                                       | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(folder.File("copy"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read
                                             | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const int status = AsOrdinaryUser([&] {
        RecordStore store(path, ReadOnly());
        if (!store.IsOpen())
            return 1;
        if (store.Games("anna").size() != 2)
            return 2;
        return 0;
    });
    fs::permissions(folder.File("copy"), fs::perms::owner_all);
    EXPECT_EQ(status, 0) << "1 not opened, 2 the games in the journal not read";
}

// The file as Keyfall leaves it when it quits (in WAL mode, no journal beside it), in a
// folder the reader cannot write, named with characters a URI would give a meaning to.
TEST(RecordStoreReadOnly, AReadOnlyFolderWithoutAJournalIsRead)
{
    TempFolder folder;
    namespace fs = std::filesystem;
    fs::create_directory(folder.File("a?b#c%20"));
    const std::string path = folder.File("a?b#c%20/keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.Save(SampleGame("anna", 10)));
        ASSERT_TRUE(store.Save(SampleGame("anna", 20)));
    }
    ASSERT_FALSE(fs::exists(path + "-wal"));
    ASSERT_EQ(Slurp(path).at(18), 2) << "the header says WAL mode";
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                                       | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(folder.File("a?b#c%20"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read
                                                 | fs::perms::group_exec | fs::perms::others_read
                                                 | fs::perms::others_exec);
    const int status = AsOrdinaryUser([&] {
        RecordStore store(path, ReadOnly());
        if (!store.IsOpen())
            return 1;
        if (store.Games("anna").size() != 2)
            return 2;
        return 0;
    });
    fs::permissions(folder.File("a?b#c%20"), fs::perms::owner_all);
    EXPECT_EQ(status, 0) << "1 not opened, 2 not read";
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
    std::string problem;
    EXPECT_FALSE(WriteCsv(store, "anna", csv, problem));
    EXPECT_NE(problem.find("cannot create the folder"), std::string::npos) << problem;
    EXPECT_TRUE(csv.str().empty());
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
    EXPECT_TRUE(store.Locked());
    EXPECT_EQ(store.Games("anna").size(), 1u) << "reading goes on beside a writer";
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_TRUE(store.Save(SampleGame("anna", 30)));
    EXPECT_TRUE(store.Problem().empty());
    EXPECT_EQ(store.Games("anna").size(), 2u);
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

// ---- The domain of each column --------------------------------------------------------

// Games no Keyfall can play, each as the values its games row holds after the player.
const std::vector<std::pair<std::string, std::string>> kForeignGames{
    {"a total beyond 16 bits", "'2026-12-01T10:00:00Z', 50, 8, 8, 0, 6442450944, 40, 1, 2, 95000, 60000, 1"},
    {"the largest int as total", "'2026-12-01T10:00:00Z', 50, 8, 8, 0, 2147483647, 40, 1, 2, 95000, 60000, 1"},
    {"level 0", "'2026-12-01T10:00:00Z', 0, 8, 8, 0, 10, 40, 1, 2, 95000, 60000, 1"},
    {"level -25", "'2026-12-01T10:00:00Z', -25, 8, 8, 0, 10, 40, 1, 2, 95000, 60000, 1"},
    {"negative falling time", "'2026-12-01T10:00:00Z', 50, 8, 8, 0, 10, 40, 1, 2, 95000, -2000, 1"},
    {"more falling time than the game", "'2026-12-01T10:00:00Z', 50, 8, 8, 0, 10, 40, 1, 2, 95000, 96000, 1"},
    {"negative hits", "'2026-12-01T10:00:00Z', 50, 8, 8, 0, 10, -40, 1, 2, 95000, 60000, 1"},
    {"an empty start", "'', 50, 8, 8, 0, 10, 40, 1, 2, 95000, 60000, 1"},
    {"a start of 300 characters", "printf('%.300c', '9'), 50, 8, 8, 0, 10, 40, 1, 2, 95000, 60000, 1"},
    {"a start with a comma", "'2026-12-01T10:00:00Z,x', 50, 8, 8, 0, 10, 40, 1, 2, 95000, 60000, 1"},
    {"a 30th of February", "'2026-02-30T10:00:00Z', 50, 8, 8, 0, 10, 40, 1, 2, 95000, 60000, 1"},
    {"a text as total", "'2026-12-01T10:00:00Z', 50, 8, 8, 0, 'lots', 40, 1, 2, 95000, 60000, 1"},
    {"key set -2", "'2026-12-01T10:00:00Z', 50, 8, 8, -2, 10, 40, 1, 2, 95000, 60000, 1"},
    {"finished 2", "'2026-12-01T10:00:00Z', 50, 8, 8, 0, 10, 40, 1, 2, 95000, 60000, 2"},
};

std::string InsertGame(const std::string& values)
{
    return "INSERT INTO games(player_id, started_at, level, rounds, rounds_played, key_set, total, hits, misses, "
           "landed, duration_ms, typing_ms, finished) VALUES ((SELECT id FROM players WHERE name = 'anna'), "
           + values + ");";
}

TEST(RecordStoreDomain, BringingAFileUpToDateSetsAsideWhatNoGameProducesAndDeletesNothing)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.Save(SampleGame("anna", 300, 25, 3, true, "2026-12-01T09:00:00Z")));
        ASSERT_TRUE(store.Save(SampleGame("anna", -95, 100, 9, false, "9999-12-31T23:59:59Z")));
    }
    // A file of version 2, as the teacher's own tools may have left it.
    std::string sql = "PRAGMA ignore_check_constraints = ON;";
    for (const auto& [name, values] : kForeignGames)
        sql += InsertGame(values);
    sql += "INSERT INTO game_keys VALUES (1, 'x', -5, 0, 0, 0, 0);";
    sql += "INSERT INTO game_keys SELECT id, 'B', 1, 1, 0, 0, 10 FROM games WHERE id > 2;";
    MakeVersion(path, 2);
    Exec(path, sql);
    const auto before = Scalar(path, "SELECT COUNT(*) FROM games");
    const auto keysBefore = Scalar(path, "SELECT COUNT(*) FROM game_keys");
    ASSERT_EQ(before, static_cast<std::int64_t>(2 + kForeignGames.size()));

    RecordStore store(path, Quick());
    ASSERT_TRUE(store.IsOpen()) << store.Problem();
    EXPECT_EQ(Scalar(path, "PRAGMA user_version"), kSchemaVersion);
    EXPECT_NE(store.Notice().find(std::to_string(kForeignGames.size()) + " games"), std::string::npos)
        << store.Notice();
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM games"), 2) << "every valid game kept";
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM games_set_aside"), static_cast<std::int64_t>(kForeignGames.size()));
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM game_keys") + Scalar(path, "SELECT COUNT(*) FROM game_keys_set_aside"),
              keysBefore)
        << "no character's row lost";
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM game_keys_set_aside"),
              static_cast<std::int64_t>(kForeignGames.size()) + 1);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM game_keys WHERE game_id = 1"), 27);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name LIKE 'games_by_%'"), 2);
    EXPECT_EQ(Scalar(path, "PRAGMA foreign_key_check"), -1) << "no row refers to nothing";
    EXPECT_EQ(store.Games("anna").size(), 2u);
    EXPECT_TRUE(store.Save(SampleGame("anna", 100)));

    // From now on the schema itself refuses what no game produces.
    for (const auto& [name, values] : kForeignGames) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        EXPECT_NE(sqlite3_exec(db, InsertGame(values).c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << name;
        sqlite3_close(db);
    }
}

TEST(RecordStoreDomain, ReadingLeavesOutRowsOutsideTheDomainAndSaysHowMany)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore store(path, Quick());
        ASSERT_TRUE(store.Save(SampleGame("anna", 300, 25, 3, true, "2026-12-01T09:00:00Z")));
    }
    // Written past the constraints, as a hostile program can.
    std::string sql = "PRAGMA ignore_check_constraints = ON;";
    for (const auto& [name, values] : kForeignGames)
        sql += InsertGame(values);
    sql += "INSERT INTO game_keys VALUES (1, 'y', -5, 0, 0, 0, 0, 0);";
    sql += "INSERT INTO game_keys SELECT id, 'c', 1, 1, 0, 0, 10, 0 FROM games WHERE id > 1;";
    Exec(path, sql);
    for (const bool readOnly : {false, true}) {
        RecordStore::Options options = Quick();
        options.readOnly = readOnly;
        RecordStore store(path, options);
        const auto games = store.Games("anna");
        ASSERT_EQ(games.size(), 1u);
        EXPECT_EQ(games[0].total, 300);
        EXPECT_NE(store.Notice().find(std::to_string(kForeignGames.size()) + " games"), std::string::npos)
            << store.Notice();
        const auto best = store.BestScores("anna");
        ASSERT_EQ(best.size(), 1u);
        EXPECT_EQ(best[0].total, 300);
        const auto keys = store.KeyTotals("anna");
        EXPECT_EQ(keys.count("y"), 0u);
        EXPECT_EQ(keys.count("c"), 0u) << "the characters of a game left out";
        EXPECT_EQ(keys.at("A").launched, 2);
    }
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM games"), static_cast<std::int64_t>(1 + kForeignGames.size()))
        << "nothing deleted";
}

TEST(RecordStoreDomain, EveryStrayKeyAGameCanRecordIsInside)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), Quick());
    GameRecord game = SampleGame("anna", 10);
    const std::string nul(1, '\0');
    for (const std::string& typed :
         {nul, std::string("\xC3\xA8"), std::string("\xE2\x82\xAC"), std::string("\xF0\x9F\x98\x80")})
        game.keys[typed].wrong = 1;
    ASSERT_TRUE(store.Save(game)) << store.Problem();
    const auto keys = store.KeyTotals("anna");
    EXPECT_EQ(keys.count(nul), 1u);
    EXPECT_EQ(keys.count("\xF0\x9F\x98\x80"), 1u);
    EXPECT_TRUE(store.Notice().empty()) << store.Notice();
}

TEST(RecordStore, ARecordIsAPositiveTotalOfAFinishedGame)
{
    TempFolder folder;
    RecordStore store(folder.File("keyfall.sqlite"), Quick());
    const auto save = [&](int total, const char* when) {
        return store.Save(SampleGame("anna", total, 50, 0, true, when)).value();
    };
    EXPECT_FALSE(save(-20, "2026-12-01T09:00:00Z").newRecord) << "nothing typed, points lost";
    EXPECT_FALSE(save(-10, "2026-12-01T10:00:00Z").newRecord) << "less negative is still no record";
    EXPECT_TRUE(store.BestScores("anna").empty());
    EXPECT_TRUE(save(87, "2026-12-01T11:00:00Z").newRecord);
    const auto best = store.BestScores("anna");
    ASSERT_EQ(best.size(), 1u);
    EXPECT_EQ(best[0].total, 87);
}

// ---- A backup while the game runs ---------------------------------------------------

TEST(RecordStore, TheMainFileHoldsEveryGameWrittenWhileTheStoreIsOpen)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    RecordStore store(path, Quick());
    ASSERT_TRUE(store.Save(SampleGame("anna", 10)));
    ASSERT_TRUE(store.Save(SampleGame("anna", 20)));
    // A reader that only copies the one file docs/records.md names.
    std::filesystem::copy_file(path, folder.File("backup.sqlite"));
    EXPECT_EQ(Scalar(folder.File("backup.sqlite"), "SELECT COUNT(*) FROM games"), 2);
    EXPECT_EQ(Scalar(folder.File("backup.sqlite"), "SELECT COUNT(*) FROM game_keys"), 2 * 27);
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
    std::mutex mutex;
    std::vector<std::string> reports;
    {
        // An hour's patience: if quitting waited for the lock, the test would time out.
        RecordWriter writer(path, Quick(3'600'000), {}, [&](const std::string& line) {
            std::lock_guard lock(mutex);
            reports.push_back(line);
        });
        writer.Write(SampleGame("anna", 100, 50, 0, true, "2026-12-01T10:00:00Z"));
        writer.Write(SampleGame("anna", 200, 50, 0, true, "2026-12-01T11:00:00Z"));
    }
    ASSERT_EQ(reports.size(), 2u) << "one line for each game not written";
    EXPECT_NE(reports[0].find("2026-12-01T10:00:00Z not recorded"), std::string::npos) << reports[0];
    EXPECT_NE(reports[1].find("2026-12-01T11:00:00Z not recorded"), std::string::npos) << reports[1];
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM games"), 0);
}

// Waits up to ten seconds for `sql` to give `expected`.
bool Eventually(const std::string& path, const std::string& sql, std::int64_t expected)
{
    for (int i = 0; i < 1000; ++i) {
        if (Scalar(path, sql) == expected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

RecordStore::Options Retrying(int busyMs, int retryMs)
{
    RecordStore::Options options = Quick(busyMs);
    options.retryMs = retryMs;
    return options;
}

TEST(RecordWriter, AFileHeldAtStartUpIsOpenedWhenItIsFreeAndNoGameIsLost)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    {
        RecordStore create(path, Quick());
    }
    // Another program holding the whole file, readers too, as a rollback journal lets it.
    Exec(path, "PRAGMA journal_mode = DELETE;");
    sqlite3* other = nullptr;
    sqlite3_open(path.c_str(), &other);
    ASSERT_EQ(
        sqlite3_exec(other, "BEGIN EXCLUSIVE; INSERT INTO players(name) VALUES ('x');", nullptr, nullptr, nullptr),
        SQLITE_OK);
    std::mutex mutex;
    std::vector<std::string> problems;
    RecordWriter writer(path, Retrying(50, 50), {}, [&](const std::string& line) {
        std::lock_guard lock(mutex);
        problems.push_back(line);
    });
    for (int i = 0; i < 3; ++i)
        writer.Write(SampleGame("anna", 100 + i));
    writer.Flush();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(Eventually(path, "SELECT COUNT(*) FROM games", 3)) << "the games held in memory were not written";
    EXPECT_EQ(Scalar(path, "SELECT total FROM games ORDER BY id LIMIT 1"), 100) << "written in the order played";
    EXPECT_EQ(Scalar(path, "SELECT SUM(total) FROM games"), 303);
    writer.Flush();
    std::lock_guard lock(mutex);
    EXPECT_EQ(problems.size(), 1u) << "one line for the lock, none for each try";
}

TEST(RecordWriter, AGameSavedWhileAnotherWriterHoldsTheFileIsKeptAndWrittenLater)
{
    TempFolder folder;
    const std::string path = folder.File("keyfall.sqlite");
    std::mutex mutex;
    std::vector<std::string> problems;
    // Retrying only with a later game: the first is written together with the second.
    RecordWriter writer(path, Retrying(50, 3'600'000), {}, [&](const std::string& line) {
        std::lock_guard lock(mutex);
        problems.push_back(line);
    });
    writer.Flush();
    sqlite3* other = nullptr;
    sqlite3_open(path.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    writer.Write(SampleGame("anna", 10, 50, 0, true, "2026-12-01T10:00:00Z"));
    writer.Flush();
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM games"), 0);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    writer.Write(SampleGame("anna", 20, 50, 0, true, "2026-12-01T11:00:00Z"));
    writer.Flush();
    EXPECT_EQ(Scalar(path, "SELECT COUNT(*) FROM games"), 2);
    EXPECT_EQ(Scalar(path, "SELECT total FROM games ORDER BY id LIMIT 1"), 10) << "written in the order played";
    std::lock_guard lock(mutex);
    EXPECT_EQ(problems.size(), 1u);
}

} // namespace
} // namespace keyfall::records
