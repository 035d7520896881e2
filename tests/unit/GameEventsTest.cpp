// What the game tells its listeners: whole games on the virtual clock, checked event by
// event against what happened on the board.

#include "support/Doubles.h"

#include <gtest/gtest.h>

#include <map>

namespace keyfall {
namespace {

using test::Game;
using Ev = test::RecordingEvents;

struct EventGame : Game {
    explicit EventGame(int rounds, std::uint64_t seed = 3) : Game(seed)
    {
        store.Set("Rounds", "Max", std::to_string(rounds));
        store.Sync();
        Load();
    }
    // Plays until the game is over, typing every falling character `typeAfterMs` after its
    // wave starts (never, if negative) and `extraKey` once per wave.
    void Play(std::int64_t typeAfterMs, char32_t extraKey = 0)
    {
        int waves = form.WavesLaunched();
        std::int64_t waveStart = clock.Now();
        bool typed = false;
        while (form.GameRunning && clock.Now() < std::int64_t{20} * 60 * 1000) {
            clock.Advance(5);
            if (form.WavesLaunched() != waves) {
                waves = form.WavesLaunched();
                waveStart = clock.Now();
                typed = false;
            }
            if (!typed && typeAfterMs >= 0 && clock.Now() - waveStart >= typeAfterMs) {
                typed = true;
                if (extraKey != 0)
                    form.Form_KeyPress(extraKey);
                TypeAllFalling();
            }
        }
    }
    const std::vector<Ev::Event>& Log() const { return events.events; }
};

// Every launched character ends exactly once, as a hit or a landing, in its own slot and
// with its own character; nothing ends that was not launched.
void ExpectEveryLaunchEndsOnce(const std::vector<Ev::Event>& log)
{
    std::map<int, std::string> falling;
    for (const auto& e : log) {
        if (e.kind == Ev::Launch) {
            EXPECT_FALSE(falling.count(e.slot)) << "slot " << e.slot << " launched twice";
            falling[e.slot] = e.character;
        } else if (e.kind == Ev::Hit_ || e.kind == Ev::Landing) {
            ASSERT_TRUE(falling.count(e.slot)) << "slot " << e.slot << " ended without a launch";
            EXPECT_EQ(falling[e.slot], e.character);
            falling.erase(e.slot);
        } else if (e.kind == Ev::Round) {
            EXPECT_TRUE(falling.empty()) << "a round was scored with characters still falling";
        }
    }
    EXPECT_TRUE(falling.empty());
}

TEST(GameEvents, AFinishedGameReportsItsCourseAndItsTotal)
{
    EventGame g(8);
    g.form.optDifficulty_Click(2);
    g.form.cmdStart_Click();
    g.Play(300, U'#');
    ASSERT_FALSE(g.form.GameRunning);

    const auto& log = g.Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().kind, Ev::Started);
    EXPECT_EQ(log.front().level, kHard);
    EXPECT_EQ(log.front().rounds, 8);
    EXPECT_EQ(log.front().keySet, KeyUpper);
    EXPECT_EQ(log.back().kind, Ev::Ended);
    EXPECT_TRUE(log.back().finished);
    EXPECT_EQ(log.back().total, g.form.TotalScore);
    EXPECT_EQ(g.events.Count(Ev::Started), 1);
    EXPECT_EQ(g.events.Count(Ev::Ended), 1);
    ExpectEveryLaunchEndsOnce(log);

