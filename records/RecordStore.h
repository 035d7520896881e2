#pragma once
// The player's history in an SQLite file: every game played to its end or stopped, with
// how each character fared in it. The schema is documented in docs/records.md for
// teachers' own tools; it is versioned with PRAGMA user_version and migrated on opening.
//
// Nothing here ever stops the game: a file that cannot be opened, is locked, read-only,
// corrupt or of a schema this Keyfall does not know leaves the store closed or the game
// unrecorded, with one line in Problem() saying why. A corrupt file is moved aside, never
// deleted; a store opened only for reading never moves, creates or changes anything.
//
// Each column has a domain, the values a game can produce (docs/records.md). The schema
// enforces it for new writes; reading leaves out rows outside it (a file edited by hand or
// by a hostile program) and says how many in Notice().
//
// Adding to the schema: append a step to the migrations in RecordStore.cpp and raise
// kSchemaVersion; a released step is never edited.

#include "records/Record.h"
#include "records/Skills.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace keyfall::records {

inline constexpr int kSchemaVersion = 4;

struct BestScore {
    int level = 0;
    int keySet = -1;
    int total = 0;
    std::string startedAt; // of the first game that reached it
};

struct SaveResult {
    std::int64_t id = 0;
    // The player's best positive total of a finished game on the same level and key set
    // before this one.
    std::optional<int> previousBest;
    // A finished game with a positive total above every earlier one on its level and key set.
    bool newRecord = false;
    // The game passed its stage of the course: the stage now reached (the next one).
    std::optional<int> stageReached;
    // Every key's skill after the game, and the stages passed (the most on any course), which
    // set the target time.
    std::map<std::string, KeySkill> skills;
    int stagesPassed = 0;
};

// A key's launch-to-hit time in one game, and its smoothed value after that game.
struct SpeedPoint {
    std::string startedAt;
    double ms = 0;
    double smoothedMs = 0;
};

// One player's skill on one key, for a teacher's export.
struct PlayerKeySkill {
    std::string player;
    std::string character;
    KeySkill skill;
    int stagesPassed = 0;
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
        // Only reading (the export, the statistics window): the file is opened read-only and
        // never created, migrated, checked or moved aside. A file that does not exist holds
        // no games.
        bool readOnly = false;
        // How long RecordWriter waits before trying again a file another program holds.
        int retryMs = 3000;
        // When set, a read under way stops soon after this becomes true (from another thread),
        // failing with "interrupted": a window that closes does not wait for a long read.
        const std::atomic<bool>* cancel = nullptr;
    };

    // Opens the file, creating it and its folder as needed, and brings the schema up to date;
    // a read-only store only opens what is there.
    RecordStore(std::string path, Options options);
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // The file can be read (and, unless read-only, written); a read-only store of a file
    // that does not exist yet counts as open, with no games.
    bool IsOpen() const { return m_db != nullptr || m_noFile; }
    // Why the last operation failed, in one line; empty after a success.
    const std::string& Problem() const { return m_problem; }
    // The last failure was another program holding the file: trying again later may succeed.
    bool Locked() const { return m_locked; }
    // One line worth telling after an operation that succeeded (rows outside the domain left
    // out by a read, or set aside by bringing the schema up to date); empty when there is none.
    const std::string& Notice() const { return m_notice; }
    const std::string& path() const { return m_path; }
    // Where a corrupt file was moved to on opening, or empty.
    const std::string& MovedAside() const { return m_movedAside; }

    // Writes one game in one transaction, then copies it into the main file (a checkpoint),
    // so that a copy of that one file holds every game written; nothing on failure (see
    // Problem() and Locked()).
    std::optional<SaveResult> Save(const GameRecord& game);

    // The reads below give what they could read; a failed read leaves the reason in
    // Problem(), a successful one clears it. Rows outside the domain are left out (Notice()).
    std::vector<std::string> Players();
    // Best finished game with a positive total per level and key set, by level (easy first)
    // and key set.
    std::vector<BestScore> BestScores(const std::string& player);
    // Every game of the player, oldest first; `keys` stays empty.
    std::vector<GameRecord> Games(const std::string& player);
    // Each character's counts over all the player's games, reaction times in ms.
    std::map<std::string, KeyCounts> KeyTotals(const std::string& player);

    // Each key's skill (records/Skills.h), kept up to date game by game in the file; a file of
    // an older schema, open only for reading, has them worked out from its games.
    std::map<std::string, KeySkill> Skills(const std::string& player);
    // The stage the player has reached on `course` (0, the first, for a course never played);
    // it never goes back.
    int StageReached(const std::string& player, const std::string& course);
    // The most stages the player has passed on any course.
    int StagesPassed(const std::string& player);
    // One key's time in each game that hit it, oldest first.
    std::vector<SpeedPoint> KeySpeeds(const std::string& player, const std::string& character);
    // Every player's every key, by player and character.
    std::vector<PlayerKeySkill> AllSkills();

    // Makes a write that is waiting for a lock give up at once (safe from another thread).
    void GiveUpWaiting() { m_givingUp = true; }

private:
    bool OpenFile();
    bool Prepare();
    bool Migrate();
    std::optional<SaveResult> Write(const GameRecord& game);
    bool Fail(const std::string& what, int code = 0);
    void Close();
    bool Execute(const char* sql);
    bool Finish(const std::string& problem, int code, std::int64_t skipped);
    bool FillSkills();
    bool WriteSkills(std::int64_t playerId, const GameRecord& game, SaveResult& result);
    std::map<std::string, KeySkill> ReadSkills(std::int64_t playerId, std::string& error, int& code);
    std::map<std::pair<std::int64_t, std::string>, KeySkill>
    ReplaySkills(const std::string& where, const std::string& player, std::string& error, int& code);
    int ReadStagesPassed(std::int64_t playerId, std::string& error, int& code);
    // "k.missed_for" in a schema that has the column, 0 before it.
    std::string MissedFor() const;
    static int Busy(void* self, int count);
    static int Progress(void* self);

    std::string m_path;
    Options m_options;
    sqlite3* m_db = nullptr;
    std::string m_problem;
    std::string m_movedAside;
    std::string m_notice;
    bool m_locked = false;
    bool m_noFile = false;
    bool m_immutable = false; // read without the shared memory of WAL readers
    int m_version = 0;
    std::atomic<bool> m_givingUp{false};
};

} // namespace keyfall::records
