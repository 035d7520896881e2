#include "records/RecordStore.h"

#include "records/Statement.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

namespace keyfall::records {
namespace {

// Each step brings the schema from the version before it to its own; a file is migrated
// through every step it has not seen, in one transaction. Never edit a released step: add
// a new one.
constexpr const char* kMigrations[kSchemaVersion] = {
    // 1: players, their games and each game's characters.
    R"sql(
    CREATE TABLE players (
        id   INTEGER PRIMARY KEY,
        name TEXT NOT NULL UNIQUE
    );
    CREATE TABLE games (
        id            INTEGER PRIMARY KEY,
        player_id     INTEGER NOT NULL REFERENCES players(id),
        started_at    TEXT    NOT NULL,
        level         INTEGER NOT NULL,
        rounds        INTEGER NOT NULL,
        rounds_played INTEGER NOT NULL,
        key_set       INTEGER NOT NULL,
        total         INTEGER NOT NULL,
        hits          INTEGER NOT NULL,
        misses        INTEGER NOT NULL,
        landed        INTEGER NOT NULL,
        duration_ms   INTEGER NOT NULL,
        typing_ms     INTEGER NOT NULL,
        finished      INTEGER NOT NULL CHECK (finished IN (0, 1))
    );
    CREATE TABLE game_keys (
        game_id        INTEGER NOT NULL REFERENCES games(id) ON DELETE CASCADE,
        character      TEXT    NOT NULL,
        launched       INTEGER NOT NULL,
        hits           INTEGER NOT NULL,
        landed         INTEGER NOT NULL,
        wrong          INTEGER NOT NULL,
        reaction_ticks INTEGER NOT NULL,
        PRIMARY KEY (game_id, character)
    ) WITHOUT ROWID;
    )sql",
    // 2: the statistics window and the record check look games up by player and level.
    R"sql(
    CREATE INDEX games_by_player ON games(player_id, started_at);
    CREATE INDEX games_by_level ON games(player_id, level, key_set, finished, total);
    )sql",
    // 3: each column states its domain, the values a game can produce. SQLite adds CHECK
    // constraints only by rebuilding a table: the rows inside the domain are copied, the others
    // are kept, as they were, in the *_set_aside tables (nothing a player played is deleted).
    // Runs with foreign keys off, so that dropping the old tables touches no row.
    R"sql(
    CREATE TABLE games_checked (
        id            INTEGER PRIMARY KEY,
        player_id     INTEGER NOT NULL REFERENCES players(id),
        started_at    TEXT    NOT NULL CHECK (started_at GLOB
                          '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]Z'
                          AND strftime('%Y-%m-%dT%H:%M:%SZ', julianday(started_at)) IS started_at),
        level         INTEGER NOT NULL CHECK (level IN (100, 50, 25)),
        rounds        INTEGER NOT NULL CHECK (rounds BETWEEN -32768 AND 32767),
        rounds_played INTEGER NOT NULL CHECK (rounds_played BETWEEN 0 AND 32767),
        key_set       INTEGER NOT NULL CHECK (key_set BETWEEN -1 AND 255),
        total         INTEGER NOT NULL CHECK (total BETWEEN -32768 AND 32767),
        hits          INTEGER NOT NULL CHECK (hits BETWEEN 0 AND 2147483647),
        misses        INTEGER NOT NULL CHECK (misses BETWEEN 0 AND 2147483647),
        landed        INTEGER NOT NULL CHECK (landed BETWEEN 0 AND 2147483647),
        duration_ms   INTEGER NOT NULL CHECK (duration_ms BETWEEN 0 AND 9223372036854775807),
        typing_ms     INTEGER NOT NULL CHECK (typing_ms BETWEEN 0 AND duration_ms),
        finished      INTEGER NOT NULL CHECK (finished IN (0, 1))
    );
    CREATE TABLE games_set_aside AS SELECT * FROM games WHERE 0;
    INSERT INTO games_set_aside SELECT * FROM games WHERE (
        started_at GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]Z'
        AND strftime('%Y-%m-%dT%H:%M:%SZ', julianday(started_at)) IS started_at
        AND level IN (100, 50, 25) AND rounds BETWEEN -32768 AND 32767
        AND rounds_played BETWEEN 0 AND 32767 AND key_set BETWEEN -1 AND 255
        AND total BETWEEN -32768 AND 32767 AND hits BETWEEN 0 AND 2147483647
        AND misses BETWEEN 0 AND 2147483647 AND landed BETWEEN 0 AND 2147483647
        AND duration_ms BETWEEN 0 AND 9223372036854775807 AND typing_ms BETWEEN 0 AND duration_ms
        AND finished IN (0, 1)) IS NOT 1;
    INSERT INTO games_checked SELECT * FROM games WHERE id NOT IN (SELECT id FROM games_set_aside);
    CREATE TABLE game_keys_checked (
        game_id        INTEGER NOT NULL REFERENCES games(id) ON DELETE CASCADE,
        character      TEXT    NOT NULL CHECK (typeof(character) = 'text' AND length(CAST(character AS BLOB)) BETWEEN 1 AND 64),
        launched       INTEGER NOT NULL CHECK (launched BETWEEN 0 AND 2147483647),
        hits           INTEGER NOT NULL CHECK (hits BETWEEN 0 AND 2147483647),
        landed         INTEGER NOT NULL CHECK (landed BETWEEN 0 AND 2147483647),
        wrong          INTEGER NOT NULL CHECK (wrong BETWEEN 0 AND 2147483647),
        reaction_ticks INTEGER NOT NULL CHECK (reaction_ticks BETWEEN 0 AND 9223372036854775807),
        PRIMARY KEY (game_id, character)
    ) WITHOUT ROWID;
    CREATE TABLE game_keys_set_aside AS SELECT * FROM game_keys WHERE 0;
    INSERT INTO game_keys_set_aside SELECT * FROM game_keys
        WHERE game_id IS NULL OR game_id NOT IN (SELECT id FROM games_checked)
        OR (typeof(character) = 'text' AND length(CAST(character AS BLOB)) BETWEEN 1 AND 64
            AND launched BETWEEN 0 AND 2147483647 AND hits BETWEEN 0 AND 2147483647
            AND landed BETWEEN 0 AND 2147483647 AND wrong BETWEEN 0 AND 2147483647
            AND reaction_ticks BETWEEN 0 AND 9223372036854775807) IS NOT 1;
    INSERT INTO game_keys_checked SELECT * FROM game_keys k WHERE NOT EXISTS (
        SELECT 1 FROM game_keys_set_aside a WHERE a.game_id IS k.game_id AND a.character IS k.character);
    DROP TABLE game_keys;
    DROP TABLE games;
    ALTER TABLE games_checked RENAME TO games;
    ALTER TABLE game_keys_checked RENAME TO game_keys;
    CREATE INDEX games_by_player ON games(player_id, started_at);
    CREATE INDEX games_by_level ON games(player_id, level, key_set, finished, total);
    )sql",
    // 4: the misses meant for each character, each player's skill on each key (kept up to date
    // game by game, filled from the earlier games by Migrate) and the stage reached on each
    // course.
    R"sql(
    ALTER TABLE game_keys ADD COLUMN missed_for INTEGER NOT NULL DEFAULT 0
        CHECK (missed_for BETWEEN 0 AND 2147483647);
    CREATE TABLE key_skills (
        player_id    INTEGER NOT NULL REFERENCES players(id),
        character    TEXT    NOT NULL CHECK (typeof(character) = 'text' AND length(CAST(character AS BLOB)) BETWEEN 1 AND 64),
        games        INTEGER NOT NULL CHECK (games BETWEEN 0 AND 2147483647),
        launched     INTEGER NOT NULL CHECK (launched BETWEEN 0 AND 2147483647),
        hits         INTEGER NOT NULL CHECK (hits BETWEEN 0 AND 2147483647),
        errors       INTEGER NOT NULL CHECK (errors BETWEEN 0 AND 2147483647),
        hit_weight   REAL    NOT NULL CHECK (hit_weight BETWEEN 0 AND 1e15),
        error_weight REAL    NOT NULL CHECK (error_weight BETWEEN 0 AND 1e15),
        smoothed_ms  REAL    CHECK (smoothed_ms IS NULL OR smoothed_ms BETWEEN 0 AND 1e15),
        best_ms      REAL    CHECK (best_ms IS NULL OR best_ms BETWEEN 0 AND 1e15),
        PRIMARY KEY (player_id, character)
    ) WITHOUT ROWID;
    CREATE TABLE stages_reached (
        player_id INTEGER NOT NULL REFERENCES players(id),
        course    TEXT    NOT NULL CHECK (typeof(course) = 'text' AND length(CAST(course AS BLOB)) BETWEEN 1 AND 200),
        stage     INTEGER NOT NULL CHECK (stage BETWEEN 0 AND 1000),
        PRIMARY KEY (player_id, course)
    ) WITHOUT ROWID;
    )sql",
};