    // The rounds come in order, and with the misses they make up the total.
    int expectedRound = 1;
    int total = 0;
    for (const auto& e : log) {
        if (e.kind == Ev::Round) {
            EXPECT_EQ(e.round, expectedRound++);
            total += e.points;
        } else if (e.kind == Ev::Miss) {
            EXPECT_EQ(e.character, "#");
            total -= kMissPenalty;
        }
    }
    EXPECT_EQ(expectedRound, 9);
    EXPECT_EQ(g.events.Count(Ev::Miss), 8) << "one stray key per wave";
    EXPECT_EQ(total, g.form.TotalScore);
}

TEST(GameEvents, AHitTellsWhereAndHowLongAfterItsLaunch)
{
    EventGame g(1);
    g.form.cmdStart_Click();
    std::map<int, std::int16_t> speed;
    for (int i = 0; i < kSlots; ++i)
        speed[i] = g.form.FallSpeed[i];
    // Medium: a tick every 50 ms, so 400 ms are 8 ticks for every letter.
    g.clock.Advance(400);
    g.TypeAllFalling();

    int hits = 0;
    for (const auto& e : g.Log()) {
        if (e.kind != Ev::Hit_)
            continue;
        ++hits;
        EXPECT_EQ(e.ticks, 8);
        EXPECT_FLOAT_EQ(e.height, 8.0f * static_cast<float>(speed[e.slot]));
        EXPECT_TRUE(g.form.Star[e.slot].Visible);
        EXPECT_FLOAT_EQ(g.form.Star[e.slot].Top, e.height);
    }
    EXPECT_EQ(hits, g.events.Count(Ev::Launch));
    EXPECT_GT(hits, 0);
}

TEST(GameEvents, TicksCountFromEachWavesOwnLaunch)
{
    EventGame g(2);
    g.form.cmdStart_Click();
    g.Play(250);
    std::vector<int> ticks;
    for (const auto& e : g.Log()) {
        if (e.kind == Ev::Hit_)
            ticks.push_back(e.ticks);
    }
    ASSERT_FALSE(ticks.empty());
    // The second wave's letters are timed from their own launch, not from the first wave's.
    for (int t : ticks)
        EXPECT_EQ(t, 5);
}

TEST(GameEvents, LettersLeftToFallAllLand)
{
    EventGame g(1);
    g.form.cmdStart_Click();
    g.Play(-1);
    EXPECT_EQ(g.events.Count(Ev::Hit_), 0);
    EXPECT_EQ(g.events.Count(Ev::Landing), g.events.Count(Ev::Launch));
    ExpectEveryLaunchEndsOnce(g.Log());
    EXPECT_EQ(g.Log().back().kind, Ev::Ended);
    EXPECT_EQ(g.Log().back().total, -10 * g.events.Count(Ev::Landing));
}

TEST(GameEvents, AStopEndsTheGameUnfinishedAndAQuitEndsNothing)
{
    EventGame g(8);
    g.form.cmdStart_Click();
    g.clock.Advance(200);
    g.form.Form_KeyPress(U'#');
    g.form.cmdStart_Click();
    ASSERT_EQ(g.Log().back().kind, Ev::Ended);
    EXPECT_FALSE(g.Log().back().finished);
    EXPECT_EQ(g.Log().back().total, -30);

    // A second game, left with ESCI: no end is reported, whatever happens after.
    g.form.cmdStart_Click();
    const std::size_t before = g.Log().size();
    g.form.cmdExit_Click();
    EXPECT_EQ(g.host.quitCalls, 1);
    EXPECT_EQ(g.events.Count(Ev::Ended), 1);
    EXPECT_EQ(g.Log().size(), before);
}

TEST(GameEvents, TheKeySetIsTheFirstOneChosen)
{
    EventGame g(1);
    g.store.Set("Selezione", "MaiuMinu", "True"); // the digits, under its crossed name
    g.store.Set("Selezione", "Maiu", "False");
    g.store.Sync();
    g.form.cmdStart_Click();
    ASSERT_EQ(g.Log().front().kind, Ev::Started);
    EXPECT_EQ(g.Log().front().keySet, KeyDigits);
    for (const auto& e : g.Log()) {
        if (e.kind == Ev::Launch) {
            EXPECT_TRUE(e.character >= "0" && e.character <= "9") << e.character;
        }
    }
}

TEST(GameEvents, TicksPassedWhileNothingMovedTimeTheHitsAsTicksRunWould)
{
    EventGame g(1);
    g.store.Set("FallRates", "MedLow", "0");
    g.store.Set("FallRates", "MedHigh", "0");
    g.store.Sync();
    g.Load();
    g.form.cmdStart_Click();
    ASSERT_TRUE(g.form.LettersShown());
    EXPECT_FALSE(g.form.LettersMoving());
    g.form.LetterTicksPassed(37);
    g.form.LetterTicksPassed(-5); // nothing: ticks never run backwards
    g.TypeAllFalling();
    int hits = 0;
    for (const auto& e : g.Log()) {
        if (e.kind == Ev::Hit_) {
            ++hits;
            EXPECT_EQ(e.ticks, 37);
            EXPECT_EQ(e.height, 0.0f);
        }
    }
    EXPECT_GT(hits, 0);
}

} // namespace
} // namespace keyfall
