#include <gtest/gtest.h>

#include "base/windows1252.h"

TEST(Windows1252, HighBytesMapToTheirCharacters) {
    EXPECT_EQ(cp1252::ToUtf8("\x80"), "\xE2\x82\xAC");            // euro sign, not U+0080
    EXPECT_EQ(cp1252::ToUtf8("\xC9t\xE9"), "\xC3\x89t\xC3\xA9");  // Été
    EXPECT_EQ(cp1252::ToUtf8("\x9F"), "\xC5\xB8");                // Y with diaeresis
}

TEST(Windows1252, EveryByteRoundTrips) {
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    EXPECT_EQ(cp1252::FromUtf8(cp1252::ToUtf8(all)), all);
}

TEST(Windows1252, UnrepresentableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(cp1252::FromUtf8("a\xE4\xB8\xAD"
                               "b"),
              "a?b");                                      // CJK character
    EXPECT_EQ(cp1252::FromUtf8("\xF0\x9F\x93\xBA"), "?");  // emoji
    EXPECT_EQ(cp1252::FromUtf8("x\xC3"), "x?");            // cut-off sequence
    EXPECT_EQ(cp1252::FromUtf8("\xFF\xFE"
                               "ok"),
              "??ok");                                    // invalid lead bytes
    EXPECT_EQ(cp1252::FromUtf8("\xE2\x82\xAC"), "\x80");  // euro sign back
}

// The system's code page chooses how the catalogue's bytes read: a Russian operator's file reads
// as Cyrillic, a Greek one's as Greek; in each, every byte still comes back as it was.
TEST(Windows1252, EachSystemCodePageReadsItsScriptAndEveryByteRoundTrips) {
    for (int page = 1250; page <= 1258; ++page) {
        ASSERT_TRUE(cp1252::SetCodePage(page));
        std::string all;
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
        EXPECT_EQ(cp1252::FromUtf8(cp1252::ToUtf8(all)), all) << page;
    }
    ASSERT_TRUE(cp1252::SetCodePage(1251));
    EXPECT_EQ(cp1252::ToUtf8("\xCF\xE5\xF0\xE2\xFB\xE9"),
              "\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9");  // Первый
    EXPECT_EQ(cp1252::FromUtf8("caf\xC3\xA9"), "caf?") << "what the code page cannot hold";
    ASSERT_TRUE(cp1252::SetCodePage(1253));
    EXPECT_EQ(cp1252::ToUtf8("\xC1"), "\xCE\x91");  // Α
    EXPECT_FALSE(cp1252::SetCodePage(65001));
    EXPECT_EQ(cp1252::CodePage(), 1253) << "an unsupported code page changes nothing";
    ASSERT_TRUE(cp1252::SetCodePage(1252));

    EXPECT_EQ(cp1252::CodePageForLocale("ru_RU.UTF-8"), 1251);
    EXPECT_EQ(cp1252::CodePageForLocale("sr_RS@latin"), 1250);
    EXPECT_EQ(cp1252::CodePageForLocale("el_GR"), 1253);
    EXPECT_EQ(cp1252::CodePageForLocale("ar_EG"), 1256);
    EXPECT_EQ(cp1252::CodePageForLocale("vi_VN"), 1258);
    EXPECT_EQ(cp1252::CodePageForLocale("de_DE"), 1252);
    EXPECT_EQ(cp1252::CodePageForLocale("C"), 1252);
}
