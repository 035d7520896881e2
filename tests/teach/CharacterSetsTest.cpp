#include "teach/CharacterSets.h"

#include "teach/Layouts.h"
#include "teach/Utf8.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace keyfall::teach {
namespace {

using test::Compiled;

TEST(RowCharacters, EachLayoutsOwnRowsWithoutModifiers)
{
    const Keymap it = Compiled("it");
    EXPECT_EQ(Utf8(RowCharacters(it, Row::Home)), "asdfghjklòàù");
    EXPECT_EQ(Utf8(RowCharacters(it, Row::Top)), "qwertyuiopè+");
    EXPECT_EQ(Utf8(RowCharacters(it, Row::Bottom)), "<zxcvbnm,.-");
    const Keymap de = Compiled("de");
    EXPECT_EQ(Utf8(RowCharacters(de, Row::Home)), "asdfghjklöä#");
    EXPECT_EQ(Utf8(RowCharacters(de, Row::Top)), "qwertzuiopü+");
    // German TLDE and AE12 are dead keys: the number row has nothing of theirs.
    EXPECT_EQ(Utf8(RowCharacters(de, Row::Number)), "1234567890ß");
    const Keymap us = Compiled("us", "pc104");
    EXPECT_EQ(Utf8(RowCharacters(us, Row::Home)), "asdfghjkl;'");
    EXPECT_EQ(Utf8(RowCharacters(us, Row::Top)), "qwertyuiop[]\\");
    EXPECT_EQ(Utf8(RowCharacters(us, Row::Bottom)), "zxcvbnm,./");
    EXPECT_EQ(RowCharacters(us, Row::Space), U"");
}

TEST(CheckOwnSet, RefusesWhatTheKeyboardCannotType)
{
    const SetCheck onItalian = CheckOwnSet(Compiled("it"), "aüb");
    EXPECT_EQ(onItalian.characters, U"ab");
    EXPECT_EQ(onItalian.refused, U"ü");
    EXPECT_EQ(onItalian.message, "Il carattere «ü» non si può scrivere con questa tastiera.");

    const SetCheck onGerman = CheckOwnSet(Compiled("de"), "aüb");
    EXPECT_EQ(onGerman.characters, U"aüb");
    EXPECT_EQ(onGerman.refused, U"");
    EXPECT_EQ(onGerman.message, "");
    // The XKB data's Italian board types "ß" with AltGr+S, though no key shows it.
    EXPECT_EQ(CheckOwnSet(Compiled("it"), "ß").refused, U"");

    const Keymap us = Compiled("us");
    EXPECT_EQ(CheckOwnSet(us, "ß€").message, "I caratteri «ß» e «€» non si possono scrivere con questa tastiera.");
    const SetCheck accents = CheckOwnSet(us, Utf8(kItalianAccented));
    EXPECT_EQ(accents.characters, U"");
    EXPECT_EQ(accents.message,
              "I caratteri «à», «è», «é», «ì», «ò» e un altro non si possono scrivere con questa tastiera.");
    EXPECT_EQ(CheckOwnSet(us, "àèéìòùß").message,
              "I caratteri «à», «è», «é», «ì», «ò» e altri 2 non si possono scrivere con questa tastiera.");
    EXPECT_EQ(CheckOwnSet(Compiled("it"), Utf8(kItalianAccented)).characters, kItalianAccented);
}

TEST(CheckOwnSet, DropsRepeatsAndWhiteSpace)
{
    const Keymap it = Compiled("it");
    const SetCheck check = CheckOwnSet(it, " a a\tb\u00A0a\n\u3000bè üü");
    EXPECT_EQ(check.characters, U"abè");
    EXPECT_EQ(check.refused, U"ü");
    const SetCheck blank = CheckOwnSet(it, " \t ");
    EXPECT_EQ(blank.characters, U"");
    EXPECT_EQ(blank.message, "");
}

TEST(CheckOwnSet, NamesInvisibleAndMalformedCharactersPlainly)
{
    const Keymap it = Compiled("it");
    EXPECT_EQ(CheckOwnSet(it, "a\x01").message, "Il carattere «U+0001» non si può scrivere con questa tastiera.");
    EXPECT_EQ(CheckOwnSet(it, "\u200B").message, "Il carattere «U+200B» non si può scrivere con questa tastiera.");
    // A decomposed "é": the letter is kept, the lone accent refused by its code.
    const SetCheck decomposed = CheckOwnSet(it, "e\u0301");
    EXPECT_EQ(decomposed.characters, U"e");
    EXPECT_EQ(decomposed.message, "Il carattere «U+0301» non si può scrivere con questa tastiera.");
    const SetCheck broken = CheckOwnSet(it, "a\xC3");
    EXPECT_EQ(broken.characters, U"a");
    EXPECT_EQ(broken.refused, U"\uFFFD");
}

} // namespace
} // namespace keyfall::teach
