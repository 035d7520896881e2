#pragma once
// The keyboard as the player has it: the keys of the alphanumeric block, their rows, the
// finger that types each of them, and which key with which modifiers types each character.
// The model is read once from a libxkbcommon keymap (the X server's, the one a Wayland
// compositor hands over, or one compiled from layout names) and keeps no pointer into it.
//
// What the model lists, and what it leaves out:
// - Only the first four shift levels count: none, Shift, AltGr (level three), Shift+AltGr.
//   AltGr counts only when some key of the keymap is a level-three shift (ISO_Level3_Shift);
//   without one, a US layout say, nothing on level three or four can be typed.
// - Caps Lock and other locks are no way of typing a character: "È" is what Caps Lock makes
//   of "è" on an Italian board, but it has no key of its own, so it is not listed.
// - A dead key is listed on its key (`Symbol::deadKey`), but what it composes with the next
//   key is not a character of the model: composing belongs to the input method, and one
//   falling character is one key stroke. So "É" (dead acute, then Shift+E) is not listed on
//   the Italian layout.
// - Only printable characters count: control characters are never a key's character.
// - Only the block counts: what only the keypad types is not listed, and of a keymap with
//   several layouts only the one read.
// - The model lists what the keymap types, not what the keycaps show: the XKB data gives
//   many layouts extras on AltGr (Italian AltGr+S types "ß"), and they count.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct xkb_keymap;

namespace keyfall::teach {

enum class Row {
    Number, // TLDE, AE01..AE12
    Top,    // AD01..AD12; BKSL on an ANSI board
    Home,   // AC01..AC11; BKSL on an ISO board
    Bottom, // LSGT (ISO only), AB01..AB10
    Space,  // SPCE
};

// The standard touch-typing assignment, by key position, so that it holds for QWERTY,
// QWERTZ, AZERTY and the Italian board alike:
//
//   LeftLittle   TLDE AE01 AD01 AC01 LSGT AB01
//   LeftRing     AE02 AD02 AC02 AB02
//   LeftMiddle   AE03 AD03 AC03 AB03
//   LeftIndex    AE04 AE05 AD04 AD05 AC04 AC05 AB04 AB05
//   RightIndex   AE06 AE07 AD06 AD07 AC06 AC07 AB06 AB07
//   RightMiddle  AE08 AD08 AC08 AB08
//   RightRing    AE09 AD09 AC09 AB09
//   RightLittle  AE10 AE11 AE12 AD10 AD11 AD12 AC10 AC11 BKSL AB10
//   Thumb        SPCE
enum class Finger {
    LeftLittle,
    LeftRing,
    LeftMiddle,
    LeftIndex,
    RightIndex,
    RightMiddle,
    RightRing,
    RightLittle,
    Thumb,
};

// The modifiers held while the key is pressed. The values are bits: Shift 1, AltGr 2.
enum class Modifiers : std::uint8_t {
    None = 0,
    Shift = 1,
    AltGr = 2,
    ShiftAltGr = 3,
};
inline constexpr std::array<Modifiers, 4> kAllModifiers{Modifiers::None, Modifiers::Shift, Modifiers::AltGr,
                                                        Modifiers::ShiftAltGr};

// What a key gives at one shift level: a character, a dead key, or nothing.
struct Symbol {
    char32_t character = 0; // the printable character typed; 0 when none
    bool deadKey = false;   // a dead key: it types nothing itself but changes the next key
    std::string keysym;     // the keysym's name ("egrave", "dead_acute"); empty for none
};

struct Key {
    std::string name;      // the XKB key name: "AD11"
    std::uint32_t keycode; // the XKB keycode (the evdev code + 8)
    Row row;
    // The position within the row, counted so that the keys typed by one finger line up:
    // TLDE and LSGT 0, AE01/AD01/AC01/AB01 1 … AE12/AD12 12; BKSL 12 on an ISO board
    // (right of AC11), 13 on an ANSI one (right of AD12); SPCE 0.
    int column;
    // Where the key lies on a standard board, in key widths from the left edge of the block
    // (the number row's TLDE starts at 0), and how wide it is: for drawing the keyboard.
    double left;
    double width;
    Finger finger;
    bool home; // one of the eight home keys: AC01..AC04 and AC07..AC10
    bool bump; // AC04 or AC07, the home keys with a bump (F and J on QWERTY)
    // What the key gives with each of `kAllModifiers`, in that order. A combination that
    // selects the same level as one with fewer modifiers (AltGr on a two-level key) gives
    // nothing here, so every character is listed once per key.
    std::array<Symbol, 4> levels;
};

// How the board is built. An ISO board has a key between the left Shift and the bottom
// row's first letter (LSGT, "<" on Italian and German boards) and the BKSL key on the home
// row; an ANSI board has no LSGT, and BKSL above Enter, at the end of the top row.
enum class Board { Iso, Ansi };

// A keymap says what each key types, not how the keyboard is built: the XKB data gives LSGT a
// character on every PC model. The model name is what tells: the generic 86-, 101- and
// 104-key PCs are ANSI boards; everything else, the default pc105 included, counts as ISO.
Board BoardOfModel(std::string_view model);

// One way of typing a character: this key, with these modifiers held.
struct Stroke {
    const Key* key = nullptr; // into the Keymap that made it; valid while the Keymap lives
    Modifiers modifiers = Modifiers::None;
};

class Keymap {
public:
    // Reads the alphanumeric block of `layout` (0-based, in 0 .. layouts - 1 of `keymap`; a
    // layout beyond the last one reads as layout 0) on a board built as `board`. A keymap that
    // gives LSGT no character makes an ANSI board whatever `board` says. `keymap` is only
    // read, not kept; it must not be null.
    explicit Keymap(xkb_keymap* keymap, std::uint32_t layout = 0, Board board = Board::Iso);

