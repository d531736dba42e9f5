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
