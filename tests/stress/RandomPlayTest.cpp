// Randomized play: a million generated events per run, every step checked against the rules
// of the game, and a day of continuous play by a bot. KEYFALL_STRESS_EVENTS,
// KEYFALL_STRESS_SEED and KEYFALL_STRESS_HOURS scale and vary the runs (the sanitizer build
// plays fewer events).

#include "stress/Play.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace keyfall::stress {
namespace {

std::int64_t FromEnvironment(const char* name, std::int64_t fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoll(text, nullptr, 10) : fallback;
}

double HoursFromEnvironment()
{
    const char* text = std::getenv("KEYFALL_STRESS_HOURS");
    return text && *text ? std::strtod(text, nullptr) : 24.0;
}

std::string Report(const SessionResult& failed, const std::vector<Event>& shortest)
{
    return "seed " + std::to_string(failed.seed) + " broke \"" + failed.failure->rule + "\" at event "
           + std::to_string(failed.failure->eventIndex + 1) + "\n" + failed.failure->detail + "\nshortest sequence ("
           + std::to_string(shortest.size()) + " events, replayed on a fresh program with seed "
           + std::to_string(failed.seed) + "):\n" + Describe(shortest);
}

TEST(RandomPlay, EveryStepOfAMillionEventsKeepsTheRules)
{
    const std::int64_t total = FromEnvironment("KEYFALL_STRESS_EVENTS", 1'000'000);
    const auto firstSeed = static_cast<std::uint64_t>(FromEnvironment("KEYFALL_STRESS_SEED", 1));
    // Sessions of a bounded length keep a failure's replays cheap, and every session starts
    // the program afresh, as a player would.
    constexpr std::int64_t kSession = 20'000;
    Tally tally;
    for (std::uint64_t seed = firstSeed; tally.events < total; ++seed) {
        const SessionResult result = PlaySession(seed, std::min(kSession, total - tally.events));
        tally += result.tally;
        if (result.failure) {
            FAIL() << Report(result, Shrink(result));
        }
    }
    std::cout << "randomized play: " << tally.Summary() << '\n';
    // The generator must reach every part of the game, or the run proves little.
    EXPECT_GE(tally.events, total);
    EXPECT_GT(tally.gamesFinished, 0);
    EXPECT_GT(tally.gamesStopped, 0);
    EXPECT_GT(tally.hits, 0);
    EXPECT_GT(tally.landings, 0);
    EXPECT_GT(tally.misses, 0);
    EXPECT_GT(tally.applies, 0);
}

TEST(RandomPlay, ADayOfContinuousPlayKeepsTheRules)
{
    const double hours = HoursFromEnvironment();
    const DayResult day = PlayDay(static_cast<std::uint64_t>(FromEnvironment("KEYFALL_STRESS_SEED", 1)), hours);
    ASSERT_FALSE(day.failure) << "broke \"" << day.failure->rule << "\" after " << day.tally.simulatedMs / 1000
                              << " s\n"
                              << day.failure->detail << "\nthe game so far:\n"
                              << Describe(day.lastEvents);
    std::cout << "continuous play, " << hours << " h: " << day.tally.Summary() << '\n';
    EXPECT_GE(day.tally.simulatedMs, static_cast<std::int64_t>(hours * 3600 * 1000));
    EXPECT_GT(day.tally.gamesFinished, static_cast<std::int64_t>(hours * 10));
    EXPECT_GT(day.tally.applies, 0);
}

// The checker itself: each of these faults, planted into an otherwise sound game, must be
// caught by the rule named.
struct PlantedFault {
    const char* name;
    const char* rule;
    std::function<bool(FrmMain&)> plant; // true once it has done its damage
};

void PrintTo(const PlantedFault& fault, std::ostream* out)
{
    *out << fault.name;
}

std::function<void(FrmMain&)> Once(const std::function<bool(FrmMain&)>& plant)
{
    return [plant, done = false](FrmMain& form) mutable {
        if (!done)
            done = plant(form);
    };
}

class CheckerCatches : public testing::TestWithParam<PlantedFault> {};

TEST_P(CheckerCatches, PlantedFault)
{
    const PlantedFault& fault = GetParam();
    const SessionResult result = PlaySession(7, 200'000, Once(fault.plant));
    ASSERT_TRUE(result.failure) << "the fault was never noticed: " << result.tally.Summary();
    EXPECT_EQ(result.failure->rule, fault.rule) << result.failure->detail;
}

INSTANTIATE_TEST_SUITE_P(
    RandomPlay, CheckerCatches,
    testing::Values(PlantedFault{"StarOverExplosion", "a slot shows at most one of letter, star, explosion and score",
                                 [](FrmMain& f) {
                                     for (int i = 0; i < kSlots; ++i) {
                                         if (f.Explode[i].Visible) {
                                             f.Star[i].Visible = true;
                                             return true;
                                         }
                                     }
                                     return false;
                                 }},
                    PlantedFault{"LetterBelowTheBottom", "no visible letter lies below the bottom limit",
                                 [](FrmMain& f) {
                                     for (auto& letter : f.lblLetter) {
                                         if (letter.Visible && letter.Top > 3000) {
                                             letter.Top = kBottomLimit + 1;
                                             return true;
                                         }
                                     }
                                     return false;
                                 }},
                    PlantedFault{"ScoreOffByOne", "the score is what the hits, landings and misses made it",
                                 [](FrmMain& f) {
                                     if (f.RoundNumber < 3)
                                         return false;
                                     ++f.TotalScore;
                                     return true;
                                 }},
                    PlantedFault{"PauseTimerLeftRunning", "between games only the letter timer runs",
                                 [](FrmMain& f) {
                                     if (f.GameRunning || f.RoundNumber < 2)
                                         return false;
                                     f.TimerRound.SetEnabled(true);
                                     return true;
                                 }},
                    PlantedFault{"RoundBeyondTheGame", "the round number stays within the game",
                                 [](FrmMain& f) {
                                     if (!f.GameRunning || f.RoundStep != 2)
                                         return false;
                                     f.RoundNumber = static_cast<std::int16_t>(f.settings().MaxRounds + 1);
                                     return true;
                                 }},
                    PlantedFault{"TwoCharacterEcho", "the key echo shows the key held, or nothing",
                                 [](FrmMain& f) {
                                     if (f.lblPress.Caption.empty())
                                         return false;
                                     f.lblPress.Caption += "x";
                                     return true;
                                 }},
                    PlantedFault{"ScoreLabelDuringAWave", "score labels show only after a tally step",
                                 [](FrmMain& f) {
                                     for (int i = 0; i < kSlots; ++i) {
                                         if (f.WaveInPlay() && !f.lblLetter[i].Visible && !f.Star[i].Visible
                                             && !f.Explode[i].Visible) {
                                             f.Score[i].Visible = true;
                                             return true;
                                         }
                                     }
                                     return false;
                                 }},
                    PlantedFault{"LetterSkipsAhead", "a letter moves by its speed",
                                 [](FrmMain& f) {
                                     for (int i = 0; i < kSlots; ++i) {
                                         if (f.lblLetter[i].Visible && f.lblLetter[i].Top > 1000
                                             && f.FallSpeed[i] > 0) {
                                             f.lblLetter[i].Top += f.FallSpeed[i];
                                             return true;
                                         }
                                     }
                                     return false;
                                 }},
                    PlantedFault{"StarWorthTooMuch", "a star turns into its points at its height",
                                 [](FrmMain& f) {
                                     for (auto& score : f.Score) {
                                         if (score.Visible && score.Caption != "-10") {
                                             score.Caption = "41";
                                             return true;
                                         }
                                     }
                                     return false;
                                 }},
                    PlantedFault{"PauseStepSkipped", "the pause has steps 0 to 2 between events",
                                 [](FrmMain& f) {
                                     if (f.RoundStep != 2)
                                         return false;
                                     f.RoundStep = 3;
                                     return true;
                                 }}),
    [](const testing::TestParamInfo<PlantedFault>& info) { return std::string(info.param.name); });

TEST(RandomPlay, AFailureShrinksToAShortSequence)
{
    // A fault that needs a hard game in its second round: only a few of the thousands of
    // generated events matter.
    const auto plant = [] {
        return Once([](FrmMain& f) {
            if (f.Difficulty != kHard || f.RoundNumber < 2 || f.RoundStep != 2)
                return false;
            f.lblMessage.Visible = false;
            return true;
        });
    };
    const SessionResult result = PlaySession(11, 200'000, plant());
    ASSERT_TRUE(result.failure);
    ASSERT_GT(result.events.size(), 50u);
    const std::vector<Event> shortest = Shrink(result, plant());
    EXPECT_LE(shortest.size(), 12u) << Describe(shortest);
    const auto again = Replay(result.seed, result.separator, shortest, plant());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->rule, result.failure->rule);
    EXPECT_FALSE(Replay(result.seed, result.separator, shortest));
}

} // namespace
} // namespace keyfall::stress
