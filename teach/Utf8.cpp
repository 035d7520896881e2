#include "teach/Utf8.h"

#include "settings/Text.h"

namespace keyfall::teach {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalar(char32_t c)
{
    return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF);
}

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

std::string Utf8(char32_t character)
{
    std::string text;
    AppendUtf8(text, IsScalar(character) ? character : kReplacement);
    return text;
}

std::string Utf8(std::u32string_view characters)
{
    std::string text;
    for (const char32_t c : characters)
        text += Utf8(c);
    return text;
}

std::u32string DecodeUtf8(std::string_view text)
{
    std::u32string characters;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t c = 0;
        char32_t least = 0; // the smallest code a sequence of this length may carry
        if (lead < 0x80) {
            length = 1;
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            c = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            c = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            c = lead & 0x07;
            least = 0x10000;
        }
        bool wellFormed = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            wellFormed = IsContinuation(byte);
            c = (c << 6) | (byte & 0x3F);
        }
        if (wellFormed && c >= least && IsScalar(c)) {
            characters += c;
            i += length;
        } else {
            characters += kReplacement;
            ++i;
        }
    }
    return characters;
}

} // namespace keyfall::teach
