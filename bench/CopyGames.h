#pragma once
// Records files of many games made in seconds for the benchmarks: the games written one by one
// are copied in one statement, with their characters, instead of being played and written again.

#include <QString>

#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace keyfall::bench {

// Copies the player's games already in the file `rounds` times over, with their characters.
inline bool CopyGames(const QString& path, int rounds, int each)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const std::string copy =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(rounds)
        + ") INSERT INTO games(player_id, started_at, level, rounds, rounds_played, key_set, "
          "total, hits, misses, landed, duration_ms, typing_ms, finished) "
          "SELECT player_id, started_at, level, rounds, rounds_played, key_set, total, hits, "
          "misses, landed, duration_ms, typing_ms, finished FROM games, n ORDER BY n.i, games.id;"
          "INSERT INTO game_keys SELECT g.id, k.character, k.launched, k.hits, k.landed, k.wrong, "
          "k.reaction_ticks, k.missed_for FROM games g JOIN game_keys k ON k.game_id = (g.id - 1) % "
        + std::to_string(each) + " + 1 WHERE g.id > " + std::to_string(each) + ";";
    const bool copied = sqlite3_exec(db, copy.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!copied)
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
    sqlite3_close(db);
    return copied;
}

} // namespace keyfall::bench
