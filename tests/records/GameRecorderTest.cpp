// The recorder listening to real games on the virtual clock: what it hands over must agree
// with the board.

#include "records/GameRecorder.h"
#include "game/CharacterSource.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>

#include <numeric>

namespace keyfall::records {
namespace {

class VirtualTime : public Clock {
public:
    explicit VirtualTime(const VirtualClock& clock) : m_clock(clock) {}
    std::string NowUtc() const override
    {
        return "2026-12-08T10:00:" + std::to_string(10 + m_clock.Now() / 1000 % 50) + "Z";
    }
    std::int64_t SteadyMs() const override { return m_clock.Now(); }

private:
    const VirtualClock& m_clock;
};

struct RecordedGame : test::Game {
    explicit RecordedGame(int rounds)
        : Game(5), time(clock), recorder("anna", time, [this](GameRecord g) { records.push_back(std::move(g)); })
    {
        store.Set("Rounds", "Max", std::to_string(rounds));
        store.Sync();
        Load();
        form.SetEvents(recorder);
    }
    // Types every falling character `afterMs` after its wave starts, with a stray key first.
    void Play(std::int64_t afterMs)
    {
        int waves = form.WavesLaunched();
        std::int64_t start = clock.Now();
        while (form.GameRunning) {
            clock.Advance(5);
            if (form.WavesLaunched() != waves) {
                waves = form.WavesLaunched();
                start = clock.Now();
            }
            if (clock.Now() - start == afterMs) {
                form.Form_KeyPress(U'#');
                TypeAllFalling();
            }
        }
    }

    VirtualTime time;
    GameRecorder recorder;
    std::vector<GameRecord> records;
};

// A clock a test sets by hand.
class ManualTime : public Clock {
public:
    std::string NowUtc() const override { return "2026-12-08T10:00:00Z"; }
    std::int64_t SteadyMs() const override { return ms; }
    std::int64_t ms = 0;
};

TEST(GameRecorder, AMissCountsAgainstTheKeyTypedAndTheLowestFallingOneAndAStageGoesWithTheGame)
{
    ManualTime time;
    std::vector<GameRecord> records;
    GameRecorder recorder("anna", time, [&](GameRecord r) { records.push_back(std::move(r)); });
    recorder.SetStage(StageGame{"Italian", 2, {"à", "ù"}});
    recorder.GameStarted(100, 1, KeySetStage + 2);
    recorder.Launched(0, "à");
    recorder.Missed("ò", "à");
    recorder.Missed("ò", "");
    recorder.SetStage(std::nullopt); // for the next games
    recorder.Landed(0, "à");
    recorder.GameEnded(-60, true);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].keys.at("ò").wrong, 2);
    EXPECT_EQ(records[0].keys.at("à").missedFor, 1);
    EXPECT_EQ(records[0].stage, (StageGame{"Italian", 2, {"à", "ù"}}));
}

TEST(GameRecorder, APausedGameCountsOnlyTheTimeItWasPlayed)
{
    ManualTime time;
    PausableClock played(time);
    std::vector<GameRecord> records;
    GameRecorder recorder("anna", played, [&](GameRecord r) { records.push_back(std::move(r)); });
    recorder.GameStarted(25, 1, 0);
    recorder.Launched(0, "A");
    time.ms = 200;
    played.SetPaused(true);
    played.SetPaused(true); // a second press of the key that pauses changes nothing
    time.ms = 5200;
    EXPECT_EQ(played.SteadyMs(), 200) << "the pause stops the time";
    played.SetPaused(false);
    played.SetPaused(false);
    time.ms = 5300;
    EXPECT_EQ(played.SteadyMs(), 300);
    recorder.Hit("A", 0, 1000.0f, 12);
    time.ms = 6300;
    recorder.RoundScored(1, 50);
    recorder.GameEnded(50, true);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].typingMs, 300) << "200 ms before the pause and 100 after it";
    EXPECT_EQ(records[0].durationMs, 1300);
}

