// UTF-8 and UTF-16 between the program and the wide ODBC calls.

#include "db/OdbcText.h"

#include <gtest/gtest.h>

namespace {

TEST(OdbcText, RoundTripsEveryPlane)
{
    const std::string samples[] = {"", "plain", "Grüße €", "日本語", "emoji 😀 and 𝄞", std::string("nul\0inside", 10)};
    for (const std::string& s : samples)
        EXPECT_EQ(db::utf16ToUtf8(db::utf8ToUtf16(s)), s);
    EXPECT_EQ(db::utf8ToUtf16("😀"), std::u16string(u"\xD83D\xDE00"));
}

TEST(OdbcText, MalformedInputBecomesReplacementCharacters)
{
    EXPECT_EQ(db::utf8ToUtf16("a\xFF" "b"), std::u16string(u"a\xFFFD" "b"));
    EXPECT_EQ(db::utf8ToUtf16("\xC3"), std::u16string(u"\xFFFD"));             // cut short
    EXPECT_EQ(db::utf8ToUtf16("\xC0\xAF"), std::u16string(u"\xFFFD\xFFFD"));   // overlong
    EXPECT_EQ(db::utf8ToUtf16("\xED\xA0\x80"), std::u16string(u"\xFFFD\xFFFD\xFFFD")); // surrogate
    EXPECT_EQ(db::utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(db::utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

} // namespace
