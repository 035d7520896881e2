#include "teach/Course.h"

#include "teach/Utf8.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <utility>

namespace keyfall::teach {
namespace {

// A letter with a capital of its own ("è" has "È"; "ß" and "ò"'s keyboard neighbours have
// none they can be told by), which is what a lower-case letter is here.
bool IsLowerLetter(char32_t c)
{
    const xkb_keysym_t symbol = xkb_utf32_to_keysym(c);
    return symbol != XKB_KEY_NoSymbol && xkb_keysym_to_upper(symbol) != symbol;
}

char32_t Capital(char32_t c)
{
    return xkb_keysym_to_utf32(xkb_keysym_to_upper(xkb_utf32_to_keysym(c)));
}

std::string SpacedName(std::u32string_view keys)
{
    std::string name;
    for (char32_t c : keys) {
        if (!name.empty())
            name += ' ';
        name += Utf8(c);
    }
    return name;
}

class Builder {
public:
    explicit Builder(const Keymap& keymap) : m_keymap(keymap) {}

    // What the keys of `row` with a column from `first` to `last` type without modifiers.
    std::u32string Plain(Row row, int first, int last, bool lettersOnly = false) const
    {
        std::u32string keys;
        for (const Key* key : m_keymap.RowKeys(row)) {
            const char32_t c = key->levels[0].character;
            if (key->column >= first && key->column <= last && c != 0 && (!lettersOnly || IsLowerLetter(c)))
                keys += c;
        }
        return keys;
    }

    // The keys of `row` at the given columns, in that order.
    std::u32string Columns(Row row, std::initializer_list<int> columns) const
    {
        std::u32string keys;
        for (int column : columns)
            keys += Plain(row, column, column);
        return keys;
    }

    // A stage of what `keys` adds to the course so far, named by its keys unless `name` says.
    void Add(std::u32string_view keys, std::string name = {})
    {
        std::u32string added;
        for (char32_t c : keys) {
            if (c != 0 && m_keymap.CanType(c) && m_seen.find(c) == std::u32string::npos
                && added.find(c) == std::u32string::npos)
                added += c;
        }
        if (added.empty())
            return;
        m_seen += added;
        m_stages.push_back({added, name.empty() ? SpacedName(added) : std::move(name)});
    }

    const std::u32string& Seen() const { return m_seen; }
    std::vector<Stage> Take() { return std::move(m_stages); }

private:
    const Keymap& m_keymap;
    std::u32string m_seen;
    std::vector<Stage> m_stages;
};

} // namespace

Course::Course(const Keymap& keymap)
{
    m_name = keymap.LayoutName().empty() ? "tastiera" : keymap.LayoutName();
    if (!keymap.Iso())
        m_name += " (ANSI)";

    Builder course(keymap);
    std::u32string home;
    for (const Key* key : keymap.RowKeys(Row::Home)) {
        if (key->home && key->levels[0].character != 0)
            home += key->levels[0].character;
    }
    course.Add(home);
    course.Add(course.Columns(Row::Home, {5, 6}));
    course.Add(course.Plain(Row::Home, 11, 13));
    // From the index fingers outwards, then the stretch of both index fingers to the middle.
    for (const auto& [left, right] :
         {std::pair{4, 7}, std::pair{3, 8}, std::pair{2, 9}, std::pair{1, 10}, std::pair{5, 6}})
        course.Add(course.Columns(Row::Top, {left, right}));
    // The letters left on the top row, and the lower-case letters that only Shift types
    // (Italian "é", Shift with the key of "è").
    std::u32string letters = course.Plain(Row::Top, 11, 13, true);
    for (const Key& key : keymap.Keys()) {
        const char32_t c = key.levels[1].character;
        if (key.row != Row::Number && c != 0 && IsLowerLetter(c))
            letters += c;
    }
    course.Add(letters);
    course.Add(course.Plain(Row::Bottom, 0, 5));
    course.Add(course.Plain(Row::Bottom, 6, 10));
    std::u32string capitals;
    for (char32_t c : course.Seen()) {
        if (IsLowerLetter(c))
            capitals += Capital(c);
    }
    course.Add(capitals, "maiuscole");
    course.Add(U"1234567890", "cifre");
    std::u32string rest;
    for (const Key& key : keymap.Keys()) {
        if (key.row != Row::Space)
            rest += key.levels[0].character;
    }
    course.Add(rest);
    m_stages = course.Take();
}

std::u32string Course::CharactersUpTo(int index) const
{
    std::u32string characters;
    const int last = std::min(index, Count() - 1);
    for (int i = 0; i <= last; ++i)
        characters += m_stages[static_cast<std::size_t>(i)].keys;
    return characters;
}

} // namespace keyfall::teach
