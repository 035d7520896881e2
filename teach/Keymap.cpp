#include "teach/Keymap.h"

#include "teach/Utf8.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>

namespace keyfall::teach {
namespace {

struct ContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateFree {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using StatePtr = std::unique_ptr<xkb_state, StateFree>;

struct Place {
    const char* name;
    Row row;
    int column;
    double left;
    double width = 1;
};

// The block of a standard board. Tab is 1.5 keys wide, Caps Lock 1.75, the left Shift 1.25
// on an ISO board and 2.25 on an ANSI one (which has no LSGT), the three keys left of the
// space bar 1.25 each.
constexpr Place kNumberRow[] = {
    {"TLDE", Row::Number, 0, 0},   {"AE01", Row::Number, 1, 1},   {"AE02", Row::Number, 2, 2},
    {"AE03", Row::Number, 3, 3},   {"AE04", Row::Number, 4, 4},   {"AE05", Row::Number, 5, 5},
    {"AE06", Row::Number, 6, 6},   {"AE07", Row::Number, 7, 7},   {"AE08", Row::Number, 8, 8},
    {"AE09", Row::Number, 9, 9},   {"AE10", Row::Number, 10, 10}, {"AE11", Row::Number, 11, 11},
    {"AE12", Row::Number, 12, 12},
};
constexpr Place kTopRow[] = {
    {"AD01", Row::Top, 1, 1.5},   {"AD02", Row::Top, 2, 2.5},   {"AD03", Row::Top, 3, 3.5},
    {"AD04", Row::Top, 4, 4.5},   {"AD05", Row::Top, 5, 5.5},   {"AD06", Row::Top, 6, 6.5},
    {"AD07", Row::Top, 7, 7.5},   {"AD08", Row::Top, 8, 8.5},   {"AD09", Row::Top, 9, 9.5},
    {"AD10", Row::Top, 10, 10.5}, {"AD11", Row::Top, 11, 11.5}, {"AD12", Row::Top, 12, 12.5},
};
constexpr Place kAnsiBackslash{"BKSL", Row::Top, 13, 13.5, 1.5};
constexpr Place kHomeRow[] = {
    {"AC01", Row::Home, 1, 1.75},   {"AC02", Row::Home, 2, 2.75},   {"AC03", Row::Home, 3, 3.75},
    {"AC04", Row::Home, 4, 4.75},   {"AC05", Row::Home, 5, 5.75},   {"AC06", Row::Home, 6, 6.75},
    {"AC07", Row::Home, 7, 7.75},   {"AC08", Row::Home, 8, 8.75},   {"AC09", Row::Home, 9, 9.75},
    {"AC10", Row::Home, 10, 10.75}, {"AC11", Row::Home, 11, 11.75},
};
constexpr Place kIsoBackslash{"BKSL", Row::Home, 12, 12.75};
constexpr Place kLessGreater{"LSGT", Row::Bottom, 0, 1.25};
constexpr Place kBottomRow[] = {
    {"AB01", Row::Bottom, 1, 2.25},   {"AB02", Row::Bottom, 2, 3.25}, {"AB03", Row::Bottom, 3, 4.25},
    {"AB04", Row::Bottom, 4, 5.25},   {"AB05", Row::Bottom, 5, 6.25}, {"AB06", Row::Bottom, 6, 7.25},
    {"AB07", Row::Bottom, 7, 8.25},   {"AB08", Row::Bottom, 8, 9.25}, {"AB09", Row::Bottom, 9, 10.25},
    {"AB10", Row::Bottom, 10, 11.25},
};
constexpr Place kSpace{"SPCE", Row::Space, 0, 3.75, 6.25};

// The touch-typing assignment follows the column: every row's keys of one column are typed
// by the same finger (see Finger).
Finger FingerOf(const Place& place)
{
    if (place.row == Row::Space)
        return Finger::Thumb;
    switch (place.column) {
    case 0:
    case 1: return Finger::LeftLittle;
    case 2: return Finger::LeftRing;
    case 3: return Finger::LeftMiddle;
    case 4:
    case 5: return Finger::LeftIndex;
    case 6:
    case 7: return Finger::RightIndex;
    case 8: return Finger::RightMiddle;
    case 9: return Finger::RightRing;
    default: return Finger::RightLittle;
    }
}

bool Printable(char32_t c)
{
    return c >= 0x20 && (c < 0x7F || c > 0x9F);
}

Symbol SymbolOf(xkb_keysym_t keysym)
{
    Symbol symbol;
    char name[64];
    if (xkb_keysym_get_name(keysym, name, sizeof name) > 0)
        symbol.keysym = name;
    const char32_t c = xkb_keysym_to_utf32(keysym);
    if (Printable(c))
        symbol.character = c;
    else
        symbol.deadKey = symbol.keysym.starts_with("dead_");
    return symbol;
}

// The real modifiers that AltGr sets: those that pressing the keymap's first level-three
// shift key leaves depressed. 0 when the layout has no such key. <LVL3> does not count: the
// XKB data gives every PC keymap that code for the modifier's sake, but no keyboard has it.
xkb_mod_mask_t AltGrMask(xkb_keymap* keymap, xkb_layout_index_t layout)
{
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= xkb_keymap_max_keycode(keymap); ++key) {
        const char* name = xkb_keymap_key_get_name(keymap, key);
        if (name == nullptr || std::string_view(name) == "LVL3")
            continue;
        const xkb_keysym_t* syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, 0, &syms);
        if (count != 1 || syms[0] != XKB_KEY_ISO_Level3_Shift)
            continue;
        const StatePtr state(xkb_state_new(keymap));
        if (!state)
            return 0;
        xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, layout);
        xkb_state_update_key(state.get(), key, XKB_KEY_DOWN);
        const xkb_mod_mask_t mask = xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED);
        if (mask != 0)
            return mask;
    }
    return 0;
}

