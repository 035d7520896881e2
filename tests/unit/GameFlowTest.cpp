#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace keyfall {
namespace {

using test::Game;

struct Shown {
    std::int64_t at;
    std::string text;
    bool operator==(const Shown&) const = default;
};

// Plays whole games on the virtual clock. The player types every falling character
// `typeAfterMs` after its wave starts, or never.
struct Session {
    explicit Session(int rounds, std::int64_t typeAfterMs = 200, std::uint64_t seed = 1)
        : game(seed), typeAfter(typeAfterMs)
    {
        game.store.Set("Rounds", "Max", std::to_string(rounds));
        game.store.Sync();
        game.Load();
    }

    // Runs until the game is over, recording each message as it appears.
    void PlayToTheEnd(std::int64_t limitMs = std::int64_t{10} * 60 * 1000)
    {
        const std::int64_t end = game.clock.Now() + limitMs;
        int seenWaves = game.form.WavesLaunched();
        std::int64_t waveStart = game.clock.Now();
        std::string last = Message();
        while (game.form.GameRunning && game.clock.Now() < end) {
            game.clock.Advance(5);
            if (game.form.WavesLaunched() != seenWaves) {
                seenWaves = game.form.WavesLaunched();
                waveStart = game.clock.Now();
            }
            if (typeAfter >= 0 && game.clock.Now() - waveStart == typeAfter)
                game.TypeAllFalling();
            if (Message() != last) {
                last = Message();
                if (!last.empty())
                    shown.push_back({game.clock.Now(), last});
            }
        }
    }

    std::string Message() const { return game.form.lblMessage.Visible ? game.form.lblMessage.Caption : ""; }

