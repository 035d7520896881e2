#pragma once
// The player's history in an SQLite file: every game played to its end or stopped, with
// how each character fared in it. The schema is documented in docs/records.md for
// teachers' own tools; it is versioned with PRAGMA user_version and migrated on opening.
//
// Nothing here ever stops the game: a file that cannot be opened, is locked, read-only,
// corrupt or from a newer Keyfall leaves the store closed or the game unrecorded, with one
// line in Problem() saying why. A corrupt file is moved aside, never deleted.

#include "records/Record.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct sqlite3;

namespace keyfall::records {

inline constexpr int kSchemaVersion = 2;

struct BestScore {
    int level = 0;
    int keySet = -1;
    int total = 0;
    std::string startedAt; // of the first game that reached it
};

struct SaveResult {
    std::int64_t id = 0;
    // The player's best finished game on the same level and key set before this one.
    std::optional<int> previousBest;
    // A finished game above every earlier finished game on its level and key set (the
    // first finished one counts when it scored above zero).
    bool newRecord = false;
};

class RecordStore {
public:
    struct Options {
        // PRAGMA quick_check on opening: worth it where games are written, too slow for a
        // window that only reads.
        bool check = true;
        // How long a write waits for another Keyfall that holds the file.
        int busyTimeoutMs = 2000;
        // The wall-clock time for the name of a corrupt file moved aside, "20261208T110703".
        std::string stamp;
    };

    // Opens the file, creating it and its folder as needed, and brings the schema up to date.
    RecordStore(std::string path, Options options);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    bool IsOpen() const { return m_db != nullptr; }
    // Why the last operation failed, in one line; empty after a success.
    const std::string& Problem() const { return m_problem; }
    const std::string& path() const { return m_path; }
    // Where a corrupt file was moved to on opening, or empty.
    const std::string& MovedAside() const { return m_movedAside; }

    // Writes one game in one transaction; nothing on failure (see Problem()).
    std::optional<SaveResult> Save(const GameRecord& game);

    std::vector<std::string> Players();
    // Best finished game per level and key set, by level (easy first) and key set.
    std::vector<BestScore> BestScores(const std::string& player);
    // Every game of the player, oldest first; `keys` stays empty.
    std::vector<GameRecord> Games(const std::string& player);
    // Each character's counts over all the player's games, reaction times in ms.
    std::map<std::string, KeyCounts> KeyTotals(const std::string& player);
    // The player's games as CSV (one header line, then one line per game, oldest first).
    bool ExportCsv(const std::string& player, std::ostream& out);

    // Makes a write that is waiting for a lock give up at once (safe from another thread).
    void GiveUpWaiting() { m_givingUp = true; }

private:
    bool OpenFile();
    bool Prepare();
    bool Migrate();
    bool Fail(const std::string& what);
    void Close();
    bool Execute(const char* sql);
    static int Busy(void* self, int count);

    std::string m_path;
    Options m_options;
    sqlite3* m_db = nullptr;
    std::string m_problem;
    std::string m_movedAside;
    std::atomic<bool> m_givingUp{false};
};

} // namespace keyfall::records
