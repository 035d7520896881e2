#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>

namespace keyfall {
namespace {

using test::Game;
using ::testing::ElementsAre;

struct Falling {
    int slot;
    char ch;
    std::int16_t speed;
};

// A running game whose wave is exactly `letters`.
void Arrange(Game& game, std::initializer_list<Falling> letters)
{
    game.Load();
    game.form.cmdStart_Click();
    for (int i = 0; i < kSlots; ++i) {
        game.form.lblLetter[i].Visible = false;
        game.form.FallSpeed[i] = 0;
    }
    for (const Falling& f : letters) {
        game.form.lblLetter[f.slot].Visible = true;
        game.form.lblLetter[f.slot].Caption = std::string(1, f.ch);
        game.form.FallSpeed[f.slot] = f.speed;
    }
    game.cues.played.clear();
}

TEST(Falling, LandsOnTheTickAfterPassingTheBottomLimit)
{
    for (const std::int16_t speed : {std::int16_t{5}, std::int16_t{25}, std::int16_t{50}, std::int16_t{500}}) {
        Game game;
        Arrange(game, {{3, 'Q', speed}});
        const int landingTick = 6075 / speed + 1;
        for (int tick = 1; tick < landingTick; ++tick)
            game.form.timerLetters_Timer();
        ASSERT_TRUE(game.form.lblLetter[3].Visible) << "speed " << speed << " landed early";
        game.form.timerLetters_Timer();
        EXPECT_FALSE(game.form.lblLetter[3].Visible) << "speed " << speed;
        EXPECT_TRUE(game.form.Explode[3].Visible);
        EXPECT_EQ(game.form.Explode[3].Top, static_cast<float>(landingTick * speed));
        EXPECT_TRUE(game.form.TimerEsplosione.Enabled());
        EXPECT_TRUE(game.form.timerScore.Enabled()) << "the last landing ends the wave";
        EXPECT_THAT(game.cues.played, ElementsAre(Cue::Explode));
        EXPECT_EQ(game.form.TotalScore, 0) << "a landing costs nothing by itself";
    }
}

TEST(Falling, SpeedZeroStaysAtTheTop)
{
    Game game;
    Arrange(game, {{0, 'A', 0}});
    for (int tick = 0; tick < 5000; ++tick)
        game.form.timerLetters_Timer();
    EXPECT_TRUE(game.form.lblLetter[0].Visible);
    EXPECT_EQ(game.form.lblLetter[0].Top, 0);
}

TEST(Falling, TwoLandingsInOneTickEachExplodeAndOnlyTheLastEndsTheWave)
{
    Game game;
    Arrange(game, {{2, 'A', 100}, {9, 'B', 100}, {12, 'C', 1}});
    for (int tick = 0; tick < 61; ++tick)
        game.form.timerLetters_Timer();
    EXPECT_TRUE(game.form.Explode[2].Visible);
    EXPECT_TRUE(game.form.Explode[9].Visible);
    EXPECT_THAT(game.cues.played, ElementsAre(Cue::Explode, Cue::Explode));
    EXPECT_FALSE(game.form.timerScore.Enabled()) << "slot 12 is still falling";
    game.form.Form_KeyPress(U'C');
    EXPECT_TRUE(game.form.timerScore.Enabled());
}

TEST(Falling, WaveSizesFollowTheLevel)
{
    struct Level {
        int option;
        int fewest;
        int most;
    };
    for (const Level level : {Level{0, 2, 6}, Level{1, 6, 9}, Level{2, 9, 18}}) {
        int fewest = 99;
        int most = 0;
        for (std::uint64_t seed = 1; seed <= 400; ++seed) {
            Game game(seed);
            game.Load();
            game.form.optDifficulty_Click(static_cast<std::int16_t>(level.option));
            game.form.cmdStart_Click();
            fewest = std::min(fewest, game.VisibleLetters());
            most = std::max(most, game.VisibleLetters());
            for (int i = 0; i < kSlots; ++i) {
                if (!game.form.lblLetter[i].Visible)
                    continue;
                const auto [low, high] = level.option == 0   ? std::pair{5, 10}
                                         : level.option == 1 ? std::pair{15, 30}
                                                             : std::pair{35, 50};
                ASSERT_GE(game.form.FallSpeed[i], low);
                ASSERT_LE(game.form.FallSpeed[i], high);
                ASSERT_EQ(game.form.lblLetter[i].Top, 0);
            }
        }
        EXPECT_EQ(fewest, level.fewest) << "level " << level.option;
        EXPECT_EQ(most, level.most) << "level " << level.option;
    }
}

TEST(Falling, KeySetsChooseTheCharacters)
{
    const auto classOf = [](char c) {
        return std::isupper(static_cast<unsigned char>(c))   ? 'U'
               : std::islower(static_cast<unsigned char>(c)) ? 'L'
                                                             : 'D';
    };
    const std::array<std::string, 5> expectedClasses{"U", "L", "D", "LU", "DLU"};
    for (int set = 0; set < 5; ++set) {
        std::string seen;
        for (std::uint64_t seed = 1; seed <= 60; ++seed) {
            Game game(seed);
            game.Load();
            game.form.optDifficulty_Click(2);
            game.form.cmdStart_Click();
            game.settings.KeySet = {};
            game.settings.KeySet[static_cast<std::size_t>(set)] = true;
            game.form.SetLabelChars();
            for (const auto& letter : game.form.lblLetter) {
                if (!letter.Visible)
                    continue;
                ASSERT_EQ(letter.Caption.size(), 1u);
                ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(letter.Caption[0])));
                const char c = classOf(letter.Caption[0]);
                if (seen.find(c) == std::string::npos)
                    seen += c;
            }
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, expectedClasses[static_cast<std::size_t>(set)]) << "key set " << set;
    }
}