// The games and characters inside the domain the schema states since version 3, for the
// reads: a file edited by another program may hold anything, whatever its version says.
// Kept the same as the CHECK constraints of step 3.
constexpr const char* kValidGames = R"sql((SELECT * FROM games WHERE (
    started_at GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]T[0-9][0-9]:[0-9][0-9]:[0-9][0-9]Z'
    AND strftime('%Y-%m-%dT%H:%M:%SZ', julianday(started_at)) IS started_at
    AND level IN (100, 50, 25) AND rounds BETWEEN -32768 AND 32767
    AND rounds_played BETWEEN 0 AND 32767 AND key_set BETWEEN -1 AND 255
    AND total BETWEEN -32768 AND 32767 AND hits BETWEEN 0 AND 2147483647
    AND misses BETWEEN 0 AND 2147483647 AND landed BETWEEN 0 AND 2147483647
    AND duration_ms BETWEEN 0 AND 9223372036854775807 AND typing_ms BETWEEN 0 AND duration_ms
    AND finished IN (0, 1)) IS 1))sql";
constexpr const char* kValidKeys = R"sql((SELECT * FROM game_keys WHERE (
    typeof(character) = 'text' AND length(CAST(character AS BLOB)) BETWEEN 1 AND 64
    AND launched BETWEEN 0 AND 2147483647 AND hits BETWEEN 0 AND 2147483647
    AND landed BETWEEN 0 AND 2147483647 AND wrong BETWEEN 0 AND 2147483647
    AND reaction_ticks BETWEEN 0 AND 9223372036854775807) IS 1))sql";

