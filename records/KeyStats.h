#pragma once
// Each key of the keyboard as the statistics show it: a letter key gathers its upper- and
// lower-case characters (Shift is not what the player misses), a digit key its digit.

#include "records/Record.h"

#include <map>
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

// Up to `count` keys that most need practice: the least accurate first, the slower first
// among equals. Keys with fewer than `minEvents` events are considered only when there are
// not enough others.
std::vector<KeyStat> WeakestKeys(const std::map<std::string, KeyStat>& keys, std::size_t count = 5, int minEvents = 5);

} // namespace keyfall::records
