#pragma once
// Qt key events to the virtual-key codes the game's key handlers expect: a letter key is
// its upper-case letter whatever Shift or Caps Lock say, a main-block digit key its digit,
// the keypad digits 96-105, F1-F12 112-123, and so on.

#include <QKeyEvent>

#include <cstdint>
#include <optional>

namespace keyfall {

// The virtual-key code of the key, or nothing for a key the game has no code for.
std::optional<std::int16_t> VirtualKeyCode(const QKeyEvent& event);
// The shift state: 1 Shift, 2 Ctrl, 4 Alt, combined.
std::int16_t ShiftState(Qt::KeyboardModifiers modifiers);
// The character the key types, or nothing when it types none. A Ctrl chord with a letter types
// that letter's control character and Ctrl+Return a line feed: they reach the game as typed
// keys, which hit nothing. Alt and Meta chords are commands, not typing, and of the other
// control characters only Backspace, Enter and Escape are keys a player types; Delete and the
// like would otherwise cost a miss.
std::optional<char32_t> TypedCharacter(const QKeyEvent& event);

} // namespace keyfall
