#include "support/Doubles.h"

#include <gtest/gtest.h>

namespace keyfall {
namespace {

using test::Game;

TEST(FormLoad, CentresFieldAndPanelOn1024x768)
{
    Game game;
    game.form.Label3.Height = 240;
    game.form.Label2.Height = 435;
    game.Load();
    const FrmMain& f = game.form;
    EXPECT_EQ(f.Width, 15360);
    EXPECT_EQ(f.Height, 11520);
    EXPECT_EQ(f.Picture2.Left, 2850);
    EXPECT_EQ(f.Picture2.Top, 2535);
    EXPECT_EQ(f.Picture1.Left, 2850);
    EXPECT_EQ(f.Picture1.Top, 8985);
    EXPECT_EQ(f.Label3.Top, 2295);
    EXPECT_EQ(f.Label2.Top, 1860);
    EXPECT_EQ(f.Label3.Left, (15360 - f.Label3.Width) / 2);
    EXPECT_EQ(f.Picture2.Width, 9660) << "moves never resize";
}

TEST(FormLoad, SmallScreenGivesNegativePositionsUnclamped)
{
    Game game;
    game.host.screen = {9600, 7200};
    game.form.Label3.Height = 240;
    game.form.Label2.Height = 435;
    game.Load();
    EXPECT_EQ(game.form.Picture2.Left, -30);
    EXPECT_EQ(game.form.Picture2.Top, 375);
    EXPECT_EQ(game.form.Picture1.Left, -30);
    EXPECT_EQ(game.form.Picture1.Top, 6825);
    EXPECT_LT(game.form.Label2.Top, 0);
}

TEST(FormLoad, OddDifferenceKeepsHalfTwips)
{
    Game game;
    game.form.Label3.Width = 5235;
    game.Load();
    EXPECT_EQ(game.form.Label3.Left, 5062.5f);
}

TEST(FormLoad, LeavesAnEmptyFieldWithTheStartMessage)
{
    Game game;
    game.Load();
    const FrmMain& f = game.form;
    for (int i = 0; i < kSlots; ++i) {
        EXPECT_FALSE(f.lblLetter[i].Visible);
        EXPECT_FALSE(f.Explode[i].Visible);
        EXPECT_FALSE(f.Star[i].Visible);
        EXPECT_FALSE(f.Score[i].Visible);
        EXPECT_EQ(f.FallSpeed[i], 0);
    }
    EXPECT_TRUE(f.lblMessage.Visible);
    EXPECT_EQ(f.lblMessage.Caption, "Premi il pulsante VIA");
    EXPECT_TRUE(f.timerLetters.Running());
    EXPECT_EQ(f.timerLetters.Interval(), 100);
    EXPECT_FALSE(f.TimerEsplosione.Enabled());
    EXPECT_FALSE(f.TimerRound.Enabled());
    EXPECT_FALSE(f.timerScore.Enabled());
    EXPECT_TRUE(f.optDifficulty[1].Value);
    EXPECT_FALSE(f.optDifficulty[0].Value || f.optDifficulty[2].Value);
    EXPECT_FALSE(f.GameRunning);
    EXPECT_EQ(f.RoundNumber, 0);
    EXPECT_EQ(f.TotalScore, 0);
    EXPECT_EQ(game.settings.MaxRounds, 8) << "settings are loaded before the window shows";
    EXPECT_EQ(game.store.Writes(), 0);
}

TEST(FormLoad, LetterColumnsAndStarsSitWhereTheLayoutSays)
{
    Game game;
    const FrmMain& f = game.form;
    EXPECT_EQ(f.lblLetter[0].Left, 450);
    EXPECT_EQ(f.lblLetter[17].Left, 450 + 480 * 17);
    EXPECT_EQ(f.Explode[1].Left, 900);
    EXPECT_EQ(f.Explode[2].Left, 405 + 480 * 2);
    EXPECT_EQ(f.Score[5].Left, 510 + 480 * 5);
    EXPECT_EQ(f.Star[3].Left, 1845);
    EXPECT_EQ(f.Star[17].Left, 8565);
}

TEST(FormResize, CentresAgainOnTheNewSizeAndLeavesTheGameAlone)
{
    Game game;
    game.host.screen = {1920 * 15.0f, 1080 * 15.0f};
    game.form.Label3.Height = 240;
    game.form.Label2.Height = 435;
    game.Load();
    game.form.cmdStart_Click();
    game.clock.Advance(700);
    game.form.Form_KeyPress(U'#'); // a miss: the score moves away from 0
    const FrmMain& f = game.form;
    const auto letters = f.lblLetter;
    const auto speeds = f.FallSpeed;
    const auto score = f.TotalScore;
    const bool message = f.lblMessage.Visible;
    ASSERT_TRUE(f.GameRunning);
    ASSERT_GT(game.VisibleLetters(), 0);
    game.cues.played.clear();

    game.host.screen = {15360, 11520};
    game.form.Form_Resize();
    // The same positions as a start-up on 1024 x 768.
    EXPECT_EQ(f.Width, 15360);
    EXPECT_EQ(f.Height, 11520);
    EXPECT_EQ(f.Picture2.Left, 2850);
    EXPECT_EQ(f.Picture2.Top, 2535);
    EXPECT_EQ(f.Picture1.Left, 2850);
    EXPECT_EQ(f.Picture1.Top, 8985);
    EXPECT_EQ(f.Label3.Top, 2295);
    EXPECT_EQ(f.Label2.Top, 1860);
    EXPECT_EQ(f.Label2.Left, (15360 - f.Label2.Width) / 2);

    // Letters count from the field, so they fall on where they were.
    EXPECT_TRUE(f.GameRunning);
    EXPECT_EQ(f.TotalScore, score);
    EXPECT_EQ(f.lblMessage.Visible, message);
    EXPECT_EQ(f.FallSpeed, speeds);
    for (int i = 0; i < kSlots; ++i) {
        EXPECT_EQ(f.lblLetter[i].Visible, letters[i].Visible);
        EXPECT_EQ(f.lblLetter[i].Top, letters[i].Top);
        EXPECT_EQ(f.lblLetter[i].Caption, letters[i].Caption);
    }
    EXPECT_TRUE(game.cues.played.empty());
    EXPECT_EQ(game.store.Writes(), 0);
}

TEST(FormActivate, ShowsThePanelAgain)
{
    Game game;
    game.Load();
    game.form.cmdAdvanced_Click();
    EXPECT_FALSE(game.form.Picture1.Visible);
    EXPECT_EQ(game.host.optionsOpened, 1);
    game.form.Form_Activate();
    EXPECT_TRUE(game.form.Picture1.Visible);
}

TEST(CmdExit, QuitsWithoutSavingOrSound)
{
    Game game;
    game.Load();
    game.form.cmdStart_Click();
    game.clock.Advance(500);
    game.cues.played.clear();
    game.form.cmdExit_Click();
    EXPECT_EQ(game.host.quitCalls, 1);
    EXPECT_EQ(game.store.Writes(), 0);
    EXPECT_TRUE(game.cues.played.empty());
}

TEST(ScoreFormat, GroupsThousandsWithTheLocaleSeparator)
{
    EXPECT_EQ(FormatScore(0, "."), "");
    EXPECT_EQ(FormatScore(7, "."), "7");
    EXPECT_EQ(FormatScore(999, "."), "999");
    EXPECT_EQ(FormatScore(1234, "."), "1.234");
    EXPECT_EQ(FormatScore(1234, ","), "1,234");
    EXPECT_EQ(FormatScore(-30, "."), "-30");
    EXPECT_EQ(FormatScore(-1000, "."), "-1.000");
    EXPECT_EQ(FormatScore(32767, "\u202f"), "32\u202f767");
    EXPECT_EQ(FormatScore(-32768, "."), "-32.768");
}

} // namespace
} // namespace keyfall
