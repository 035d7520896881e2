#include "teach/Keymap.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace keyfall::teach {
namespace {

Keymap Compiled(const std::string& layout, const std::string& model = "pc105", const std::string& options = {})
{
    KeymapResult result = KeymapFromNames("evdev", model, layout, {}, options);
    if (!result.keymap)
        throw std::runtime_error(result.error);
    return std::move(*result.keymap);
}

// The key and modifiers of the best stroke for `character`, as "AD11+Shift", or "none".
std::string Typed(const Keymap& keymap, char32_t character)
{
    const std::optional<Stroke> stroke = keymap.StrokeFor(character);
    if (!stroke)
        return "none";
    constexpr const char* kNames[] = {"", "+Shift", "+AltGr", "+Shift+AltGr"};
    return stroke->key->name + kNames[static_cast<int>(stroke->modifiers)];
}

Finger FingerFor(const Keymap& keymap, char32_t character)
{
    const std::optional<Stroke> stroke = keymap.StrokeFor(character);
    if (!stroke)
        throw std::runtime_error("no key for the character");
    return stroke->key->finger;
}

TEST(Keymap, ItalianAccentsSitRightOfP)
{
    const Keymap it = Compiled("it");
    EXPECT_EQ(it.LayoutName(), "Italian");
    EXPECT_EQ(Typed(it, U'p'), "AD10");
    EXPECT_EQ(Typed(it, U'è'), "AD11");
    EXPECT_EQ(Typed(it, U'é'), "AD11+Shift");
    EXPECT_EQ(Typed(it, U'ò'), "AC10");
    EXPECT_EQ(FingerFor(it, U'ò'), Finger::RightLittle);
    EXPECT_EQ(Typed(it, U'ù'), "BKSL");
    EXPECT_EQ(Typed(it, U'à'), "AC11");
    EXPECT_EQ(Typed(it, U'ì'), "AE12");
    // The UTF-8 form the game's captions use finds the same key.
    ASSERT_TRUE(it.StrokeFor("è"));
    EXPECT_EQ(it.StrokeFor("è")->key->name, "AD11");
    EXPECT_FALSE(it.StrokeFor("èa"));
    EXPECT_FALSE(it.StrokeFor(""));
}

TEST(Keymap, AtSignNeedsTheModifiersOfEachLayout)
{
    // On Italian "@" lies on AltGr+ò and on AltGr+Q; the one nearer the home row is taught.
    EXPECT_EQ(Typed(Compiled("it"), U'@'), "AC10+AltGr");
    EXPECT_EQ(Typed(Compiled("us"), U'@'), "AE02+Shift");
    EXPECT_EQ(Typed(Compiled("de"), U'@'), "AD01+AltGr");
    // Every stroke is listed, the best first.
    const Keymap it = Compiled("it");
    const std::vector<Stroke> strokes = it.StrokesFor(U'@');
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_EQ(strokes[1].key->name, "AD01");
    EXPECT_EQ(strokes[1].modifiers, Modifiers::AltGr);
}

TEST(Keymap, FewestModifiersWin)
{
    const Keymap it = Compiled("it");
    // "<" is LSGT alone, though AltGr+Shift+Z types it too.
    EXPECT_EQ(Typed(it, U'<'), "LSGT");
    EXPECT_EQ(Typed(it, U'A'), "AC01+Shift");
    // "{" is AltGr+7 rather than Shift+AltGr+è.
    EXPECT_EQ(Typed(it, U'{'), "AE07+AltGr");
    EXPECT_EQ(Typed(it, U' '), "SPCE");
    EXPECT_EQ(FingerFor(it, U' '), Finger::Thumb);
    // AltGr on a key of one level selects that level again: no second way of typing it.
    EXPECT_EQ(it.StrokesFor(U' ').size(), 1u);
    EXPECT_EQ(it.KeyNamed("SPCE")->levels.at(2).keysym, "");
}

TEST(Keymap, WithoutALevelThreeKeyNothingNeedsAltGr)
{
    // The XKB data gives every PC keymap a level-three key code that no keyboard has, and
    // US LSGT "¦" on level four: a US board without AltGr cannot type it.
    EXPECT_EQ(Typed(Compiled("us"), U'¦'), "none");
    // With AltGr made a plain Alt, the Italian board loses "@" and "[" altogether.
    const Keymap noAltGr = Compiled("it", "pc105", "lv3:ralt_alt");
    EXPECT_EQ(Typed(noAltGr, U'@'), "none");
    EXPECT_EQ(Typed(noAltGr, U'['), "none");
    EXPECT_EQ(Typed(noAltGr, U'é'), "AD11+Shift");
}

TEST(Keymap, DeadKeysAreKeysButComposeNothing)
{
    const Keymap it = Compiled("it");
    const Key* backslash = it.KeyNamed("BKSL");
    ASSERT_NE(backslash, nullptr);
    const Symbol& grave = backslash->levels.at(2);
    EXPECT_TRUE(grave.deadKey);
    EXPECT_EQ(grave.keysym, "dead_grave");
    EXPECT_EQ(grave.character, 0u);
    // The capitals are reached only by composing (or Caps Lock): not listed.
    for (const char32_t capital : {U'É', U'È', U'À', U'Ò', U'Ù', U'Ì'})
        EXPECT_FALSE(it.CanType(capital)) << static_cast<unsigned>(capital);
    // German "^" is a dead key on TLDE: that key is there, the character is not typed by it.
    const Keymap de = Compiled("de");
    ASSERT_NE(de.KeyNamed("TLDE"), nullptr);
    EXPECT_TRUE(de.KeyNamed("TLDE")->levels.front().deadKey);
    EXPECT_FALSE(de.CanType(U'^'));
}

TEST(Keymap, FingersAndBumpsGoByPositionOnEveryLayout)
{
    for (const char* layout : {"it", "us", "de", "fr"}) {
        SCOPED_TRACE(layout);
        const Keymap keymap = Compiled(layout);
        std::vector<std::string> bumps;
        std::vector<std::string> home;
        for (const Key& key : keymap.Keys()) {
            if (key.bump)
                bumps.push_back(key.name);
            if (key.home)
                home.push_back(key.name);
        }
        EXPECT_EQ(bumps, (std::vector<std::string>{"AC04", "AC07"}));
        EXPECT_EQ(home, (std::vector<std::string>{"AC01", "AC02", "AC03", "AC04", "AC07", "AC08", "AC09", "AC10"}));
        EXPECT_EQ(Typed(keymap, U'f'), "AC04");
        EXPECT_EQ(Typed(keymap, U'j'), "AC07");
        // The edges between the fingers' columns.
        const auto finger = [&keymap](const char* name) { return keymap.KeyNamed(name)->finger; };
        EXPECT_EQ(finger("TLDE"), Finger::LeftLittle);
        EXPECT_EQ(finger("LSGT"), Finger::LeftLittle);
        EXPECT_EQ(finger("AB01"), Finger::LeftLittle);
        EXPECT_EQ(finger("AE02"), Finger::LeftRing);
        EXPECT_EQ(finger("AC03"), Finger::LeftMiddle);
        EXPECT_EQ(finger("AE05"), Finger::LeftIndex);
        EXPECT_EQ(finger("AB05"), Finger::LeftIndex);
        EXPECT_EQ(finger("AE06"), Finger::RightIndex);
        EXPECT_EQ(finger("AD07"), Finger::RightIndex);
        EXPECT_EQ(finger("AB08"), Finger::RightMiddle);
        EXPECT_EQ(finger("AC09"), Finger::RightRing);
        EXPECT_EQ(finger("AE10"), Finger::RightLittle);
        EXPECT_EQ(finger("AD12"), Finger::RightLittle);
        EXPECT_EQ(finger("BKSL"), Finger::RightLittle);
        EXPECT_EQ(finger("AB10"), Finger::RightLittle);
    }
    // QWERTZ swaps the letters, not the fingers.
    const Keymap de = Compiled("de");
    const Keymap us = Compiled("us");
    EXPECT_EQ(Typed(de, U'z'), "AD06");
    EXPECT_EQ(Typed(de, U'y'), "AB01");
    EXPECT_EQ(FingerFor(de, U'z'), Finger::RightIndex);
    EXPECT_EQ(FingerFor(de, U'y'), Finger::LeftLittle);
    EXPECT_EQ(FingerFor(us, U'z'), Finger::LeftLittle);
    EXPECT_EQ(FingerFor(us, U'y'), Finger::RightIndex);
    // AZERTY: "a" and "q" trade places, "m" becomes a home key of the right little finger.
    const Keymap fr = Compiled("fr");
    EXPECT_EQ(Typed(fr, U'a'), "AD01");
    EXPECT_EQ(Typed(fr, U'q'), "AC01");
    EXPECT_TRUE(fr.StrokeFor(U'm')->key->home);
    EXPECT_EQ(FingerFor(fr, U'm'), Finger::RightLittle);
}

TEST(Keymap, TheModelNameTellsIsoFromAnsi)
{
    const Keymap iso = Compiled("us", "pc105");
    EXPECT_TRUE(iso.Iso());
    ASSERT_NE(iso.KeyNamed("LSGT"), nullptr);
    EXPECT_EQ(iso.KeyNamed("BKSL")->row, Row::Home);
    EXPECT_EQ(iso.KeyNamed("BKSL")->column, 12);

    const Keymap ansi = Compiled("us", "pc104");
    EXPECT_FALSE(ansi.Iso());
    EXPECT_EQ(ansi.KeyNamed("LSGT"), nullptr);
    EXPECT_EQ(Typed(ansi, U'<'), "AB08+Shift");
    ASSERT_NE(ansi.KeyNamed("BKSL"), nullptr);
    EXPECT_EQ(ansi.KeyNamed("BKSL")->row, Row::Top);
    EXPECT_EQ(ansi.KeyNamed("BKSL")->column, 13);
    EXPECT_EQ(ansi.Keys().size(), iso.Keys().size() - 1);

    // Rows keep their order, left to right, in Keys() and RowKeys().
    std::vector<std::string> top;
    for (const Key* key : ansi.RowKeys(Row::Top))
        top.push_back(key->name);
    EXPECT_EQ(top.front(), "AD01");
    EXPECT_EQ(top.back(), "BKSL");
    EXPECT_EQ(top.size(), 13u);
    EXPECT_EQ(BoardOfModel("pc101"), Board::Ansi);
    EXPECT_EQ(BoardOfModel("pc102"), Board::Iso);
    EXPECT_EQ(BoardOfModel(""), Board::Iso);
}

TEST(KeymapFromNames, UnknownOrUnsafeNamesComeBackAsErrors)
{
    const KeymapResult unknown = KeymapFromNames("", "", "xx");
    EXPECT_FALSE(unknown.keymap);
    EXPECT_NE(unknown.error.find("unknown keyboard layout 'xx'"), std::string::npos) << unknown.error;
    EXPECT_EQ(unknown.error.find('\n'), std::string::npos);

    const KeymapResult variant = KeymapFromNames("", "", "it", "nosuchvariant");
    EXPECT_FALSE(variant.keymap);
    EXPECT_NE(variant.error.find("'nosuchvariant'"), std::string::npos) << variant.error;

    const KeymapResult path = KeymapFromNames("", "", "../../../../etc/passwd");
    EXPECT_FALSE(path.keymap);
    EXPECT_EQ(path.error, "not a keyboard layout name: '../../../../etc/passwd'");

    const KeymapResult part = KeymapFromNames("", "", "pc");
    EXPECT_FALSE(part.keymap);
    EXPECT_EQ(part.error, "keyboard layout 'pc' types nothing on the letter keys");

    // Empty names are the library's defaults: a US layout.
    const KeymapResult defaults = KeymapFromNames("", "", "");
    ASSERT_TRUE(defaults.keymap) << defaults.error;
    EXPECT_EQ(defaults.keymap->LayoutName(), "English (US)");
}

struct ContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};

