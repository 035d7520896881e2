#pragma once
// One game as the player's records keep it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace keyfall::records {

// How one character fared in a game (or, summed, over many).
struct KeyCounts {
    int launched = 0;
    int hits = 0;
    int landed = 0;
    int wrong = 0;                  // typed while no copy of it was falling
    std::int64_t reactionTicks = 0; // letter-timer ticks from launch to hit, summed over the hits
    std::int64_t reactionMs = 0;    // the same in milliseconds (ticks × the game's level); filled by queries
    int missedFor = 0;              // the lowest falling character while a key hit nothing: the one it was meant for
    bool operator==(const KeyCounts&) const = default;
};

// A game played on a stage of the course: which course (its keyboard's name), which stage
// (0 the first) and the stage's own keys; a finished game passes the stage when every one of
// those keys is mastered (records/Skills.h).
struct StageGame {
    std::string course;
    int stage = 0;
    std::vector<std::string> keys;
    bool operator==(const StageGame&) const = default;
};

struct GameRecord {
    std::string player;
    std::string startedAt; // UTC, "2026-12-08T11:07:03Z"
    int level = 0;         // 100 easy, 50 medium, 25 hard: the letter timer's interval in ms
    int rounds = 0;        // rounds the game was started with
    int roundsPlayed = 0;  // rounds tallied before it ended
    int keySet = -1;       // 0 upper, 1 lower, 2 digits, 3 letters, 4 letters and digits; -1 none
    int total = 0;
    int hits = 0;
    int misses = 0;
    int landed = 0;
    std::int64_t durationMs = 0; // from VIA to the end, pauses included
    std::int64_t typingMs = 0;   // only while characters were falling
    bool finished = false;       // played to its last round, or stopped with DA CAPO
    std::map<std::string, KeyCounts> keys;
    std::optional<StageGame> stage; // none for a game off the course
    bool operator==(const GameRecord&) const = default;
};

// A game in which at least one character fell: only such a game has a speed and an accuracy.
bool AnyLaunched(const GameRecord& game);
// Characters hit per minute of the time characters were falling; none for a game in which
// no character fell.
std::optional<double> CharsPerMinute(const GameRecord& game);
// The same over several games: their hits over their falling time together.
std::optional<double> CharsPerMinute(std::int64_t hits, std::int64_t typingMs);
// Hits out of everything that happened to the player's characters and keys: each launched
// character ends as a hit or a landing, and each stray key is a miss. 0 to 1; 0 when nothing
// happened at all.
double Accuracy(int hits, int landed, int misses);

// The Italian names of the levels and key sets, as the windows show them.
std::string LevelName(int level);
std::string KeySetName(int keySet);

} // namespace keyfall::records
