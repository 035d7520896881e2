#include "teach/CharacterSets.h"

#include "teach/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace keyfall::teach {
namespace {

bool Contains(std::u32string_view text, char32_t c)
{
    return text.find(c) != std::u32string_view::npos;
}

// Unicode's White_Space characters.
bool IsWhiteSpace(char32_t c)
{
    constexpr std::u32string_view kWhiteSpace = U"\t\n\v\f\r \u0085\u00A0\u1680\u2028\u2029\u202F\u205F\u3000";
    return Contains(kWhiteSpace, c) || (c >= 0x2000 && c <= 0x200A);
}

// Characters with no picture of their own (controls, format characters, the byte-order
// mark, accents that would sit on the guillemet) are named by their code, so that the
// message says which one it is.
bool IsInvisible(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD || (c >= 0x300 && c <= 0x36F)
           || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F)
           || c == 0xFEFF;
}

std::string Named(char32_t c)
{
    if (!IsInvisible(c))
        return "«" + Utf8(c) + "»";
    std::array<char, 16> code{};
    std::snprintf(code.data(), code.size(), "U+%04X", static_cast<unsigned>(c));
    return "«" + std::string(code.data()) + "»";
}

std::string RefusalMessage(std::u32string_view refused)
{
    constexpr std::size_t kNamed = 5;
    if (refused.size() == 1)
        return "Il carattere " + Named(refused.front()) + " non si può scrivere con questa tastiera.";
    const std::size_t named = std::min(refused.size(), kNamed);
    std::string list;
    for (std::size_t i = 0; i < named; ++i) {
        if (i > 0)
            list += i + 1 == named && named == refused.size() ? " e " : ", ";
        list += Named(refused[i]);
    }
    if (refused.size() == named + 1)
        list += " e un altro";
    else if (named < refused.size())
        list += " e altri " + std::to_string(refused.size() - named);
    return "I caratteri " + list + " non si possono scrivere con questa tastiera.";
}

} // namespace

std::u32string RowCharacters(const Keymap& keymap, Row row)
{
    std::u32string characters;
    for (const Key* key : keymap.RowKeys(row)) {
        const char32_t c = key->levels.front().character;
        if (c != 0 && !IsWhiteSpace(c) && !Contains(characters, c))
            characters += c;
    }
    return characters;
}

SetCheck CheckOwnSet(const Keymap& keymap, std::string_view text)
{
    SetCheck check;
    for (const char32_t c : DecodeUtf8(text)) {
        if (IsWhiteSpace(c) || Contains(check.characters, c) || Contains(check.refused, c))
            continue;
        (keymap.CanType(c) ? check.characters : check.refused) += c;
    }
    if (!check.refused.empty())
        check.message = RefusalMessage(check.refused);
    return check;
}

} // namespace keyfall::teach
