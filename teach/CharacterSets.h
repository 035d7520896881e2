#pragma once
// Sets of characters to practise, beside the game's five: the Italian accented letters, the
// rows of the player's own keyboard, and a set the player writes, checked against that
// keyboard. Characters are code points; teach/Utf8.h turns them into the game's UTF-8.

#include "teach/Keymap.h"

#include <string>
#include <string_view>

namespace keyfall::teach {

// The accented letters of Italian, lower case: "àèéìòù". Their capitals have no key of
// their own on the Italian board, so they are no part of the set.
inline constexpr std::u32string_view kItalianAccented = U"àèéìòù";

// What the keys of `row` type without modifiers, left to right, each character once. Every
// character counts, not only letters: the home row's ";" on a US board is a home key as much
// as "a" is, and on the Italian board the home row gives "asdfghjklòàù". Dead keys give
// nothing, and so does the space row: white space never falls.
std::u32string RowCharacters(const Keymap& keymap, Row row);

struct SetCheck {
    // The set as it will be played: every character of the text that the keyboard types,
    // once, in the order of first appearance. White space and repeats are dropped, not refused.
    std::u32string characters;
    // The characters of the text that the keyboard cannot type, once each, in order.
    std::u32string refused;
    // Empty when nothing is refused; otherwise one Italian sentence naming the refused
    // characters (at most five by name, then how many more: "e un altro", "e altri 3"), e.g.
    // "Il carattere «ü» non si può scrivere con questa tastiera."
    std::string message;
};

// Checks a set the player wrote (UTF-8, as a text field gives it, composed as NFC: "é" is one
// character, not "e" and a combining accent) against the keyboard. Malformed UTF-8 counts as
// U+FFFD, which is refused. An empty or all-blank text gives an empty set and no message: what
// to say about an empty set is the caller's to decide.
SetCheck CheckOwnSet(const Keymap& keymap, std::string_view text);

} // namespace keyfall::teach
