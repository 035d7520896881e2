// What the game reports as changed after each handler: the window redraws exactly that, so a
// change left out here is a stale picture on screen, and one reported needlessly is a wasted
// frame.
#include "support/Doubles.h"

#include <gtest/gtest.h>

namespace keyfall {
namespace {

using test::Game;

// A loaded game with a hard wave under way, whose changes so far have been taken.
Game& Started(Game& game)
{
    game.Load();
    game.form.optDifficulty_Click(2);
    game.form.cmdStart_Click();
    game.form.TakeChanges();
    return game;
}

int FirstFalling(const FrmMain& form)
{
    for (int i = 0; i < kSlots; ++i) {
        if (form.lblLetter[i].Visible)
            return i;
    }
    return -1;
}

TEST(Changes, ANewWindowReportsEverythingOnceAndThenNothing)
{
    Game game;
    const ChangeSet first = game.form.TakeChanges();
    EXPECT_TRUE(first.letters.all());
    EXPECT_TRUE(first.layout && first.message && first.total && first.startCaption && first.cursors);
    EXPECT_FALSE(game.form.TakeChanges().Any());
}

TEST(Changes, ALetterTickReportsTheFallingLettersAndNothingElse)
{
    Game game;
    Started(game);
    std::bitset<kSlots> falling;
    for (std::size_t i = 0; i < kSlots; ++i)
        falling[i] = game.form.lblLetter[i].Visible;
    ASSERT_TRUE(falling.any());

    game.form.timerLetters_Timer();
    const ChangeSet tick = game.form.TakeChanges();
    EXPECT_EQ(tick.letters, falling);
    EXPECT_TRUE(tick.explosions.none() && tick.stars.none() && tick.scores.none());
    EXPECT_FALSE(tick.message || tick.press || tick.total || tick.startCaption || tick.layout);
}

TEST(Changes, NothingMovesNothingChanges)
{
    Game game;
    game.settings.HardLow = 0;
    game.settings.HardHigh = 0;
    SaveSettings(game.settings, game.store);
    Started(game);
    for (int tick = 0; tick < 5; ++tick)
        game.form.timerLetters_Timer();
    EXPECT_FALSE(game.form.TakeChanges().Any()) << "letters at speed 0 need no redraw";

    // Outside a game the letter timer keeps ticking over an empty field.
    Game idle;
    idle.Load();
    idle.form.TakeChanges();
    idle.clock.Advance(2000);
    EXPECT_FALSE(idle.form.TakeChanges().Any());
}

TEST(Changes, AHitReportsTheLetterAndItsStarAMissTheTotal)
{
    Game game;
    Started(game);
    const int slot = FirstFalling(game.form);
    ASSERT_GE(slot, 0);
    const std::string caption = game.form.lblLetter[slot].Caption;
    game.form.Form_KeyPress(static_cast<unsigned char>(caption[0]));
    const ChangeSet hit = game.form.TakeChanges();
    EXPECT_TRUE(hit.letters[static_cast<std::size_t>(slot)]);
    EXPECT_TRUE(hit.stars[static_cast<std::size_t>(slot)]);
    EXPECT_FALSE(hit.total) << "a hit leaves the total alone until the tally";

    game.form.Form_KeyPress(U'#');
    const ChangeSet miss = game.form.TakeChanges();
    EXPECT_TRUE(miss.total);
    EXPECT_TRUE(miss.letters.none() && miss.stars.none());
}

TEST(Changes, RestatedValuesAreNotReported)
{
    Game game;
    Started(game);

    // The echo of a held key: the first press shows it, the auto-repeats restate it.
    game.form.Form_KeyDown(75, 0);
    EXPECT_TRUE(game.form.TakeChanges().press);
    game.form.Form_KeyDown(75, 0);
    EXPECT_FALSE(game.form.TakeChanges().press);
    game.form.Form_KeyUp(75, 0);
    EXPECT_TRUE(game.form.TakeChanges().press);
    game.form.Form_KeyUp(75, 0);
    EXPECT_FALSE(game.form.TakeChanges().press);

    // Every mouse move over a button asks for the open hand; only the first one is news.
    game.form.cmdExit_MouseMove();
    EXPECT_TRUE(game.form.TakeChanges().cursors);
    game.form.cmdExit_MouseMove();
    EXPECT_FALSE(game.form.TakeChanges().cursors);
    game.form.cmdExit_MouseDown();
    EXPECT_TRUE(game.form.TakeChanges().cursors);

    // Activation shows the panel that is already shown.
    game.form.Form_Activate();
    EXPECT_FALSE(game.form.TakeChanges().panel);
}

TEST(Changes, LandingTallyAndPauseReportEachControlTheyTouch)
{
    Game game;
    game.settings.HardLow = 3000;
    game.settings.HardHigh = 3000;
    game.settings.MaxRounds = 2;
    SaveSettings(game.settings, game.store);
    Started(game);
    const int slot = FirstFalling(game.form);
    const auto s = static_cast<std::size_t>(slot);

    game.clock.AdvanceUntil([&] { return game.form.Explode[s].Visible; }, 1000);
    ChangeSet landed = game.form.TakeChanges();
    EXPECT_TRUE(landed.explosions[s] && landed.letters[s]);

    game.clock.AdvanceUntil([&] { return game.form.Score[s].Visible; }, 20000);
    ChangeSet tallied = game.form.TakeChanges();
    EXPECT_TRUE(tallied.scores[s] && tallied.explosions[s]);

    game.clock.AdvanceUntil([&] { return game.form.lblMessage.Visible; }, 20000);
    ChangeSet pause = game.form.TakeChanges();
    EXPECT_TRUE(pause.total) << "the round's points reach the total";
    EXPECT_TRUE(pause.message);
    EXPECT_TRUE(pause.scores[s]);
}

TEST(Changes, ANewExplosionFrameIsReportedTheSameFrameIsNot)
{
    Game game;
    Started(game);
    const auto s = static_cast<std::size_t>(FirstFalling(game.form));
    game.form.Explode[s].Visible = true;
    game.form.Explode[s].Picture = FirstExplosionFrame;
    int changed = 0;
    for (int tick = 0; tick < 60; ++tick) {
        const int before = game.form.Explode[s].Picture;
        game.form.TakeChanges();
        game.form.TimerEsplosione_Timer();
        const bool isNew = game.form.Explode[s].Picture != before;
        const bool marked = game.form.TakeChanges().explosions[s];
        EXPECT_EQ(marked, isNew) << "tick " << tick;
        changed += isNew ? 1 : 0;
    }
    EXPECT_GT(changed, 0);
}

} // namespace
} // namespace keyfall