TEST(Falling, NoKeySetKeepsTheEarlierCharacters)
{
    Game game;
    Arrange(game, {{4, 'k', 10}, {5, '7', 10}});
    game.settings.KeySet = {};
    game.form.SetLabelChars();
    EXPECT_EQ(game.form.lblLetter[4].Caption, "k");
    EXPECT_EQ(game.form.lblLetter[5].Caption, "7");
}

TEST(Hits, OneKeyDestroysEveryFallingCopy)
{
    Game game;
    Arrange(game, {{1, 'R', 10}, {6, 'R', 20}, {8, 'S', 10}});
    game.form.timerLetters_Timer();
    game.form.Form_KeyPress(U'R');
    EXPECT_THAT(game.cues.played, ElementsAre(Cue::LaserFire, Cue::LaserFire));
    EXPECT_TRUE(game.form.Star[1].Visible);
    EXPECT_TRUE(game.form.Star[6].Visible);
    EXPECT_EQ(game.form.Star[1].Top, 10);
    EXPECT_EQ(game.form.Star[6].Top, 20);
    EXPECT_FALSE(game.form.lblLetter[1].Visible);
    EXPECT_EQ(game.form.lblLetter[1].Top, 0);
    EXPECT_TRUE(game.form.lblLetter[8].Visible);
    EXPECT_EQ(game.form.TotalScore, 0);
    EXPECT_FALSE(game.form.timerScore.Enabled());
}

TEST(Hits, CaseMattersAndAMissCostsThirty)
{
    Game game;
    Arrange(game, {{0, 'A', 10}});
    game.form.Form_KeyPress(U'a');
    EXPECT_TRUE(game.form.lblLetter[0].Visible);
    EXPECT_EQ(game.form.TotalScore, -30);
    EXPECT_EQ(game.form.lblTotal.Caption, "-30");
    EXPECT_THAT(game.cues.played, ElementsAre(Cue::Miss));
    game.form.Form_KeyPress(U' ');
    game.form.Form_KeyPress(U'\r');
    game.form.Form_KeyPress(U'\x1b');
    game.form.Form_KeyPress(U'\b');
    EXPECT_EQ(game.form.TotalScore, -150);
}

TEST(Hits, MissBackToZeroShowsNothing)
{
    Game game;
    Arrange(game, {{0, 'A', 10}});
    game.form.TotalScore = 30;
    game.form.Form_KeyPress(U'x');
    EXPECT_EQ(game.form.TotalScore, 0);
    EXPECT_EQ(game.form.lblTotal.Caption, "");
}

TEST(Hits, TheLandingMarkerNeverCostsOrHits)
{
    Game game;
    Arrange(game, {{0, 'A', 10}, {1, 'B', 10}});
    game.form.Form_KeyPress(U'"');
    EXPECT_TRUE(game.form.lblLetter[0].Visible);
    EXPECT_TRUE(game.form.lblLetter[1].Visible);
    EXPECT_EQ(game.form.TotalScore, 0);
    EXPECT_TRUE(game.cues.played.empty());
}