    // The Strokes point into the Keymap: moving it keeps them valid, copying would not.
    Keymap(const Keymap&) = delete;
    Keymap& operator=(const Keymap&) = delete;
    Keymap(Keymap&&) noexcept = default;
    Keymap& operator=(Keymap&&) noexcept = default;
    ~Keymap() = default;

    // The layout's own name ("Italian"), as the keymap gives it; may be empty.
    const std::string& LayoutName() const { return m_layoutName; }
    bool Iso() const { return m_iso; }

    // The keys of the block that the keymap gives a symbol, row by row from the number row,
    // left to right within a row (ISO: BKSL ends the home row; ANSI: it ends the top row, and
    // there is no LSGT).
    const std::vector<Key>& Keys() const { return m_keys; }
    // The key with this XKB name, or null when the keymap has no such key.
    const Key* KeyNamed(std::string_view name) const;
    // The keys of one row, left to right.
    std::vector<const Key*> RowKeys(Row row) const;

    // The best way to type `character`: the fewest modifiers (none, then Shift, then AltGr,
    // then Shift+AltGr); among keys with the same modifiers the one nearest the home row (the
    // home row, then the top and bottom rows, then the number row), then the first in Keys().
    // Nothing when no key of the block types it.
    std::optional<Stroke> StrokeFor(char32_t character) const;
    // The same for a character given as UTF-8 ("è"); nothing unless `text` is exactly one
    // well-formed character.
    std::optional<Stroke> StrokeFor(std::string_view text) const;
    // Every way of typing `character`, best first; empty when none.
    std::vector<Stroke> StrokesFor(char32_t character) const;
    bool CanType(char32_t character) const { return m_strokes.contains(character); }
    // Every character the block types, in code-point order.
    std::vector<char32_t> Characters() const;

private:
    std::string m_layoutName;
    bool m_iso = false;
    std::vector<Key> m_keys;
    std::map<char32_t, std::vector<Stroke>> m_strokes;
};

// A Keymap, or the one-line reason why there is none (for the program to report).
struct KeymapResult {
    std::optional<Keymap> keymap;
    std::string error;
};

// Compiles a keymap from RMLVO names with the system's XKB data (xkb-data), as
// `setxkbmap -rules … -model … -layout … -variant … -option …` would. Empty names take
// libxkbcommon's defaults (rules "evdev", model "pc105", layout "us"); the environment's
// XKB_DEFAULT_* variables are not read, so that --layout=it means the same on every
// machine. `layout` and `variant` may list several comma-separated layouts; the Keymap reads
// the first. The board follows `model` (BoardOfModel). A name with characters no
// XKB name has (a slash, a dot) is refused before any file is looked up, and so is a part of
// a layout that gives the letter keys nothing ("pc"); an unknown name gives an error naming
// it, e.g.
// "unknown keyboard layout 'xx' (Couldn't find file "symbols/xx" in include paths)".
KeymapResult KeymapFromNames(const std::string& rules, const std::string& model, const std::string& layout,
                             const std::string& variant = {}, const std::string& options = {});

// Compiles a keymap in the XKB text format, the one a Wayland compositor hands over, and
// reads `layout` of it (the active one, which the compositor reports with the modifiers).
// The text does not say how the board is built; the caller does.
KeymapResult KeymapFromString(std::string_view text, std::uint32_t layout = 0, Board board = Board::Iso);

} // namespace keyfall::teach