bool IsCorruption(int code)
{
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool IsLock(int code)
{
    const int primary = code & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

int ToInt(std::int64_t value)
{
    return static_cast<int>(value);
}

std::string GameCount(std::int64_t count)
{
    return count == 1 ? "1 game" : std::to_string(count) + " games";
}

} // namespace

std::string WithDomain(std::string sql, const std::string& missedFor)
{
    for (const auto& [name, rows] : {std::pair{"{games}", kValidGames}, std::pair{"{keys}", kValidKeys}}) {
        for (auto at = sql.find(name); at != std::string::npos; at = sql.find(name))
            sql.replace(at, std::char_traits<char>::length(name), rows);
    }
    constexpr std::string_view kMissedFor = "{missed_for}";
    for (auto at = sql.find(kMissedFor); at != std::string::npos; at = sql.find(kMissedFor))
        sql.replace(at, kMissedFor.size(), missedFor);
    return sql;
}

std::string RecordStore::MissedFor() const
{
    // A file edited by another program may hold anything in a column: the value read is kept
    // to what a count can be.
    return m_version >= 4 ? "MAX(0, MIN(IFNULL(CAST(k.missed_for AS INTEGER), 0), 2147483647))" : "0";
}

RecordStore::RecordStore(std::string path, Options options) : m_path(std::move(path)), m_options(std::move(options))
{
    if (m_options.readOnly) {
        std::error_code error;
        if (!std::filesystem::exists(m_path, error) && !error) {
            m_noFile = true;
            return;
        }
        if (OpenFile() && !Prepare())
            Close();
        return;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, error);
    if (error) {
        Fail("cannot create the folder " + folder.string() + ": " + error.message());
        return;
    }
    if (OpenFile() && !Prepare() && m_db == nullptr && !m_movedAside.empty()) {
        // The damaged file is out of the way: start a new one in its place.
        const std::string why = m_problem;
        if (OpenFile() && Prepare())
            m_problem = why;
    }
}

RecordStore::~RecordStore()
{
    Close();
}

bool RecordStore::Fail(const std::string& what, int code)
{
    m_problem = what;
    m_locked = IsLock(code);
    return false;
}

void RecordStore::Close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

int RecordStore::Busy(void* self, int count)
{
    auto* store = static_cast<RecordStore*>(self);
    constexpr int kStepMs = 10;
    const bool cancelled = store->m_options.cancel && store->m_options.cancel->load();
    if (store->m_givingUp || cancelled || count * kStepMs >= store->m_options.busyTimeoutMs)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    return 1;
}

int RecordStore::Progress(void* self)
{
    const auto* cancel = static_cast<RecordStore*>(self)->m_options.cancel;
    return cancel && cancel->load() ? 1 : 0;
}

bool RecordStore::OpenFile()
{
    int flags = m_options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    std::string name = m_path;
    if (m_immutable) {
        // A URI names the file; the characters a URI gives a meaning to are escaped.
        name = "file:";
        for (const char c : m_path) {
            if (c == '%' || c == '?' || c == '#') {
                char escaped[4];
                std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
                name += escaped;
            } else {
                name += c;
            }
        }
        name += "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    if (const int rc = sqlite3_open_v2(name.c_str(), &m_db, flags, nullptr); rc != SQLITE_OK) {
        const std::string why = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        Close();
        return Fail("cannot open " + m_path + ": " + why, rc);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_handler(m_db, &RecordStore::Busy, this);
    if (m_options.cancel)
        sqlite3_progress_handler(m_db, 10000, &RecordStore::Progress, this);
    return true;
}

bool RecordStore::Execute(const char* sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK)
        return true;
    Fail(message ? message : sqlite3_errmsg(m_db), rc);
    sqlite3_free(message);
    return false;
}

bool RecordStore::Finish(const std::string& problem, int code, std::int64_t skipped)
{
    if (!problem.empty())
        return Fail("cannot read " + m_path + ": " + problem, code);
    m_problem.clear();
    m_locked = false;
    m_notice = skipped > 0 ? GameCount(skipped) + " outside the values a game can produce left out of " + m_path : "";
    return true;
}

bool RecordStore::Prepare()
{
    const auto corrupt = [this](const std::string& why) {
        Close();
        if (m_options.readOnly)
            return Fail(m_path + " is not a readable records file (" + why + ")");
        std::string aside = m_path + ".corrupt-" + (m_options.stamp.empty() ? "unknown" : m_options.stamp);
        for (int n = 2; std::filesystem::exists(aside); ++n)
            aside = m_path + ".corrupt-" + m_options.stamp + "-" + std::to_string(n);
        std::error_code error;
        std::filesystem::rename(m_path, aside, error);
        if (error)
            return Fail(m_path + " is damaged (" + why + ") and cannot be moved aside: " + error.message());
        // The journal belongs to the damaged file; it goes with it.
        for (const char* suffix : {"-wal", "-shm"}) {
            if (std::filesystem::exists(m_path + suffix))
                std::filesystem::rename(m_path + suffix, aside + suffix, error);
        }
        m_movedAside = aside;
        return Fail(m_path + " was damaged (" + why + "); moved aside to " + aside + ", a new file begins");
    };
    const auto failed = [this](const std::string& what, int code) {
        Fail(what, code);
        Close();
        return false;
    };

    std::int64_t version = 0;
    {
        Statement read(m_db, "PRAGMA user_version");
        if (read.Step())
            version = read.Int(0);
        else if (IsCorruption(read.code()))
            return corrupt(read.error());
        const int primary = read.code() & 0xFF;
        if (!read.ok() && m_options.readOnly && !m_immutable
            && (primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY)
            && !std::filesystem::exists(m_path + "-wal")) {
            // A file in WAL mode in a folder this reader cannot write: SQLite cannot make the
            // shared memory its readers use. With no journal beside it the file holds every
            // game, and no program can be writing it there, so it is read as it stands.
            Close();
            m_immutable = true;
            return OpenFile() && Prepare();
        }
        if (!read.ok())
            return failed("cannot read " + m_path + ": " + read.error(), read.code());
    }
    // The version is whatever four bytes of the file's header hold: below zero is as foreign
    // as above the newest, and neither may pick a step of the migrations.
    if (version > kSchemaVersion)
        return failed(m_path + " was written by a newer Keyfall (schema " + std::to_string(version)
                          + ", this one knows " + std::to_string(kSchemaVersion) + "); it is left as it is",
                      0);
    if (version < 0)
        return failed(m_path + " has a schema version no Keyfall writes (" + std::to_string(version)
                          + "); it is left as it is",
                      0);
    m_version = static_cast<int>(version);
    if (m_options.readOnly) {
        if (m_version == 0) {
            // An empty file, or one no Keyfall has written a game in: nothing to read.
            Close();
            m_noFile = true;
        }
        m_problem.clear();
        return true;
    }
    if (m_options.check) {
        // A row outside a column's domain is no damage: reading leaves it out. Only what
        // SQLite cannot read is.
        Statement check(m_db, "PRAGMA quick_check(100)");
        std::string damage;
        while (check.Step()) {
            const std::string line = check.Text(0);
            if (line != "ok" && line.rfind("CHECK constraint failed", 0) != 0 && line.rfind("NULL value in", 0) != 0
                && damage.empty())
                damage = line;
        }
        if (IsCorruption(check.code()))
            return corrupt(check.error());
        if (!check.ok())
            return failed("cannot check " + m_path + ": " + check.error(), check.code());
        if (!damage.empty())
            return corrupt(damage);
    }
    // WAL lets the statistics window read while a game is written. A read-only file keeps
    // whatever journal it has; a file another program holds is tried again later.
    // Switching the journal takes the file for a moment; SQLite may refuse at once, without
    // waiting in the busy handler, while another program opens or writes the same file, so
    // the switch is tried again for as long as a write would wait.
    bool journal = Execute("PRAGMA journal_mode=WAL");
    constexpr int kRetryMs = 10;
    for (int waited = 0; !journal && m_locked && !m_givingUp && waited < m_options.busyTimeoutMs; waited += kRetryMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
        journal = Execute("PRAGMA journal_mode=WAL");
    }
    if (!journal && m_locked)
        return failed("cannot open " + m_path + ": " + m_problem, SQLITE_BUSY);
    // In WAL mode NORMAL never corrupts the file; a power cut may cost the last game only.
    Execute("PRAGMA synchronous=NORMAL");
    if (!Migrate()) {
        const bool locked = m_locked;
        return failed("cannot bring " + m_path + " up to date: " + m_problem, locked ? SQLITE_BUSY : 0);
    }
    // After the migrations: rebuilding a table with foreign keys on would delete what refers to it.
    if (!Execute("PRAGMA foreign_keys=ON")) {
        Close();
        return false;
    }
    m_problem.clear();
    m_locked = false;
    return true;
}

bool RecordStore::Migrate()
{
    if (m_version == kSchemaVersion)
        return true;
    // IMMEDIATE takes the write lock at once, so two programs opening an old file together
    // migrate it once: the second finds the new version inside its own transaction.
    if (!Execute("BEGIN IMMEDIATE"))
        return false;
    const auto rollBack = [this] {
        const std::string why = m_problem;
        const bool locked = m_locked;
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_problem = why;
        m_locked = locked;
        return false;
    };
    std::int64_t version = -1;
    {
        Statement read(m_db, "PRAGMA user_version");
        if (read.Step())
            version = read.Int(0);
        if (!read.ok()) {
            Fail(read.error(), read.code());
            return rollBack();
        }
    }
    if (version < 0 || version > kSchemaVersion) {
        Fail("its schema version changed to " + std::to_string(version) + " meanwhile");
        return rollBack();
    }
    for (auto step = static_cast<int>(version); step < kSchemaVersion; ++step) {
        if (!Execute(kMigrations[step]))
            return rollBack();
    }
    m_version = kSchemaVersion;
    if (version < 4 && !FillSkills()) {
        m_version = static_cast<int>(version);
        return rollBack();
    }
    const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    if (!Execute(setVersion.c_str())) {
        m_version = static_cast<int>(version);
        return rollBack();
    }
    std::int64_t setAside = 0;
    if (version < 3) {
        Statement count(m_db, "SELECT COUNT(*) FROM games_set_aside");
        if (count.Step())
            setAside = count.Int(0);
    }
    if (!Execute("COMMIT")) {
        m_version = static_cast<int>(version);
        return rollBack();
    }
    if (setAside > 0)
        m_notice = GameCount(setAside) + " outside the values a game can produce moved to the table games_set_aside of "
                   + m_path;
    return true;
}

std::optional<SaveResult> RecordStore::Save(const GameRecord& game)
{
    auto result = Write(game);
    // The game is safe in the journal; copying it into the main file now makes that one file
    // a whole backup while the game runs. A reader in the way only delays the copy to the
    // next game.
    if (result)
        sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_FULL, nullptr, nullptr);
    return result;
}

