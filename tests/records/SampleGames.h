#pragma once
// Made-up games for the store's tests and benchmarks.

#include "records/Record.h"

#include <map>
#include <string>

namespace keyfall::test {

// A finished game: `hits` characters hit among A to Z, two landings and one stray key.
inline records::GameRecord SampleGame(const std::string& player, int total, int level = 50, int keySet = 0,
                                      bool finished = true, const std::string& startedAt = "2026-12-01T10:00:00Z",
                                      int hits = 40)
{
    records::GameRecord g;
    g.player = player;
    g.startedAt = startedAt;
    g.level = level;
    g.rounds = 8;
    g.roundsPlayed = finished ? 8 : 3;
    g.keySet = keySet;
    g.total = total;
    g.durationMs = 95000;
    g.typingMs = 60000;
    g.finished = finished;
    for (int i = 0; i < hits; ++i) {
        auto& key = g.keys[std::string(1, static_cast<char>('A' + i % 26))];
        ++key.launched;
        ++key.hits;
        key.reactionTicks += 10 + i % 7;
        ++g.hits;
    }
    for (const char* landedOn : {"Q", "Z"}) {
        ++g.keys[landedOn].launched;
        ++g.keys[landedOn].landed;
        ++g.landed;
    }
    ++g.keys["#"].wrong;
    ++g.misses;
    return g;
}

// A finished game of 8 rounds at `level` with exactly these characters, its totals theirs.
inline records::GameRecord GameOf(const std::string& player, int level, std::map<std::string, records::KeyCounts> keys,
                                  const std::string& startedAt = "2026-12-01T10:00:00Z")
{
    records::GameRecord g = SampleGame(player, 100, level, 0, true, startedAt, 0);
    g.keys = std::move(keys);
    g.hits = g.landed = g.misses = 0;
    for (const auto& [character, counts] : g.keys) {
        g.hits += counts.hits;
        g.landed += counts.landed;
        g.misses += counts.wrong;
    }
    return g;
}

} // namespace keyfall::test
