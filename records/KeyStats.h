#pragma once
// Each key of the keyboard as the statistics show it: a letter key gathers its upper- and
// lower-case characters (Shift is not what the player misses), a digit key its digit.

#include "records/Record.h"
#include "records/Skills.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace keyfall::records {

struct KeyStat {
    std::string key; // "A" to "Z", "0" to "9"
    KeyCounts counts;
    double accuracy = 0;   // Accuracy() of its hits, landings and stray presses
    double reactionMs = 0; // mean time from launch to hit; 0 without hits
    int Events() const { return counts.hits + counts.landed + counts.wrong; }
};

// The keys of the keyboard that something happened to, by key. Characters of no key
// (punctuation typed by mistake) are left out.
std::map<std::string, KeyStat> ByKey(const std::map<std::string, KeyCounts>& characters);

// Below this many launches a key is not judged: one slip would move its accuracy by a tenth
// or more, and a key seen in one game only would be named for one bad moment.
inline constexpr int kMinLaunchesToJudge = 10;

// The player's own accuracy over every key: all hits over all events.
double MeanAccuracy(const std::map<std::string, KeyStat>& keys);

// Up to `count` keys that most need practice: those launched at least `minLaunches` times
// and less accurate than the player's own mean, the least accurate first, the slower first
// among equals. A key typed without a slip is never among them.
// A key's confidence as the statistics show it: that of the less sure of the characters it
// gathers that have a skill, so that a key sure in lower case but not in upper case shows
// what is still to learn.
struct KeyConfidence {
    std::string key;
    std::string character; // the less sure one
    double confidence = 0;
    double accuracy = 0;
    std::optional<double> smoothedMs;
    bool mastered = false; // every character it gathers that has a skill is mastered
};

// The keys of the keyboard with a skill, by key, judged against `targetMs`.
std::map<std::string, KeyConfidence> ConfidenceByKey(const std::map<std::string, KeySkill>& skills, double targetMs);

// The characters a key gathers ("A" and "a" for the key A, "7" for 7), in that order; none for
// a character of no key.
std::vector<std::string> CharactersOfKey(const std::string& key);

std::vector<KeyStat> WeakestKeys(const std::map<std::string, KeyStat>& keys, std::size_t count = 5,
                                 int minLaunches = kMinLaunchesToJudge);

} // namespace keyfall::records