std::optional<SaveResult> RecordStore::Write(const GameRecord& game)
{
    if (!m_db) {
        if (m_noFile)
            Fail("game not recorded: " + m_path + " is open only for reading");
        return std::nullopt;
    }
    if (m_options.readOnly) {
        Fail("game not recorded: " + m_path + " is open only for reading");
        return std::nullopt;
    }
    const auto failed = [this, &game](const std::string& why, int code) -> std::optional<SaveResult> {
        Fail("game of " + game.player + " started at " + game.startedAt + " not recorded in " + m_path + ": " + why,
             code);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return std::nullopt;
    };
    if (!Execute("BEGIN IMMEDIATE"))
        return failed(m_problem, m_locked ? SQLITE_BUSY : 0);

    Statement player(m_db, "INSERT INTO players(name) VALUES (?1) ON CONFLICT(name) DO NOTHING");
    player.Bind(1, game.player).Step();
    if (!player.ok())
        return failed(player.error(), player.code());
    Statement id(m_db, "SELECT id FROM players WHERE name = ?1");
    if (!id.Bind(1, game.player).Step())
        return failed(id.ok() ? "player missing" : id.error(), id.code());
    const std::int64_t playerId = id.Int(0);

    SaveResult result;
    Statement best(m_db, WithDomain("SELECT MAX(total) FROM {games} WHERE player_id = ?1 AND level = ?2 "
                                    "AND key_set = ?3 AND finished = 1 AND total > 0")
                             .c_str());
    best.Bind(1, playerId).Bind(2, game.level).Bind(3, game.keySet);
    if (best.Step() && !best.IsNull(0))
        result.previousBest = ToInt(best.Int(0));
    if (!best.ok())
        return failed(best.error(), best.code());
    // A record is something to beat: a total above zero, above every earlier one.
    result.newRecord = game.finished && game.total > 0 && (!result.previousBest || game.total > *result.previousBest);

    Statement insert(m_db, "INSERT INTO games(player_id, started_at, level, rounds, rounds_played, key_set, total, "
                           "hits, misses, landed, duration_ms, typing_ms, finished) "
                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
    insert.Bind(1, playerId).Bind(2, game.startedAt).Bind(3, game.level).Bind(4, game.rounds);
    insert.Bind(5, game.roundsPlayed).Bind(6, game.keySet).Bind(7, game.total).Bind(8, game.hits);
    insert.Bind(9, game.misses).Bind(10, game.landed).Bind(11, game.durationMs).Bind(12, game.typingMs);
    insert.Bind(13, game.finished ? 1 : 0).Step();
    if (!insert.ok())
        return failed(insert.error(), insert.code());
    result.id = sqlite3_last_insert_rowid(m_db);

    Statement key(m_db, "INSERT INTO game_keys(game_id, character, launched, hits, landed, wrong, reaction_ticks, "
                        "missed_for) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    for (const auto& [character, counts] : game.keys) {
        key.Bind(1, result.id).Bind(2, character).Bind(3, counts.launched).Bind(4, counts.hits);
        key.Bind(5, counts.landed).Bind(6, counts.wrong).Bind(7, counts.reactionTicks).Bind(8, counts.missedFor).Step();
        if (!key.ok())
            return failed(key.error(), key.code());
        key.Reset();
    }
    if (!WriteSkills(playerId, game, result))
        return failed(m_problem, m_locked ? SQLITE_BUSY : 0);
    if (!Execute("COMMIT"))
        return failed(m_problem, m_locked ? SQLITE_BUSY : 0);
    m_problem.clear();
    m_locked = false;
    return result;
}

std::vector<std::string> RecordStore::Players()
{
    std::vector<std::string> names;
    if (!m_db) {
        if (m_noFile)
            Finish({}, 0, 0);
        return names;
    }
    Statement query(m_db, "SELECT name FROM players ORDER BY name");
    while (query.Step())
        names.push_back(query.Text(0));
    Finish(query.error(), query.code(), 0);
    return names;
}

std::vector<BestScore> RecordStore::BestScores(const std::string& player)
{
    std::vector<BestScore> scores;
    if (!m_db) {
        if (m_noFile)
            Finish({}, 0, 0);
        return scores;
    }
    // The best total per level and key set, then the first game that reached it.
    Statement query(m_db, WithDomain(R"sql(
        WITH mine AS (SELECT g.* FROM {games} g JOIN players p ON p.id = g.player_id
                      WHERE p.name = ?1 AND g.finished = 1 AND g.total > 0),
             best AS (SELECT level, key_set, MAX(total) AS total FROM mine GROUP BY level, key_set)
        SELECT b.level, b.key_set, b.total,
               (SELECT m.started_at FROM mine m
                WHERE m.level = b.level AND m.key_set = b.key_set AND m.total = b.total
                ORDER BY m.id LIMIT 1)
        FROM best b ORDER BY b.level DESC, b.key_set)sql")
                              .c_str());
    query.Bind(1, player);
    while (query.Step())
        scores.push_back({ToInt(query.Int(0)), ToInt(query.Int(1)), ToInt(query.Int(2)), query.Text(3)});
    Finish(query.error(), query.code(), 0);
    return scores;
}

std::vector<GameRecord> RecordStore::Games(const std::string& player)
{
    std::vector<GameRecord> games;
    if (!m_db) {
        if (m_noFile)
            Finish({}, 0, 0);
        return games;
    }
    Statement query(m_db, WithDomain(R"sql(
        SELECT g.started_at, g.level, g.rounds, g.rounds_played, g.key_set, g.total, g.hits, g.misses,
               g.landed, g.duration_ms, g.typing_ms, g.finished
        FROM {games} g JOIN players p ON p.id = g.player_id
        WHERE p.name = ?1 ORDER BY g.started_at, g.id)sql")
                              .c_str());
    query.Bind(1, player);
    while (query.Step()) {
        GameRecord& g = games.emplace_back();
        g.player = player;
        g.startedAt = query.Text(0);
        g.level = ToInt(query.Int(1));
        g.rounds = ToInt(query.Int(2));
        g.roundsPlayed = ToInt(query.Int(3));
        g.keySet = ToInt(query.Int(4));
        g.total = ToInt(query.Int(5));
        g.hits = ToInt(query.Int(6));
        g.misses = ToInt(query.Int(7));
        g.landed = ToInt(query.Int(8));
        g.durationMs = query.Int(9);
        g.typingMs = query.Int(10);
        g.finished = query.Int(11) != 0;
    }
    if (!query.ok()) {
        Finish(query.error(), query.code(), 0);
        return games;
    }
    Statement all(m_db, "SELECT COUNT(*) FROM games g JOIN players p ON p.id = g.player_id WHERE p.name = ?1");
    all.Bind(1, player);
    const std::int64_t stored = all.Step() ? all.Int(0) : 0;
    Finish(all.error(), all.code(), stored - static_cast<std::int64_t>(games.size()));
    return games;
}

std::map<std::string, KeyCounts> RecordStore::KeyTotals(const std::string& player)
{
    std::map<std::string, KeyCounts> keys;
    if (!m_db) {
        if (m_noFile)
            Finish({}, 0, 0);
        return keys;
    }
    // Sums of numbers that each fit an int may not: the sums are capped at what a count holds.
    Statement query(m_db, WithDomain(R"sql(
        SELECT k.character, MIN(SUM(k.launched), 2147483647), MIN(SUM(k.hits), 2147483647),
               MIN(SUM(k.landed), 2147483647), MIN(SUM(k.wrong), 2147483647),
               TOTAL(k.reaction_ticks), TOTAL(k.reaction_ticks * g.level), MIN(SUM({missed_for}), 2147483647)
        FROM {keys} k JOIN {games} g ON g.id = k.game_id JOIN players p ON p.id = g.player_id
        WHERE p.name = ?1 GROUP BY k.character)sql",
                                     MissedFor())
                              .c_str());
    query.Bind(1, player);
    while (query.Step()) {
        keys[query.Text(0)] = {ToInt(query.Int(1)), ToInt(query.Int(2)), ToInt(query.Int(3)), ToInt(query.Int(4)),
                               query.Int(5),        query.Int(6),        ToInt(query.Int(7))};
    }
    Finish(query.error(), query.code(), 0);
    return keys;
}

} // namespace keyfall::records