class LevelReader {
public:
    LevelReader(xkb_keymap* keymap, xkb_layout_index_t layout)
        : m_keymap(keymap), m_layout(layout), m_state(xkb_state_new(keymap))
    {
        const xkb_mod_index_t shift = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
        if (shift != XKB_MOD_INVALID)
            m_masks[1] = xkb_mod_mask_t{1} << shift;
        m_masks[2] = AltGrMask(keymap, layout);
        m_masks[3] = m_masks[1] | m_masks[2];
        m_combinations = m_masks[2] != 0 ? 4 : 2;
    }

    // What `key` gives with each modifier combination; nothing for a combination that selects
    // a level an easier one already reaches.
    std::array<Symbol, 4> Levels(xkb_keycode_t key) const
    {
        std::array<Symbol, 4> levels;
        if (!m_state)
            return levels;
        std::vector<xkb_level_index_t> reached;
        for (std::size_t i = 0; i < m_combinations; ++i) {
            xkb_state_update_mask(m_state.get(), m_masks[i], 0, 0, 0, 0, m_layout);
            const xkb_layout_index_t layout = xkb_state_key_get_layout(m_state.get(), key);
            if (layout == XKB_LAYOUT_INVALID)
                break;
            const xkb_level_index_t level = xkb_state_key_get_level(m_state.get(), key, layout);
            if (level == XKB_LEVEL_INVALID || std::ranges::find(reached, level) != reached.end())
                continue;
            reached.push_back(level);
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(m_keymap, key, layout, level, &syms) == 1)
                levels.at(i) = SymbolOf(syms[0]);
        }
        return levels;
    }

private:
    xkb_keymap* m_keymap;
    xkb_layout_index_t m_layout;
    StatePtr m_state;
    std::array<xkb_mod_mask_t, 4> m_masks{};
    std::size_t m_combinations = 2;
};

bool AnySymbol(const std::array<Symbol, 4>& levels)
{
    return std::ranges::any_of(levels, [](const Symbol& s) { return !s.keysym.empty(); });
}