TEST(Hits, TheLastHitStartsTheTallyWithoutAMissCue)
{
    Game game;
    Arrange(game, {{0, 'A', 10}, {1, 'B', 10}});
    game.form.Form_KeyPress(U'A');
    EXPECT_FALSE(game.form.timerScore.Enabled());
    game.form.Form_KeyPress(U'B');
    EXPECT_TRUE(game.form.timerScore.Enabled());
    EXPECT_THAT(game.cues.played, ElementsAre(Cue::LaserFire, Cue::LaserFire));
}

TEST(Hits, TheLettersTimerMattersOnlyWhileALetterIsShown)
{
    Game game;
    game.Load();
    EXPECT_FALSE(game.form.LettersShown()) << "nothing falls before the first game";
    game.form.cmdStart_Click();
    EXPECT_TRUE(game.form.LettersShown());
    Arrange(game, {{4, 'A', 0}});
    EXPECT_TRUE(game.form.LettersShown()) << "a letter at rest still times the player's hit";
    game.form.Form_KeyPress(U'A');
    EXPECT_FALSE(game.form.LettersShown());
    Arrange(game, {{7, 'B', 500}});
    for (int tick = 0; tick < 20 && game.form.LettersShown(); ++tick)
        game.form.timerLetters_Timer();
    EXPECT_FALSE(game.form.LettersShown()) << "a landed letter is gone";
}

TEST(Hits, KeysWhileNothingFallsCostButStartNoTally)
{
    Game game;
    game.Load();
    game.form.Form_KeyPress(U'x');
    EXPECT_EQ(game.form.TotalScore, -30);
    EXPECT_FALSE(game.form.timerScore.Enabled()) << "no wave, no tally";
    game.clock.Advance(60000);
    EXPECT_EQ(game.VisibleLetters(), 0) << "no wave starts outside a game";
    EXPECT_EQ(game.form.WavesLaunched(), 0);
}

TEST(Hits, ScoreSaturatesAtTheSixteenBitEnds)
{
    Game game;
    Arrange(game, {{0, 'A', 10}});
    game.form.TotalScore = -32750;
    game.form.Form_KeyPress(U'z');
    EXPECT_EQ(game.form.TotalScore, -32768);
    game.form.Form_KeyPress(U'z');
    EXPECT_EQ(game.form.TotalScore, -32768);
    EXPECT_EQ(game.form.lblTotal.Caption, "-32.768");

    game.form.TotalScore = 32760;
    game.form.Form_KeyPress(U'A');
    game.form.timerScore_Timer();
    game.form.timerScore_Timer();
    EXPECT_EQ(game.form.TotalScore, 32767);
}

TEST(KeyEcho, ShowsTheHeldKeyDuringAGameOnly)
{
    Game game;
    game.Load();
    game.form.Form_KeyDown(65, 0);
    EXPECT_EQ(game.form.lblPress.Caption, "x") << "outside a game the echo stays as it was";
    game.form.cmdStart_Click();
    game.form.Form_KeyDown(65, 1);
    EXPECT_EQ(game.form.lblPress.Caption, "A");
    game.form.Form_KeyDown(16, 1);
    EXPECT_EQ(game.form.lblPress.Caption, "A") << "Shift leaves the echo alone";
    game.form.Form_KeyUp(16, 0);
    EXPECT_EQ(game.form.lblPress.Caption, "");
    game.form.Form_KeyDown(96, 0);
    EXPECT_EQ(game.form.lblPress.Caption, "`") << "keypad 0 echoes its key code";
    game.form.Form_KeyDown(105, 0);
    EXPECT_EQ(game.form.lblPress.Caption, "i");
    game.form.Form_KeyDown(186, 0);
    EXPECT_EQ(game.form.lblPress.Caption, "\u00ba");
}

// The round from the tally's own example: three hits, one landing.
void ArrangeTally(Game& game)
{
    Arrange(game, {{4, 'D', 0}, {2, 'B', 0}, {9, 'J', 0}, {7, 'H', 0}});
    game.form.lblLetter[4].Top = 150;
    game.form.lblLetter[2].Top = 3000;
    game.form.lblLetter[9].Top = 6000;
    game.form.lblLetter[7].Top = 6070;
    game.form.FallSpeed[7] = 10;
    game.form.Form_KeyPress(U'D');
    game.form.Form_KeyPress(U'B');
    game.form.Form_KeyPress(U'J');
    game.form.timerLetters_Timer();
    ASSERT_TRUE(game.form.timerScore.Enabled());
    game.cues.played.clear();
}

