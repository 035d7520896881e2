#include "records/KeyStats.h"

#include <algorithm>

namespace keyfall::records {

std::map<std::string, KeyStat> ByKey(const std::map<std::string, KeyCounts>& characters)
{
    std::map<std::string, KeyStat> keys;
    for (const auto& [character, counts] : characters) {
        if (character.size() != 1)
            continue;
        const char c = character[0];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!letter && !(c >= '0' && c <= '9'))
            continue;
        const std::string key(1, letter ? static_cast<char>(c & ~0x20) : c);
        KeyStat& stat = keys[key];
        stat.key = key;
        stat.counts.launched += counts.launched;
        stat.counts.hits += counts.hits;
        stat.counts.landed += counts.landed;
        stat.counts.wrong += counts.wrong;
        stat.counts.reactionTicks += counts.reactionTicks;
        stat.counts.reactionMs += counts.reactionMs;
    }
    for (auto& [key, stat] : keys) {
        stat.accuracy = Accuracy(stat.counts.hits, stat.counts.landed, stat.counts.wrong);
        stat.reactionMs = stat.counts.hits > 0 ? static_cast<double>(stat.counts.reactionMs) / stat.counts.hits : 0.0;
    }
    return keys;
}

std::vector<KeyStat> WeakestKeys(const std::map<std::string, KeyStat>& keys, std::size_t count, int minEvents)
{
    std::vector<KeyStat> seen;
    std::vector<KeyStat> rare;
    for (const auto& [key, stat] : keys) {
        if (stat.Events() >= minEvents)
            seen.push_back(stat);
        else if (stat.Events() > 0)
            rare.push_back(stat);
    }
    const auto weaker = [](const KeyStat& a, const KeyStat& b) {
        if (a.accuracy != b.accuracy)
            return a.accuracy < b.accuracy;
        if (a.reactionMs != b.reactionMs)
            return a.reactionMs > b.reactionMs;
        return a.key < b.key;
    };
    std::sort(seen.begin(), seen.end(), weaker);
    std::sort(rare.begin(), rare.end(), weaker);
    seen.insert(seen.end(), rare.begin(), rare.end());
    if (seen.size() > count)
        seen.resize(count);
    return seen;
}

} // namespace keyfall::records
