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

double MeanAccuracy(const std::map<std::string, KeyStat>& keys)
{
    std::int64_t hits = 0;
    std::int64_t events = 0;
    for (const auto& [key, stat] : keys) {
        hits += stat.counts.hits;
        events += stat.Events();
    }
    return events > 0 ? static_cast<double>(hits) / static_cast<double>(events) : 0.0;
}

std::vector<KeyStat> WeakestKeys(const std::map<std::string, KeyStat>& keys, std::size_t count, int minLaunches)
{
    const double mean = MeanAccuracy(keys);
    std::vector<KeyStat> weak;
    for (const auto& [key, stat] : keys) {
        if (stat.counts.launched >= minLaunches && stat.accuracy < mean && stat.accuracy < 1.0)
            weak.push_back(stat);
    }
    std::sort(weak.begin(), weak.end(), [](const KeyStat& a, const KeyStat& b) {
        if (a.accuracy != b.accuracy)
            return a.accuracy < b.accuracy;
        if (a.reactionMs != b.reactionMs)
            return a.reactionMs > b.reactionMs;
        return a.key < b.key;
    });
    if (weak.size() > count)
        weak.resize(count);
    return weak;
}

} // namespace keyfall::records
