#include "records/KeyStats.h"

#include <algorithm>

namespace keyfall::records {
namespace {

// The key of the drawn keyboard that types `character`, or nothing.
std::optional<std::string> KeyOf(const std::string& character)
{
    if (character.size() != 1)
        return std::nullopt;
    const char c = character[0];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (!letter && !(c >= '0' && c <= '9'))
        return std::nullopt;
    return std::string(1, letter ? static_cast<char>(c & ~0x20) : c);
}

} // namespace

std::vector<std::string> CharactersOfKey(const std::string& key)
{
    if (!KeyOf(key))
        return {};
    const char c = key[0];
    if (c >= '0' && c <= '9')
        return {key};
    return {std::string(1, static_cast<char>(c & ~0x20)), std::string(1, static_cast<char>(c | 0x20))};
}

std::map<std::string, KeyConfidence> ConfidenceByKey(const std::map<std::string, KeySkill>& skills, double targetMs)
{
    std::map<std::string, KeyConfidence> keys;
    for (const auto& [character, skill] : skills) {
        const auto key = KeyOf(character);
        if (!key || skill.games == 0)
            continue;
        const double confidence = Confidence(skill, targetMs);
        const bool mastered = Mastered(skill, targetMs);
        const auto [found, first] = keys.try_emplace(*key);
        KeyConfidence& shown = found->second;
        if (first || confidence < shown.confidence || (confidence == shown.confidence && !mastered)) {
            const bool allMastered = first ? mastered : shown.mastered && mastered;
            shown = {*key, character, confidence, skill.Accuracy(), skill.smoothedMs, allMastered};
        } else {
            shown.mastered = shown.mastered && mastered;
        }
    }
    return keys;
}

std::map<std::string, KeyStat> ByKey(const std::map<std::string, KeyCounts>& characters)
{
    std::map<std::string, KeyStat> keys;
    for (const auto& [character, counts] : characters) {
        const auto found = KeyOf(character);
        if (!found)
            continue;
        const std::string& key = *found;
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