// libxkbcommon reports its errors through a log callback; they are collected here, never
// printed, so that the caller can give the reason in one line.
struct Log {
    std::string firstError;
};

void CollectLog(xkb_context* context, xkb_log_level level, const char* format, va_list args)
{
    auto* log = static_cast<Log*>(xkb_context_get_user_data(context));
    if (log == nullptr || level > XKB_LOG_LEVEL_ERROR || !log->firstError.empty())
        return;
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    log->firstError = text;
}

std::unique_ptr<xkb_context, ContextFree> QuietContext(Log& log)
{
    std::unique_ptr<xkb_context, ContextFree> context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (context) {
        xkb_context_set_user_data(context.get(), &log);
        xkb_context_set_log_fn(context.get(), CollectLog);
        xkb_context_set_log_level(context.get(), XKB_LOG_LEVEL_ERROR);
    }
    return context;
}

// Names are looked up as file names in the XKB data; anything but the characters XKB names
// are made of could reach outside it.
bool PlainName(const std::string& name, std::string_view extra)
{
    return std::ranges::all_of(name, [extra](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
               || c == ',' || extra.find(c) != std::string_view::npos;
    });
}

std::string Quoted(const std::string& name)
{
    return "'" + name + "'";
}

} // namespace

Board BoardOfModel(std::string_view model)
{
    constexpr std::string_view kAnsi[] = {"pc86", "pc101", "pc104", "pc104alt"};
    return std::ranges::find(kAnsi, model) != std::end(kAnsi) ? Board::Ansi : Board::Iso;
}

Keymap::Keymap(xkb_keymap* keymap, std::uint32_t layout, Board board)
{
    if (layout >= xkb_keymap_num_layouts(keymap))
        layout = 0;
    if (const char* name = xkb_keymap_layout_get_name(keymap, layout))
        m_layoutName = name;
    const LevelReader reader(keymap, layout);

    std::vector<Place> places;
    const auto add = [&places](const auto& row) { places.insert(places.end(), std::begin(row), std::end(row)); };
    add(kNumberRow);
    add(kTopRow);
    const xkb_keycode_t lessGreater = xkb_keymap_key_by_name(keymap, kLessGreater.name);
    m_iso = board == Board::Iso && lessGreater != XKB_KEYCODE_INVALID
            && std::ranges::any_of(reader.Levels(lessGreater), [](const Symbol& s) { return s.character != 0; });
    if (!m_iso)
        places.push_back(kAnsiBackslash);
    add(kHomeRow);
    if (m_iso) {
        places.push_back(kIsoBackslash);
        places.push_back(kLessGreater);
    }
    add(kBottomRow);
    places.push_back(kSpace);

    for (const Place& place : places) {
        const xkb_keycode_t keycode = xkb_keymap_key_by_name(keymap, place.name);
        if (keycode == XKB_KEYCODE_INVALID)
            continue;
        Key key{place.name,  keycode,         place.row, place.column, place.left,
                place.width, FingerOf(place), false,     false,        reader.Levels(keycode)};
        if (!AnySymbol(key.levels))
            continue;
        key.home = place.row == Row::Home
                   && ((place.column >= 1 && place.column <= 4) || (place.column >= 7 && place.column <= 10));
        key.bump = place.row == Row::Home && (place.column == 4 || place.column == 7);
        m_keys.push_back(std::move(key));
    }

    // m_keys is complete: from here on its elements stay where they are.
    for (const Key& key : m_keys) {
        for (std::size_t i = 0; i < kAllModifiers.size(); ++i) {
            if (const char32_t c = key.levels.at(i).character)
                m_strokes[c].push_back({&key, kAllModifiers.at(i)});
        }
    }
    // Fewest modifiers first; among those the key nearest the home row, which the hand
    // reaches with the least travel. That also finds the key a layout prints the character
    // on before the copies the XKB data adds elsewhere (Italian "@" on AltGr+ò, not AltGr+Q).
    const auto reach = [](const Stroke& s) {
        const int rows = s.key->row == Row::Number ? 2 : s.key->row == Row::Top || s.key->row == Row::Bottom ? 1 : 0;
        return std::pair(static_cast<int>(s.modifiers), rows);
    };
    for (auto& [character, strokes] : m_strokes)
        std::ranges::stable_sort(strokes, {}, reach);
}

