#pragma once
// How well the player types each key, from the records: how often it is typed right and how
// fast, both weighted towards the latest games, and the confidence the course judges it by.
// A key is mastered when it is typed fast enough *and* right: a key typed fast but wrongly
// stays weak. Every threshold of the course is here, and docs/records.md explains them.

#include "records/Record.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace keyfall::records {

// The weight of the newest game in the smoothed values; each earlier game counts (1 − α)
// times less than the one after it.
inline constexpr double kSkillSmoothing = 0.1;
// A key is mastered at this confidence, this accuracy and this many hits (fewer hits say too
// little: one quick lucky hit is no skill).
inline constexpr double kMasteredConfidence = 1.0;
inline constexpr double kMasteredAccuracy = 0.95;
inline constexpr int kMinHitsToMaster = 10;
// At or below this accuracy a key's confidence is 0 however fast it is typed; from there up
// to kMasteredAccuracy the confidence grows in step with the accuracy.
inline constexpr double kAccuracyFloor = 0.5;
// The time from a character's launch to its hit that counts as fast enough: slow for a
// beginner (children among them), a step shorter with every stage passed, never below the
// last value.
inline constexpr double kFirstTargetMs = 3000;
inline constexpr double kTargetStep = 0.92;
inline constexpr double kFastestTargetMs = 1200;

struct KeySkill {
    int games = 0;    // games in which the key was launched or typed
    int launched = 0; // over all those games
    int hits = 0;
    int errors = 0; // landings, stray presses and misses meant for it, over all those games
    // Hits and errors, each game's counting (1 − α) less than the next one's.
    double hitWeight = 0;
    double errorWeight = 0;
    // Launch-to-hit time in ms, smoothed over the games with hits (α), and the best value the
    // smoothed time has had; none before the first hit.
    std::optional<double> smoothedMs;
    std::optional<double> bestMs;
    bool operator==(const KeySkill&) const = default;

    // The weighted share of hits among hits and errors, 0 to 1; 0 when nothing happened yet.
    double Accuracy() const;
};

// A key's counts in one game, folded into its skill. `levelMs` is the game's letter-timer
// interval (100, 50 or 25), which turns reaction ticks into milliseconds. A game in which
// nothing happened to the key changes nothing.
void Fold(KeySkill& skill, const KeyCounts& game, int levelMs);

// The target time after `stagesPassed` stages.
double TargetMs(int stagesPassed);
// How far the letters of the course may use the level's range of fall speeds, 0 to 1: 0 at
// the first target (the slow end only), 1 once the target is the fastest.
double FallPace(int stagesPassed);
// How far the accuracy lets the speed count: 0 at kAccuracyFloor and below, 1 at
// kMasteredAccuracy and above, in proportion between.
double AccuracyFactor(double accuracy);
// Target time over smoothed time, at most 1, times the accuracy factor: 0 before the first
// hit, 1 only for a key typed at the target time or faster with kMasteredAccuracy or better,
// so that speed never makes up for slips.
double Confidence(const KeySkill& skill, double targetMs);
bool Mastered(const KeySkill& skill, double targetMs);
// How much practice a key needs, for the weak-key draw: 2 for a key never typed or with
// confidence 0, falling to 0.5 at confidence 1.
double Weakness(const KeySkill* skill, double targetMs);

// Of `characters`, the one that most needs practice: the lowest confidence, then the lowest
// accuracy, then the slowest, then the first listed (so among keys all mastered the least
// sure still leads). A character with no skill yet counts as confidence 0.
// Empty when `characters` is.
std::string FocusKey(const std::vector<std::string>& characters, const std::map<std::string, KeySkill>& skills,
                     double targetMs);

} // namespace keyfall::records
