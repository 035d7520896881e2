// The course built from the keyboard, and the weighted draw that launches its stages and the
// weak keys: which keys each stage adds, and that the draw keeps to its weights and its set.

#include "teach/Course.h"
#include "teach/Training.h"

#include "support/Doubles.h"
#include "teach/Layouts.h"
#include "teach/Utf8.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>

namespace keyfall::teach {
namespace {

using test::Compiled;

std::vector<std::string> Names(const Course& course)
{
    std::vector<std::string> names;
    for (const Stage& stage : course.Stages())
        names.push_back(stage.name);
    return names;
}

TEST(Course, TheItalianBoardLeadsFromTheHomeRowOutwards)
{
    const Keymap it = Compiled("it");
    const Course course(it);
    EXPECT_EQ(course.Name(), "Italian");
    EXPECT_EQ(Names(course),
              (std::vector<std::string>{"a s d f j k l ò", "g h", "à ù", "r u", "e i", "w o", "q p", "t y", "è é ç",
                                        "< z x c v b", "n m , . -", "maiuscole", "cifre", "\\ ' ì +"}));
    EXPECT_EQ(Utf8(course.Stages()[11].keys), "ASDFJKLGHRUEIWOQPTYZXCVBNM");
    EXPECT_EQ(Utf8(course.CharactersUpTo(1)), "asdfjklògh");
}

TEST(Course, AnotherKeyboardGivesItsOwnCourseFromTheSameRules)
{
    const Keymap us = Compiled("us");
    const Course course(us);
    const auto names = Names(course);
    ASSERT_GE(names.size(), 8u);
    EXPECT_EQ(names[0], "a s d f j k l ;");
    EXPECT_EQ(names[1], "g h");
    EXPECT_EQ(names[2], "' \\") << "pc105 is an ISO board: its backslash ends the home row";
    EXPECT_EQ(names[3], "r u");
    EXPECT_EQ(std::count(names.begin(), names.end(), "maiuscole"), 1);

    // On every board: each character once, every one typeable, the home keys first.
    for (const char* layout : {"it", "us", "de", "fr"}) {
        SCOPED_TRACE(layout);
        const Keymap keymap = Compiled(layout);
        const Course each(keymap);
        const std::u32string all = each.Characters();
        EXPECT_EQ(std::set<char32_t>(all.begin(), all.end()).size(), all.size());
        for (char32_t c : all)
            EXPECT_TRUE(keymap.CanType(c)) << Utf8(c);
        for (char32_t c : each.Stages()[0].keys)
            EXPECT_TRUE(keymap.StrokeFor(c)->key->home) << Utf8(c);
        EXPECT_EQ(all.find(U' '), std::u32string::npos) << "white space never falls";
    }
}

// Draws `waves` waves of `letters` letters and counts each character.
std::map<std::string, int> DrawWaves(WeightedDraw& draw, Random& random, int waves, int letters,
                                     int* wavesAllOneKey = nullptr)
{
    std::map<std::string, int> drawn;
    for (int wave = 0; wave < waves; ++wave) {
        draw.WaveStarts(letters);
        std::set<std::string> inWave;
        for (int slot = 0; slot < letters; ++slot) {
            const std::string c = draw.Draw(random, slot);
            ++drawn[c];
            inWave.insert(c);
        }
        if (wavesAllOneKey && inWave.size() == 1)
            ++*wavesAllOneKey;
    }
    return drawn;
}

TEST(WeightedDraw, TheFocusKeyTakesItsShareAndTheOthersFollowTheirWeights)
{
    WeightedDraw::Options options;
    options.characters = U"asdè";
    options.weights = {1, 1, 2, 1};
    options.focus = 3;
    WeightedDraw draw(options);
    EXPECT_EQ(draw.Focus(), "è");
    Random random(2026);
    constexpr int kWaves = 5000;
    int allOneKey = 0;
    const auto drawn = DrawWaves(draw, random, kWaves, kSlots, &allOneKey);
    constexpr double kLetters = kWaves * kSlots;
    EXPECT_EQ(drawn.size(), 4u) << "every included key is drawn, and nothing else";
    EXPECT_NEAR(drawn.at("è") / kLetters, 1.0 / 3, 0.01);
    // The other two thirds by weight: d twice as often as a or s.
    EXPECT_NEAR(drawn.at("a") / kLetters, 2.0 / 3 / 4, 0.01);
    EXPECT_NEAR(drawn.at("s") / kLetters, 2.0 / 3 / 4, 0.01);
    EXPECT_NEAR(drawn.at("d") / kLetters, 2.0 / 3 / 2, 0.01);
    EXPECT_EQ(allOneKey, 0);

    // The same seed replays the same letters.
    WeightedDraw again(options);
    Random same(2026);
    EXPECT_EQ(DrawWaves(again, same, kWaves, kSlots), drawn);
}

TEST(WeightedDraw, AWaveIsNeverAllOneKeyEvenWhenOneKeyTakesNearlyEverything)
{
    WeightedDraw::Options options;
    options.characters = U"èa";
    options.weights = {1, 1};
    options.focus = 0;
    options.focusShare = 0.999;
    WeightedDraw draw(options);
    Random random(5);
    for (int letters : {2, 3, 18}) {
        int allOneKey = 0;
        DrawWaves(draw, random, 2000, letters, &allOneKey);
        EXPECT_EQ(allOneKey, 0) << letters << " letters";
    }
    // One character alone is all there is to draw.
    WeightedDraw::Options single;
    single.characters = U"è";
    single.weights = {1};
    WeightedDraw alone(single);
    EXPECT_EQ(DrawWaves(alone, random, 10, kSlots).at("è"), 10 * kSlots);
}

TEST(WeightedDraw, RefusesWhatCannotBeDrawnAndKeepsToTheLevelsSpeeds)
{
    WeightedDraw::Options bad;
    EXPECT_THROW(WeightedDraw{bad}, std::invalid_argument);
    bad.characters = U"ab";
    bad.weights = {1};
    EXPECT_THROW(WeightedDraw{bad}, std::invalid_argument);
    bad.weights = {1, 0};
    EXPECT_THROW(WeightedDraw{bad}, std::invalid_argument);
    bad.weights = {1, 1};
    bad.focus = 2;
    EXPECT_THROW(WeightedDraw{bad}, std::invalid_argument);

    WeightedDraw::Options slow;
    slow.characters = U"a";
    slow.weights = {1};
    slow.pace = 0;
    EXPECT_EQ(WeightedDraw(slow).FallRange(20, 100), (std::pair<std::int16_t, std::int16_t>{20, 40}));
    slow.pace = 1;
    EXPECT_EQ(WeightedDraw(slow).FallRange(20, 100), (std::pair<std::int16_t, std::int16_t>{20, 100}));
    EXPECT_EQ(WeightedDraw(slow).FallRange(90, 30), (std::pair<std::int16_t, std::int16_t>{90, 30}))
        << "bounds edited by hand are the game's to keep in range";
}

TEST(WeightedDraw, AStageGameLaunchesOnlyItsKeysWithTheNewOnesAsOftenAsAllTheOld)
{
    const Keymap it = Compiled("it");
    const Course course(it);
    WeightedDraw stage(StageDraw(course, 1, 0.5));
    EXPECT_EQ(stage.KeySet(), KeySetStage + 1);
    Random random(9);
    const auto drawn = DrawWaves(stage, random, 4000, 9);
    EXPECT_EQ(drawn.size(), 10u);
    const double all = 4000 * 9;
    EXPECT_NEAR((drawn.at("g") + drawn.at("h")) / all, 0.5, 0.015);

    // A whole game on stage 1 through the core's seam: home-row characters only.
    test::Game game(11);
    game.Load();
    WeightedDraw first(StageDraw(course, 0, 0));
    game.form.SetCharacters(&first);
    game.form.optDifficulty_Click(2);
    for (int wave = 0; wave < 20 && !HasFatalFailure(); ++wave) {
        game.form.cmdStart_Click();
        for (const Label& letter : game.form.lblLetter) {
            if (letter.Visible) {
                EXPECT_NE(Utf8(course.Stages()[0].keys).find(letter.Caption), std::string::npos) << letter.Caption;
            }
        }
        game.form.cmdStart_Click(); // DA CAPO
    }
}

} // namespace
} // namespace keyfall::teach
