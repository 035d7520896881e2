#pragma once
// UTF-8 to code points and back: the game's captions are UTF-8 strings, the keymap's
// characters code points.

#include <string>
#include <string_view>

namespace keyfall::teach {

// A character as UTF-8 ("è" for U+00E8). A value that is no Unicode scalar (a surrogate, or
// beyond U+10FFFF) becomes U+FFFD.
std::string Utf8(char32_t character);
std::string Utf8(std::u32string_view characters);
// The characters of UTF-8 `text`, in order. Each byte that does not belong to a well-formed
// sequence (overlong forms and surrogates included) becomes one U+FFFD, so that nothing is
// lost silently and decoding always ends.
std::u32string DecodeUtf8(std::string_view text);

} // namespace keyfall::teach