const Key* Keymap::KeyNamed(std::string_view name) const
{
    const auto found = std::ranges::find(m_keys, name, &Key::name);
    return found == m_keys.end() ? nullptr : &*found;
}

std::vector<const Key*> Keymap::RowKeys(Row row) const
{
    std::vector<const Key*> keys;
    for (const Key& key : m_keys) {
        if (key.row == row)
            keys.push_back(&key);
    }
    return keys;
}

std::optional<Stroke> Keymap::StrokeFor(char32_t character) const
{
    const auto found = m_strokes.find(character);
    if (found == m_strokes.end())
        return std::nullopt;
    return found->second.front();
}

std::optional<Stroke> Keymap::StrokeFor(std::string_view text) const
{
    const std::u32string characters = DecodeUtf8(text);
    if (characters.size() != 1 || Utf8(characters.front()) != text)
        return std::nullopt;
    return StrokeFor(characters.front());
}

std::vector<Stroke> Keymap::StrokesFor(char32_t character) const
{
    const auto found = m_strokes.find(character);
    return found == m_strokes.end() ? std::vector<Stroke>{} : found->second;
}

std::vector<char32_t> Keymap::Characters() const
{
    std::vector<char32_t> characters;
    characters.reserve(m_strokes.size());
    for (const auto& entry : m_strokes)
        characters.push_back(entry.first);
    return characters;
}

KeymapResult KeymapFromNames(const std::string& rules, const std::string& model, const std::string& layout,
                             const std::string& variant, const std::string& options)
{
    for (const std::string* name : {&rules, &model, &layout, &variant}) {
        if (!PlainName(*name, ""))
            return {std::nullopt, "not a keyboard layout name: " + Quoted(*name)};
    }
    if (!PlainName(options, ":+"))
        return {std::nullopt, "not a list of keyboard options: " + Quoted(options)};

    Log log;
    const auto context = QuietContext(log);
    if (!context)
        return {std::nullopt, "cannot set up libxkbcommon"};
    const xkb_rule_names names{rules.c_str(), model.c_str(), layout.c_str(), variant.c_str(), options.c_str()};
    const std::unique_ptr<xkb_keymap, KeymapFree> keymap(
        xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        std::string what = "unknown keyboard layout " + Quoted(layout.empty() ? "us" : layout);
        if (!variant.empty())
            what += " or variant " + Quoted(variant);
        if (!model.empty())
            what += " for model " + Quoted(model);
        if (!options.empty())
            what += " with options " + Quoted(options);
        if (!log.firstError.empty())
            what += " (" + log.firstError + ")";
        return {std::nullopt, what};
    }
    Keymap keyboard(keymap.get(), 0, BoardOfModel(model.empty() ? "pc105" : model));
    // The XKB data also holds parts of layouts ("pc", "inet"), which compile but leave the
    // letter keys blank: no layout a player means.
    if (keyboard.KeyNamed("AC01") == nullptr)
        return {std::nullopt, "keyboard layout " + Quoted(layout) + " types nothing on the letter keys"};
    return {std::move(keyboard), {}};
}

KeymapResult KeymapFromString(std::string_view text, std::uint32_t layout, Board board)
{
    // A compositor's keymap arrives with its terminating null byte counted in.
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    Log log;
    const auto context = QuietContext(log);
    if (!context)
        return {std::nullopt, "cannot set up libxkbcommon"};
    const std::unique_ptr<xkb_keymap, KeymapFree> keymap(xkb_keymap_new_from_buffer(
        context.get(), text.data(), text.size(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return {std::nullopt,
                "the keymap does not compile" + (log.firstError.empty() ? "" : " (" + log.firstError + ")")};
    return {Keymap(keymap.get(), layout, board), {}};
}

} // namespace keyfall::teach
