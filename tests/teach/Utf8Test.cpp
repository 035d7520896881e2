#include "teach/Utf8.h"

#include <gtest/gtest.h>

namespace keyfall::teach {
namespace {

TEST(Utf8, RoundTripsEveryLength)
{
    const std::u32string characters = U"aè€𝄞";
    EXPECT_EQ(Utf8(characters), "aè€𝄞");
    EXPECT_EQ(Utf8(characters).size(), 1u + 2u + 3u + 4u);
    EXPECT_EQ(DecodeUtf8("aè€𝄞"), characters);
    EXPECT_EQ(Utf8(U'\0'), std::string(1, '\0'));
    EXPECT_EQ(Utf8(char32_t{0x10FFFF}), "\xF4\x8F\xBF\xBF");
}

TEST(Utf8, NoScalarEncodesAsReplacement)
{
    EXPECT_EQ(Utf8(char32_t{0xD800}), "\uFFFD");
    EXPECT_EQ(Utf8(char32_t{0x110000}), "\uFFFD");
}

TEST(Utf8, MalformedBytesBecomeOneReplacementEach)
{
    // A lone continuation byte, a truncated sequence at the end and in the middle.
    EXPECT_EQ(DecodeUtf8("\x80"), U"\uFFFD");
    EXPECT_EQ(DecodeUtf8("a\xE2\x82"), U"a\uFFFD\uFFFD");
    EXPECT_EQ(DecodeUtf8("\xC3x"), U"\uFFFDx");
    // An overlong "/" and an encoded surrogate are refused, not decoded.
    EXPECT_EQ(DecodeUtf8("\xC0\xAF"), U"\uFFFD\uFFFD");
    EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");
    // Beyond U+10FFFF, and bytes that never start a sequence.
    EXPECT_EQ(DecodeUtf8("\xF4\x90\x80\x80"), U"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(DecodeUtf8("\xFF\xFE"), U"\uFFFD\uFFFD");
}

} // namespace
} // namespace keyfall::teach