TEST(GameRecorder, AFinishedGameIsHandedOverAsTheBoardShowedIt)
{
    RecordedGame g(8);
    g.form.optDifficulty_Click(2);
    g.clock.Advance(1000);
    g.form.cmdStart_Click();
    g.Play(300);
    ASSERT_EQ(g.records.size(), 1u);
    const GameRecord& r = g.records[0];
    EXPECT_EQ(r.player, "anna");
    EXPECT_EQ(r.startedAt, "2026-12-08T10:00:11Z");
    EXPECT_EQ(r.level, 25);
    EXPECT_EQ(r.rounds, 8);
    EXPECT_EQ(r.roundsPlayed, 8);
    EXPECT_EQ(r.keySet, 0);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.total, g.form.TotalScore);
    EXPECT_EQ(r.misses, 8);
    EXPECT_EQ(r.landed, 0);
    EXPECT_EQ(r.keys.at("#").wrong, 8);
    // Each stray "#" came while a wave fell: it counts against the lowest letter too.
    int missedFor = 0;
    for (const auto& [character, key] : r.keys)
        missedFor += key.missedFor;
    EXPECT_EQ(missedFor, 8);
    EXPECT_EQ(r.keys.at("#").missedFor, 0);
    EXPECT_FALSE(r.stage) << "a game off the course";
    EXPECT_EQ(r.durationMs, g.clock.Now() - 1000);
    EXPECT_EQ(r.typingMs, 8 * 300) << "only the falling counts, not the tally and the pauses";

    int launched = 0;
    int hits = 0;
    std::int64_t ticks = 0;
    for (const auto& [character, key] : r.keys) {
        launched += key.launched;
        hits += key.hits;
        ticks += key.reactionTicks;
        EXPECT_EQ(key.launched, key.hits + key.landed) << character;
    }
    EXPECT_EQ(hits, r.hits);
    EXPECT_EQ(launched, r.hits);
    EXPECT_EQ(ticks, static_cast<std::int64_t>(r.hits) * (300 / 25)) << "every hit 12 ticks of 25 ms after launch";
    EXPECT_DOUBLE_EQ(CharsPerMinute(r).value(), r.hits * 60000.0 / (8 * 300));
}

TEST(GameRecorder, AStoppedGameIsHandedOverUnfinishedAndAnAbandonedOneNever)
{
    RecordedGame g(8);
    g.form.cmdStart_Click();
    g.clock.Advance(400);
    g.form.Form_KeyPress(U'#');
    g.form.cmdStart_Click();
    ASSERT_EQ(g.records.size(), 1u);
    EXPECT_FALSE(g.records[0].finished);
    EXPECT_EQ(g.records[0].roundsPlayed, 0);
    EXPECT_EQ(g.records[0].misses, 1);
    EXPECT_EQ(g.records[0].typingMs, 400) << "the wave was falling when it was stopped";

    // Keys between games are no part of any game, and nothing leaks into the next one.
    g.form.Form_KeyPress(U'#');
    g.form.cmdStart_Click();
    g.form.cmdStart_Click();
    ASSERT_EQ(g.records.size(), 2u);
    EXPECT_EQ(g.records[1].misses, 0);
    EXPECT_EQ(g.records[1].hits + g.records[1].landed, 0);
    const int launched = std::accumulate(g.records[1].keys.begin(), g.records[1].keys.end(), 0,
                                         [](int n, const auto& k) { return n + k.second.launched; });
    EXPECT_GT(launched, 0);

    // ESCI in the middle of a game: the program ends and the game is never handed over.
    g.form.cmdStart_Click();
    g.clock.Advance(400);
    g.form.cmdExit_Click();
    g.clock.Advance(1000);
    EXPECT_EQ(g.records.size(), 2u);
}

TEST(GameRecorder, AccuracyCountsHitsAgainstEverythingThatHappened)
{
    EXPECT_DOUBLE_EQ(Accuracy(0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(Accuracy(9, 0, 1), 0.9);
    EXPECT_DOUBLE_EQ(Accuracy(6, 2, 0), 0.75);
}

TEST(GameRecorder, AGameInWhichNothingFellHasNoSpeed)
{
    GameRecord idle;
    idle.misses = 4; // keys typed, but no character ever fell
    idle.typingMs = 5000;
    EXPECT_FALSE(CharsPerMinute(idle));
    GameRecord oneLanding = idle;
    oneLanding.landed = 1;
    EXPECT_DOUBLE_EQ(CharsPerMinute(oneLanding).value(), 0.0);
    EXPECT_FALSE(CharsPerMinute(10, 0)) << "no falling time, no speed";
}

} // namespace
} // namespace keyfall::records