// A keymap as a Wayland compositor sends it: the text format, with a terminating null byte.
std::string CompositorKeymap(const char* layouts)
{
    const std::unique_ptr<xkb_context, ContextFree> context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    const xkb_rule_names names{"evdev", "pc105", layouts, "", ""};
    const std::unique_ptr<xkb_keymap, KeymapFree> keymap(
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        throw std::runtime_error("no keymap");
    char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
    std::string result(text, std::strlen(text) + 1);
    std::free(text);
    return result;
}

TEST(KeymapFromString, ReadsTheActiveLayoutOfACompositorsKeymap)
{
    const std::string text = CompositorKeymap("us,it");
    const KeymapResult first = KeymapFromString(text);
    ASSERT_TRUE(first.keymap) << first.error;
    EXPECT_EQ(Typed(*first.keymap, U'@'), "AE02+Shift");
    const KeymapResult second = KeymapFromString(text, 1);
    ASSERT_TRUE(second.keymap) << second.error;
    EXPECT_EQ(second.keymap->LayoutName(), "Italian");
    EXPECT_EQ(Typed(*second.keymap, U'è'), "AD11");
    EXPECT_EQ(Typed(*second.keymap, U'@'), "AC10+AltGr");
    // A layout the keymap does not have reads as the first.
    const KeymapResult beyond = KeymapFromString(text, 7);
    ASSERT_TRUE(beyond.keymap);
    EXPECT_EQ(beyond.keymap->LayoutName(), "English (US)");

    const KeymapResult garbage = KeymapFromString("xkb_keymap { this is not a keymap");
    EXPECT_FALSE(garbage.keymap);
    EXPECT_NE(garbage.error.find("does not compile"), std::string::npos);
    EXPECT_FALSE(KeymapFromString("").keymap);
}

} // namespace
} // namespace keyfall::teach
