#include "records/RecordStore.h"

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
};

class Statement {
public:
    Statement(sqlite3* db, const char* sql) : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            m_error = sqlite3_errmsg(db);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    Statement& Bind(int index, const std::string& text)
    {
        sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while there is a row to read; false when done or failed (see ok()).
    bool Step()
    {
        if (!m_stmt)
            return false;
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE) {
            m_error = sqlite3_errmsg(m_db);
            m_code = rc;
        }
        return false;
    }
    void Reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    std::string Text(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))) : std::string();
    }
    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    int code() const { return m_code; }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    std::string m_error;
    int m_code = SQLITE_OK;
};

bool IsCorruption(int code)
{
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

int ToInt(std::int64_t value)
{
    return static_cast<int>(value);
}

// A CSV field: quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

RecordStore::RecordStore(std::string path, Options options) : m_path(std::move(path)), m_options(std::move(options))
{
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

bool RecordStore::Fail(const std::string& what)
{
    m_problem = what;
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
    if (store->m_givingUp || count * kStepMs >= store->m_options.busyTimeoutMs)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    return 1;
}

bool RecordStore::OpenFile()
{
    if (sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const std::string why = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        Close();
        return Fail("cannot open " + m_path + ": " + why);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_handler(m_db, &RecordStore::Busy, this);
    return true;
}

bool RecordStore::Execute(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    m_problem = message ? message : sqlite3_errmsg(m_db);
    sqlite3_free(message);
    return false;
}

bool RecordStore::Prepare()
{
    const auto corrupt = [this](const std::string& why) {
        Close();
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

    int version = 0;
    {
        Statement read(m_db, "PRAGMA user_version");
        if (read.Step())
            version = ToInt(read.Int(0));
        else if (IsCorruption(read.code()))
            return corrupt(read.error());
        if (!read.ok()) {
            Fail("cannot read " + m_path + ": " + read.error());
            Close();
            return false;
        }
    }
    if (version > kSchemaVersion) {
        Fail(m_path + " was written by a newer Keyfall (schema " + std::to_string(version) + ", this one knows "
             + std::to_string(kSchemaVersion) + "); it is left as it is");
        Close();
        return false;
    }
    if (m_options.check) {
        Statement check(m_db, "PRAGMA quick_check(1)");
        const bool row = check.Step();
        if (!row && IsCorruption(check.code()))
            return corrupt(check.error());
        if (row && check.Text(0) != "ok")
            return corrupt(check.Text(0));
        if (!row && !check.ok()) {
            Fail("cannot check " + m_path + ": " + check.error());
            Close();
            return false;
        }
    }
    // WAL lets the statistics window read while a game is written. A read-only file keeps
    // whatever journal it has.
    Execute("PRAGMA journal_mode=WAL");
    // In WAL mode NORMAL never corrupts the file; a power cut may cost the last game only.
    Execute("PRAGMA synchronous=NORMAL");
    if (!Execute("PRAGMA foreign_keys=ON")) {
        Close();
        return false;
    }
    if (!Migrate()) {
        m_problem = "cannot bring " + m_path + " up to date: " + m_problem;
        Close();
        return false;
    }
    m_problem.clear();
    return true;
}

bool RecordStore::Migrate()
{
    {
        Statement read(m_db, "PRAGMA user_version");
        if (read.Step() && read.Int(0) == kSchemaVersion)
            return true;
    }
    // IMMEDIATE takes the write lock at once, so two programs opening an old file together
    // migrate it once: the second finds the new version inside its own transaction.
    if (!Execute("BEGIN IMMEDIATE"))
        return false;
    int version = 0;
    {
        Statement read(m_db, "PRAGMA user_version");
        if (read.Step())
            version = ToInt(read.Int(0));
    }
    for (int step = version; step < kSchemaVersion; ++step) {
        if (!Execute(kMigrations[step])) {
            Execute("ROLLBACK");
            return false;
        }
    }
    const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    if (!Execute(setVersion.c_str()) || !Execute("COMMIT")) {
        const std::string why = m_problem;
        Execute("ROLLBACK");
        m_problem = why;
        return false;
    }
    return true;
}

std::optional<SaveResult> RecordStore::Save(const GameRecord& game)
{
    if (!m_db)
        return std::nullopt;
    const auto failed = [this](const std::string& why) -> std::optional<SaveResult> {
        m_problem = "game not recorded in " + m_path + ": " + why;
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return std::nullopt;
    };
    if (!Execute("BEGIN IMMEDIATE"))
        return failed(m_problem);

    Statement player(m_db, "INSERT INTO players(name) VALUES (?1) ON CONFLICT(name) DO NOTHING");
    player.Bind(1, game.player).Step();
    if (!player.ok())
        return failed(player.error());
    Statement id(m_db, "SELECT id FROM players WHERE name = ?1");
    if (!id.Bind(1, game.player).Step())
        return failed(id.ok() ? "player missing" : id.error());
    const std::int64_t playerId = id.Int(0);

    SaveResult result;
    Statement best(m_db, "SELECT MAX(total) FROM games WHERE player_id = ?1 AND level = ?2 AND key_set = ?3 "
                         "AND finished = 1");
    best.Bind(1, playerId).Bind(2, game.level).Bind(3, game.keySet);
    if (best.Step() && !best.IsNull(0))
        result.previousBest = ToInt(best.Int(0));
    if (!best.ok())
        return failed(best.error());
    result.newRecord = game.finished && (result.previousBest ? game.total > *result.previousBest : game.total > 0);

    Statement insert(m_db, "INSERT INTO games(player_id, started_at, level, rounds, rounds_played, key_set, total, "
                           "hits, misses, landed, duration_ms, typing_ms, finished) "
                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
    insert.Bind(1, playerId).Bind(2, game.startedAt).Bind(3, game.level).Bind(4, game.rounds);
    insert.Bind(5, game.roundsPlayed).Bind(6, game.keySet).Bind(7, game.total).Bind(8, game.hits);
    insert.Bind(9, game.misses).Bind(10, game.landed).Bind(11, game.durationMs).Bind(12, game.typingMs);
    insert.Bind(13, game.finished ? 1 : 0).Step();
    if (!insert.ok())
        return failed(insert.error());
    result.id = sqlite3_last_insert_rowid(m_db);

    Statement key(m_db, "INSERT INTO game_keys(game_id, character, launched, hits, landed, wrong, reaction_ticks) "
                        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    for (const auto& [character, counts] : game.keys) {
        key.Bind(1, result.id).Bind(2, character).Bind(3, counts.launched).Bind(4, counts.hits);
        key.Bind(5, counts.landed).Bind(6, counts.wrong).Bind(7, counts.reactionTicks).Step();
        if (!key.ok())
            return failed(key.error());
        key.Reset();
    }
    if (!Execute("COMMIT"))
        return failed(m_problem);
    m_problem.clear();
    return result;
}

std::vector<std::string> RecordStore::Players()
{
    std::vector<std::string> names;
    if (!m_db)
        return names;
    Statement query(m_db, "SELECT name FROM players ORDER BY name");
    while (query.Step())
        names.push_back(query.Text(0));
    return names;
}

std::vector<BestScore> RecordStore::BestScores(const std::string& player)
{
    std::vector<BestScore> scores;
    if (!m_db)
        return scores;
    // SQLite takes the bare started_at of the row that holds MIN/MAX; MIN(id) among the
    // best rows picks the first game that reached the score.
    Statement query(m_db, R"sql(
        SELECT g.level, g.key_set, g.total, g.started_at
        FROM games g JOIN players p ON p.id = g.player_id
        WHERE p.name = ?1 AND g.finished = 1
          AND g.id = (SELECT MIN(h.id) FROM games h
                      WHERE h.player_id = g.player_id AND h.level = g.level AND h.key_set = g.key_set
                        AND h.finished = 1
                        AND h.total = (SELECT MAX(total) FROM games k
                                       WHERE k.player_id = g.player_id AND k.level = g.level
                                         AND k.key_set = g.key_set AND k.finished = 1))
        ORDER BY g.level DESC, g.key_set)sql");
    query.Bind(1, player);
    while (query.Step())
        scores.push_back({ToInt(query.Int(0)), ToInt(query.Int(1)), ToInt(query.Int(2)), query.Text(3)});
    return scores;
}

std::vector<GameRecord> RecordStore::Games(const std::string& player)
{
    std::vector<GameRecord> games;
    if (!m_db)
        return games;
    Statement query(m_db, R"sql(
        SELECT g.started_at, g.level, g.rounds, g.rounds_played, g.key_set, g.total, g.hits, g.misses,
               g.landed, g.duration_ms, g.typing_ms, g.finished
        FROM games g JOIN players p ON p.id = g.player_id
        WHERE p.name = ?1 ORDER BY g.started_at, g.id)sql");
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
    return games;
}

std::map<std::string, KeyCounts> RecordStore::KeyTotals(const std::string& player)
{
    std::map<std::string, KeyCounts> keys;
    if (!m_db)
        return keys;
    Statement query(m_db, R"sql(
        SELECT k.character, SUM(k.launched), SUM(k.hits), SUM(k.landed), SUM(k.wrong), SUM(k.reaction_ticks),
               SUM(k.reaction_ticks * g.level)
        FROM game_keys k JOIN games g ON g.id = k.game_id JOIN players p ON p.id = g.player_id
        WHERE p.name = ?1 GROUP BY k.character)sql");
    query.Bind(1, player);
    while (query.Step()) {
        keys[query.Text(0)] = {ToInt(query.Int(1)), ToInt(query.Int(2)), ToInt(query.Int(3)),
                               ToInt(query.Int(4)), query.Int(5),        query.Int(6)};
    }
    return keys;
}

bool RecordStore::ExportCsv(const std::string& player, std::ostream& out)
{
    if (!m_db)
        return false;
    out << "giocatore,inizio,livello,giri,giri_giocati,tasti,punti,colpiti,errori,caduti,durata_s,"
           "caratteri_al_minuto,precisione_percento,finita\r\n";
    char number[32];
    for (const GameRecord& g : Games(player)) {
        out << CsvField(g.player) << ',' << g.startedAt << ',' << CsvField(LevelName(g.level)) << ',' << g.rounds << ','
            << g.roundsPlayed << ',' << CsvField(KeySetName(g.keySet)) << ',' << g.total << ',' << g.hits << ','
            << g.misses << ',' << g.landed << ',';
        std::snprintf(number, sizeof number, "%.1f", static_cast<double>(g.durationMs) / 1000.0);
        out << number << ',';
        std::snprintf(number, sizeof number, "%.1f", CharsPerMinute(g));
        out << number << ',';
        std::snprintf(number, sizeof number, "%.1f", 100.0 * Accuracy(g.hits, g.landed, g.misses));
        out << number << ',' << (g.finished ? "si" : "no") << "\r\n";
    }
    out.flush();
    return static_cast<bool>(out);
}

} // namespace keyfall::records