    Game game;
    std::int64_t typeAfter;
    std::vector<Shown> shown;
};

std::vector<std::string> Texts(const std::vector<Shown>& shown)
{
    std::vector<std::string> texts;
    texts.reserve(shown.size());
    for (const auto& s : shown)
        texts.push_back(s.text);
    return texts;
}

TEST(GameFlow, EightRoundsShowEveryMessageInOrder)
{
    Session s(8);
    s.game.form.cmdStart_Click();
    EXPECT_EQ(s.game.form.cmdStart.Caption, "DA CAPO");
    EXPECT_EQ(s.game.form.lblTotal.Caption, "0");
    EXPECT_EQ(s.game.form.Difficulty, 50) << "Medio is selected from the start";
    EXPECT_EQ(s.game.host.focusPanelCalls, 1);
    s.PlayToTheEnd();

    std::vector<std::string> expected;
    for (int round = 1; round <= 7; ++round) {
        expected.push_back("Il giro " + std::to_string(round) + " è finito");
        expected.push_back(round < 7 ? "Inizia il giro " + std::to_string(round + 1) : "Inizia l'ultimo giro");
    }
    expected.emplace_back("La partita è finita");
    EXPECT_EQ(Texts(s.shown), expected);
    EXPECT_EQ(s.game.form.WavesLaunched(), 8);
    EXPECT_FALSE(s.game.form.GameRunning);
    EXPECT_EQ(s.game.form.cmdStart.Caption, "VIA");
    EXPECT_FALSE(s.game.form.TimerRound.Enabled());
    EXPECT_FALSE(s.game.form.timerScore.Enabled());
    EXPECT_GT(s.game.form.TotalScore, 0);
}

TEST(GameFlow, PauseStepsComeOneThreeAndOneSecondApart)
{
    Session s(3);
    s.game.form.cmdStart_Click();
    s.PlayToTheEnd();
    ASSERT_EQ(s.shown.size(), 5u);
    EXPECT_EQ(s.shown[1].at - s.shown[0].at, 3000) << "end of round to announcement";
    EXPECT_EQ(s.shown[3].at - s.shown[2].at, 3000);
    EXPECT_EQ(s.shown[2].text, "Il giro 2 è finito");
}

TEST(GameFlow, CuesFollowTheRound)
{
    Session s(2);
    s.game.form.cmdStart_Click();
    s.PlayToTheEnd();
    std::vector<Cue> pause;
    for (Cue cue : s.game.cues.played) {
        if (cue == Cue::Sound24 || cue == Cue::Sound25)
            pause.push_back(cue);
    }
    EXPECT_THAT(pause, ::testing::ElementsAre(Cue::Sound25, Cue::Sound24, Cue::Sound25));
    const auto count = [&](Cue c) { return std::count(s.game.cues.played.begin(), s.game.cues.played.end(), c); };
    EXPECT_EQ(count(Cue::Miss), 0);
    EXPECT_EQ(count(Cue::Explode), 0);
    EXPECT_EQ(count(Cue::LaserFire), count(Cue::Blip)) << "one blip per star";
}

TEST(GameFlow, OneRoundEndsAtOnceAndTwoRoundsAnnounceTheLast)
{
    Session one(1);
    one.game.form.cmdStart_Click();
    one.PlayToTheEnd();
    EXPECT_EQ(Texts(one.shown), std::vector<std::string>{"La partita è finita"});
    EXPECT_EQ(one.game.form.WavesLaunched(), 1);

    Session two(2);
    two.game.form.cmdStart_Click();
    two.PlayToTheEnd();
    EXPECT_EQ(Texts(two.shown),
              (std::vector<std::string>{"Il giro 1 è finito", "Inizia l'ultimo giro", "La partita è finita"}));
    EXPECT_EQ(two.game.form.WavesLaunched(), 2);
}

TEST(GameFlow, UntypedWavesLandAndCostTenPerCharacter)
{
    Session s(1, -1);
    s.game.form.optDifficulty_Click(2);
    s.game.form.cmdStart_Click();
    const int launched = s.game.VisibleLetters();
    s.PlayToTheEnd();
    EXPECT_EQ(s.game.form.TotalScore, -10 * launched);
    EXPECT_EQ(std::count(s.game.cues.played.begin(), s.game.cues.played.end(), Cue::Explode), launched);
}

// Fall rates the options window could never store, written into the file by hand: the draw
// keeps to the window's range, so letters still fall and land and the game ends; the stored
// texts stay as they are.
TEST(GameFlow, HandEditedFallRatesOutsideTheBarsStillEndTheGame)
{
    struct Case {
        const char* low;
        const char* high;
        std::int16_t slowest;
        std::int16_t fastest;
    };
    for (const Case c : {Case{"-40", "-20", 1, 1}, Case{"-32768", "32767", 1, 500}, Case{"600", "9000", 500, 500}}) {
        Session s(2, -1);
        s.game.store.Set("FallRates", "HardLow", c.low);
        s.game.store.Set("FallRates", "HardHigh", c.high);
        s.game.store.Sync();
        s.game.form.optDifficulty_Click(2);
        s.game.form.cmdStart_Click();
        for (int i = 0; i < kSlots; ++i) {
            if (!s.game.form.lblLetter[i].Visible)
                continue;
            EXPECT_GE(s.game.form.FallSpeed[i], c.slowest) << c.low << ".." << c.high;
            EXPECT_LE(s.game.form.FallSpeed[i], c.fastest) << c.low << ".." << c.high;
        }
        s.PlayToTheEnd(std::int64_t{60} * 60 * 1000);
        EXPECT_FALSE(s.game.form.GameRunning) << c.low << ".." << c.high;
        EXPECT_EQ(s.Message(), "La partita è finita");
        EXPECT_EQ(s.game.store.Get("FallRates", "HardLow", ""), c.low);
    }
}

// A stored 0 keeps its meaning: the letter waits at the top until it is typed.
TEST(GameFlow, StoredSpeedZeroWaitsAtTheTop)
{
    Session s(1, -1);
    s.game.store.Set("FallRates", "HardLow", "0");
    s.game.store.Set("FallRates", "HardHigh", "0");
    s.game.store.Sync();
    s.game.form.optDifficulty_Click(2);
    s.game.form.cmdStart_Click();
    s.game.clock.Advance(10000);
    for (int i = 0; i < kSlots; ++i) {
        if (s.game.form.lblLetter[i].Visible) {
            EXPECT_EQ(s.game.form.lblLetter[i].Top, 0);
        }
    }
    EXPECT_TRUE(s.game.form.GameRunning);
}

TEST(GameFlow, ASecondGameStartsAfresh)
{
    Session s(2);
    s.game.form.cmdStart_Click();
    s.PlayToTheEnd();
    s.shown.clear();
    s.game.form.cmdStart_Click();
    EXPECT_EQ(s.game.form.RoundNumber, 1);
    EXPECT_EQ(s.game.form.TotalScore, 0);
    s.game.form.Form_KeyPress(U'#');
    EXPECT_EQ(s.game.form.lblTotal.Caption, "-30");
    s.PlayToTheEnd();
    EXPECT_EQ(s.shown.front().text, "Il giro 1 è finito");
    EXPECT_EQ(s.game.form.WavesLaunched(), 4);
}

TEST(GameFlow, StopDuringAWaveClearsEverythingAndWaits)
{
    Session s(8);
    s.game.form.cmdStart_Click();
    s.game.clock.Advance(300);
    s.game.form.cmdStart_Click();
    EXPECT_FALSE(s.game.form.GameRunning);
    EXPECT_EQ(s.game.VisibleLetters(), 0);
    EXPECT_TRUE(s.game.form.lblMessage.Visible);
    EXPECT_EQ(s.game.form.lblMessage.Caption, "Premi il pulsante VIA");
    EXPECT_EQ(s.game.form.cmdStart.Caption, "VIA");
    s.game.form.Form_KeyPress(U'q');
    s.game.clock.Advance(60000);
    EXPECT_EQ(s.game.form.WavesLaunched(), 1) << "a key after a stop starts nothing";
    EXPECT_FALSE(s.game.form.timerScore.Enabled());
}

TEST(GameFlow, StopDuringTheTallyOrThePauseStopsIt)
{
    for (const std::int64_t stopAfter : {300, 2000, 4000}) {
        Session s(8);
        s.game.form.cmdStart_Click();
        s.game.clock.Advance(100);
        s.game.TypeAllFalling();
        s.game.clock.Advance(stopAfter);
        s.game.form.cmdStart_Click();
        EXPECT_EQ(s.game.form.RoundStep, 0);
        EXPECT_EQ(s.game.form.lblMessage.Caption, "Premi il pulsante VIA");
        const int waves = s.game.form.WavesLaunched();
        const std::int16_t total = s.game.form.TotalScore;
        s.game.clock.Advance(60000);
        EXPECT_EQ(s.game.form.WavesLaunched(), waves) << "stopped " << stopAfter << " ms into the tally";
        EXPECT_EQ(s.game.form.TotalScore, total);
        EXPECT_TRUE(s.game.form.timerLetters.Running());
        EXPECT_FALSE(s.game.form.timerScore.Enabled() || s.game.form.TimerRound.Enabled()
                     || s.game.form.TimerEsplosione.Enabled());
    }
}

TEST(GameFlow, AGameRestartedDuringThePauseWaitsOneSecondAfterItsFirstTally)
{
    Session s(8);
    s.game.form.cmdStart_Click();
    s.game.clock.Advance(100);
    s.game.TypeAllFalling();
    s.game.clock.AdvanceUntil([&] { return s.game.form.RoundStep == 1; }, 20000);
    s.game.form.cmdStart_Click(); // stopped while "Il giro 1 è finito" shows, 3 s before the announcement
    s.game.form.cmdStart_Click();
    s.game.clock.Advance(100);
    s.game.TypeAllFalling();
    ASSERT_TRUE(s.game.clock.AdvanceUntil([&] { return s.game.form.TimerRound.Enabled(); }, 20000));
    const std::int64_t tallied = s.game.clock.Now();
    ASSERT_TRUE(s.game.clock.AdvanceUntil([&] { return s.game.form.RoundStep == 1; }, 20000));
    EXPECT_EQ(s.game.clock.Now() - tallied, 1000);
}

TEST(GameFlow, KeysDuringThePauseCostButCountNothingTwice)
{
    Session s(8);
    s.game.form.cmdStart_Click();
    s.game.clock.Advance(100);
    s.game.TypeAllFalling();
    s.game.clock.AdvanceUntil([&] { return s.game.form.TimerRound.Enabled(); }, 20000);
    const std::int16_t afterTally = s.game.form.TotalScore;
    s.game.form.Form_KeyPress(U'#');
    s.game.form.Form_KeyPress(U'#');
    EXPECT_EQ(s.game.form.TotalScore, afterTally - 60);
    EXPECT_FALSE(s.game.form.timerScore.Enabled());
    s.game.clock.AdvanceUntil([&] { return s.game.form.WavesLaunched() == 2; }, 20000);
    EXPECT_EQ(s.game.form.TotalScore, afterTally - 60);
    EXPECT_EQ(s.game.form.RoundNumber, 2);
}

TEST(GameFlow, ANewLevelTakesEffectFromTheNextRound)
{
    Session s(8);
    s.game.form.cmdStart_Click();
    EXPECT_EQ(s.game.form.timerLetters.Interval(), 50);
    s.game.form.optDifficulty_Click(2);
    EXPECT_EQ(s.game.form.timerLetters.Interval(), 50) << "the falling wave keeps its pace";
    s.game.clock.Advance(100);
    s.game.TypeAllFalling();
    s.game.clock.AdvanceUntil([&] { return s.game.form.WavesLaunched() == 2; }, 20000);
    EXPECT_EQ(s.game.form.timerLetters.Interval(), 25);
    EXPECT_GE(s.game.VisibleLetters(), 9);
}

TEST(GameFlow, FewerRoundsAppliedMidGameEndItAtTheNextRoundEnd)
{
    Session s(8);
    s.game.form.cmdStart_Click();
    s.game.clock.Advance(100);
    s.game.TypeAllFalling();
    s.game.clock.AdvanceUntil([&] { return s.game.form.WavesLaunched() == 2; }, 20000);
    s.game.settings.MaxRounds = 2;
    s.PlayToTheEnd();
    EXPECT_EQ(s.game.form.WavesLaunched(), 2);
    EXPECT_EQ(s.shown.back().text, "La partita è finita");
}

TEST(GameFlow, OptionsOpenedDuringAWaveLeaveItFalling)
{
    Session s(8);
    s.game.form.cmdStart_Click();
    float topBefore = 0;
    float topAfter = 0;
    s.game.host.whileOptionsOpen = [&] {
        for (const auto& l : s.game.form.lblLetter)
            topBefore = std::max(topBefore, l.Visible ? l.Top : 0.0f);
        s.game.clock.Advance(1000);
        for (const auto& l : s.game.form.lblLetter)
            topAfter = std::max(topAfter, l.Visible ? l.Top : 0.0f);
    };
    s.game.form.cmdAdvanced_Click();
    EXPECT_GT(topAfter, topBefore);
    EXPECT_FALSE(s.game.form.Picture1.Visible);
}

TEST(GameFlow, StartReloadsTheStoredSettings)
{
    Session s(8);
    s.game.settings.KeySet = {false, false, true, false, false};
    s.game.form.cmdStart_Click();
    EXPECT_EQ(s.game.settings.KeySet, (std::array<bool, 5>{true, false, false, false, false}));
}

} // namespace
} // namespace keyfall
