#pragma once
// Small text helpers shared by the settings reader and the game: plain C++, no locale.

#include <string>
#include <string_view>

namespace keyfall {

// Space, tab, line breaks, form feed or vertical tab.
bool IsBlank(char c);

// `text` without the ASCII white space (space, tab, line breaks, form feed, vertical tab) at
// either end.
std::string_view TrimBlanks(std::string_view text);

// Appends the code point `code` (at most 0x10FFFF) to `out` as UTF-8.
void AppendUtf8(std::string& out, char32_t code);

} // namespace keyfall
