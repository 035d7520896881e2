// Training sets: what each choice launches on a keyboard, how it is kept, and a game that
// draws its letters from one through the core's character seam.

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

TEST(Training, EveryChoiceIsKeptUnderItsOwnWordAndKeySet)
{
    std::set<int> keySets;
    for (Training kind : {Training::Specified, Training::Accented, Training::HomeRow, Training::TopRow,
                          Training::BottomRow, Training::Own, Training::Stage, Training::WeakKeys}) {
        EXPECT_EQ(TrainingNamed(StoredName(kind)), kind);
        EXPECT_FALSE(DisplayName(kind).empty());
        keySets.insert(KeySetOf(kind));
    }
    EXPECT_EQ(keySets.size(), 8u) << "the records keep each set apart";
    EXPECT_EQ(KeySetOf(Training::Specified), -1);
    EXPECT_GE(*std::next(keySets.begin()), 5) << "clear of the options window's 0..4";
    EXPECT_FALSE(TrainingNamed("Accentate"));
    EXPECT_FALSE(TrainingNamed(""));
}

TEST(Training, TheSetsOfAChoiceFollowTheKeyboard)
{
    const Keymap it = Compiled("it");
    const Keymap us = Compiled("us");
    EXPECT_EQ(Utf8(CharactersOf({Training::Accented, {}}, it).characters), "àèéìòù");
    const TrainingSet accentedOnUs = CharactersOf({Training::Accented, {}}, us);
    EXPECT_TRUE(accentedOnUs.characters.empty());
    EXPECT_NE(accentedOnUs.problem.find("lettere accentate"), std::string::npos) << accentedOnUs.problem;
    EXPECT_EQ(Utf8(CharactersOf({Training::HomeRow, {}}, it).characters), "asdfghjklòàù");
    EXPECT_EQ(Utf8(CharactersOf({Training::HomeRow, {}}, us).characters), "asdfghjkl;'\\");

    EXPECT_EQ(Utf8(CharactersOf({Training::Own, "è è ò"}, it).characters), "èò");
    const TrainingSet refused = CharactersOf({Training::Own, "aü"}, it);
    EXPECT_TRUE(refused.characters.empty());
    EXPECT_NE(refused.problem.find("«ü»"), std::string::npos) << refused.problem;
    EXPECT_FALSE(CharactersOf({Training::Own, "   "}, it).problem.empty()) << "an empty set is no set";
    EXPECT_TRUE(CharactersOf({Training::Specified, "ü"}, it).problem.empty());
}

TEST(UniformDraw, DrawsEveryCharacterOfItsSetAndNothingElse)
{
    UniformDraw draw(U"àèéìòù", KeySetAccented);
    Random random(123);
    std::map<std::string, int> drawn;
    constexpr int kDraws = 60000;
    for (int i = 0; i < kDraws; ++i)
        ++drawn[draw.Draw(random, i % kSlots)];
    ASSERT_EQ(drawn.size(), 6u);
    for (const auto& [character, count] : drawn) {
        EXPECT_EQ(Utf8(DecodeUtf8(character)), character);
        EXPECT_NEAR(count, kDraws / 6.0, kDraws / 60.0) << character;
    }
    EXPECT_THROW(UniformDraw(U"", KeySetOwn), std::invalid_argument);
}

TEST(UniformDraw, AGameLaunchesOnlyTheSetAndIsRecordedUnderIt)
{
    test::Game game(7);
    game.Load();
    UniformDraw draw(U"àèò", KeySetAccented);
    game.form.SetCharacters(&draw);
    game.form.optDifficulty_Click(2);
    game.form.cmdStart_Click();
    ASSERT_GT(game.VisibleLetters(), 0);
    for (const Label& letter : game.form.lblLetter) {
        if (letter.Visible) {
            EXPECT_TRUE(letter.Caption == "à" || letter.Caption == "è" || letter.Caption == "ò") << letter.Caption;
        }
    }
    EXPECT_EQ(game.form.KeySet(), KeySetAccented);
    // Typing "è" hits every falling "è" and nothing else.
    int falling = 0;
    for (const Label& letter : game.form.lblLetter)
        falling += letter.Visible && letter.Caption == "è" ? 1 : 0;
    ASSERT_GT(falling, 0);
    const int before = game.VisibleLetters();
    game.form.Form_KeyPress(U'è');
    EXPECT_EQ(game.VisibleLetters(), before - falling);
    for (const Label& letter : game.form.lblLetter)
        EXPECT_FALSE(letter.Visible && letter.Caption == "è");

    // Without the source the options window's key sets are back.
    game.form.SetCharacters(nullptr);
    EXPECT_EQ(game.form.KeySet(), 0);
}

} // namespace
} // namespace keyfall::teach
