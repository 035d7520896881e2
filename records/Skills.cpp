#include "records/Skills.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace keyfall::records {

double KeySkill::Accuracy() const
{
    const double all = hitWeight + errorWeight;
    return all > 0 ? hitWeight / all : 0.0;
}

void Fold(KeySkill& skill, const KeyCounts& game, int levelMs)
{
    const int errors = game.landed + game.wrong + game.missedFor;
    if (game.launched == 0 && game.hits == 0 && errors == 0)
        return;
    ++skill.games;
    skill.launched += game.launched;
    skill.hits += game.hits;
    skill.errors += errors;
    constexpr double kKeep = 1.0 - kSkillSmoothing;
    skill.hitWeight = skill.hitWeight * kKeep + game.hits;
    skill.errorWeight = skill.errorWeight * kKeep + errors;
    if (game.hits > 0) {
        const double meanMs = static_cast<double>(game.reactionTicks) * levelMs / game.hits;
        skill.smoothedMs =
            skill.smoothedMs ? *skill.smoothedMs + kSkillSmoothing * (meanMs - *skill.smoothedMs) : meanMs;
        skill.bestMs = skill.bestMs ? std::min(*skill.bestMs, *skill.smoothedMs) : *skill.smoothedMs;
    }
}

double TargetMs(int stagesPassed)
{
    return std::max(kFastestTargetMs, kFirstTargetMs * std::pow(kTargetStep, std::max(0, stagesPassed)));
}

double FallPace(int stagesPassed)
{
    return (kFirstTargetMs - TargetMs(stagesPassed)) / (kFirstTargetMs - kFastestTargetMs);
}

double AccuracyFactor(double accuracy)
{
    return std::clamp((accuracy - kAccuracyFloor) / (kMasteredAccuracy - kAccuracyFloor), 0.0, 1.0);
}

double Confidence(const KeySkill& skill, double targetMs)
{
    if (!skill.smoothedMs)
        return 0;
    // A hit in the very tick of its launch takes no time at all: as fast as anything can be.
    const double ms = std::max(*skill.smoothedMs, 1.0);
    return std::min(targetMs / ms, 1.0) * AccuracyFactor(skill.Accuracy());
}

bool Mastered(const KeySkill& skill, double targetMs)
{
    return skill.hits >= kMinHitsToMaster && skill.Accuracy() >= kMasteredAccuracy
           && Confidence(skill, targetMs) >= kMasteredConfidence;
}

double Weakness(const KeySkill* skill, double targetMs)
{
    const double confidence = skill ? Confidence(*skill, targetMs) : 0.0;
    return 2.0 - 1.5 * confidence;
}

std::string FocusKey(const std::vector<std::string>& characters, const std::map<std::string, KeySkill>& skills,
                     double targetMs)
{
    std::string focus;
    // Ordered so that the smaller is the weaker: confidence, accuracy, then speed (negated time).
    std::tuple<double, double, double> weakest;
    for (const std::string& character : characters) {
        const auto found = skills.find(character);
        const KeySkill none;
        const KeySkill& skill = found == skills.end() ? none : found->second;
        const double time = skill.smoothedMs.value_or(std::numeric_limits<double>::infinity());
        const std::tuple<double, double, double> weakness{Confidence(skill, targetMs), skill.Accuracy(), -time};
        if (focus.empty() || weakness < weakest) {
            focus = character;
            weakest = weakness;
        }
    }
    return focus;
}

} // namespace keyfall::records