TEST(Tally, ConvertsStarsThenExplosionsOneTickEach)
{
    Game game;
    ArrangeTally(game);
    game.form.TotalScore = 100;
    FrmMain& f = game.form;
    f.timerScore_Timer();
    EXPECT_TRUE(f.Score[2].Visible);
    EXPECT_EQ(f.Score[2].Caption, "20");
    EXPECT_EQ(f.Score[2].Top, 3000);
    EXPECT_FALSE(f.Star[2].Visible);
    f.timerScore_Timer();
    EXPECT_EQ(f.Score[4].Caption, "39");
    f.timerScore_Timer();
    EXPECT_EQ(f.Score[9].Caption, "0");
    EXPECT_TRUE(f.Explode[7].Visible);
    f.timerScore_Timer();
    EXPECT_EQ(f.Score[7].Caption, "-10");
    EXPECT_EQ(f.Score[7].Top, 6080);
    EXPECT_FALSE(f.Explode[7].Visible);
    EXPECT_EQ(f.TotalScore, 100);
    f.timerScore_Timer();
    EXPECT_EQ(f.TotalScore, 149);
    EXPECT_EQ(f.lblTotal.Caption, "149");
    EXPECT_FALSE(f.timerScore.Enabled());
    EXPECT_FALSE(f.TimerEsplosione.Enabled());
    EXPECT_TRUE(f.TimerRound.Enabled());
    EXPECT_EQ(f.TimerRound.Interval(), 1000);
    EXPECT_THAT(game.cues.played, ElementsAre(Cue::Blip, Cue::Blip, Cue::Blip, Cue::Blip));
}

TEST(Tally, RunsOnTheScoreTimerEveryHalfSecond)
{
    Game game;
    ArrangeTally(game);
    game.clock.Advance(499);
    EXPECT_FALSE(game.form.Score[2].Visible);
    game.clock.Advance(1);
    EXPECT_TRUE(game.form.Score[2].Visible);
    game.clock.Advance(2000);
    EXPECT_EQ(game.form.TotalScore, 49);
    EXPECT_TRUE(game.form.TimerRound.Enabled());
}

TEST(Tally, HitAtTheTopIsFortyAndAtTheLimitNothing)
{
    Game game;
    Arrange(game, {{0, 'A', 0}, {1, 'B', 0}});
    game.form.lblLetter[1].Top = 6075;
    game.form.Form_KeyPress(U'A');
    game.form.Form_KeyPress(U'B');
    game.form.timerScore_Timer();
    game.form.timerScore_Timer();
    EXPECT_EQ(game.form.Score[0].Caption, "40");
    EXPECT_EQ(game.form.Score[1].Caption, "0");
    game.form.timerScore_Timer();
    EXPECT_EQ(game.form.TotalScore, 40);
}

TEST(Tally, AllLandedCostsTenEach)
{
    Game game;
    Arrange(game, {{0, 'A', 1000}, {5, 'B', 1000}, {17, 'C', 1000}});
    for (int tick = 0; tick < 7; ++tick)
        game.form.timerLetters_Timer();
    for (int step = 0; step < 4; ++step)
        game.form.timerScore_Timer();
    EXPECT_EQ(game.form.TotalScore, -30);
    EXPECT_EQ(game.form.lblTotal.Caption, "-30");
}

TEST(Explosions, EachVisibleExplosionGetsItsOwnFrame)
{
    Game game;
    game.Load();
    game.form.Explode[3].Visible = true;
    game.form.Explode[11].Visible = true;
    std::set<int> frames3;
    bool differed = false;
    for (int tick = 0; tick < 300; ++tick) {
        game.form.TimerEsplosione_Timer();
        const int a = game.form.Explode[3].Picture;
        const int b = game.form.Explode[11].Picture;
        ASSERT_GE(a, 101);
        ASSERT_LE(a, 115);
        ASSERT_GE(b, 101);
        ASSERT_LE(b, 115);
        frames3.insert(a);
        differed = differed || a != b;
    }
    EXPECT_EQ(frames3.size(), 15u) << "every frame comes up, 116 never";
    EXPECT_TRUE(differed);
    EXPECT_EQ(game.form.Explode[4].Picture, NoPicture) << "hidden images are left alone";
}

TEST(Explosions, ConvertedExplosionsStopChanging)
{
    Game game;
    ArrangeTally(game);
    game.form.TimerEsplosione_Timer();
    for (int step = 0; step < 4; ++step)
        game.form.timerScore_Timer();
    const int frame = game.form.Explode[7].Picture;
    game.form.TimerEsplosione_Timer();
    EXPECT_EQ(game.form.Explode[7].Picture, frame);
}

} // namespace
} // namespace keyfall
