#include "localisation/search_key.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "base/windows1252.h"
#include "localisation/code_page_text.h"
#include "localisation/unicode_case.h"

using localisation::SearchKey;

namespace {
// What the find line does: the names' keys made in one pass, the typed text's key, a substring.
bool Finds(std::string_view name, std::string_view typed) {
    std::string key;
    localisation::AppendSearchKey(key, name);
    return text::ContainsFolded(key, SearchKey(typed));
}
}  // namespace

// What a user types finds a name whatever its letter case and accents, on either side, in every
// script; other letters do not match.
TEST(SearchKey, CaseAndAccentsDoNotCountOnEitherSideInEveryScript) {
    EXPECT_TRUE(Finds("Z\xC3\xBCrich Info", "zur"));
    EXPECT_TRUE(Finds("Z\xC3\xBCrich Info", "Z\xC3\x9CRICH"));  // "ZÜRICH" typed
    EXPECT_TRUE(Finds("Zurich Info", "z\xC3\xBCr"));            // "zür" typed, the name without accents
    EXPECT_TRUE(Finds("Caf\xC3\xA9 Musique", "CAFE"));
    EXPECT_TRUE(
        Finds("Stra\xC3\x9F"
              "e 1",
              "strasse"));
    // "первый" finds "Первый канал"; "ΕΡΤ" finds "ερτ news"; "ä" typed finds "a" + combining diaeresis.
    EXPECT_TRUE(Finds("\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9 \xD0\xBA\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBB",
                      "\xD0\xBF\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9"));
    EXPECT_TRUE(Finds("\xCE\xB5\xCF\x81\xCF\x84 news", "\xCE\x95\xCE\xA1\xCE\xA4"));
    EXPECT_TRUE(Finds("Ka\xCC\x88se", "k\xC3\xA4s"));
    EXPECT_TRUE(Finds("\xE4\xB8\xAD\xE5\xA4\xAE\xE5\x8F\xB0 CCTV", "\xE5\xA4\xAE"));  // Chinese as it stands
    EXPECT_TRUE(Finds("Any", ""));                                                    // nothing typed: every row
    EXPECT_FALSE(Finds("Zurich", "zar"));
    EXPECT_FALSE(Finds("Caf\xC3\xA9", "cafes"));
    EXPECT_FALSE(Finds("\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9", "\xD0\xB2\xD1\x82"));  // "вт"
    // Text that is not UTF-8 still gives a key (the byte rules), not an error.
    EXPECT_EQ(SearchKey("AB\xFF"), text::FoldCase("AB\xFF"));
}

// A name on its way into the favourites or the catalogue: what the code page holds is kept,
// accents it lacks are dropped, other scripts become "?"; in the matching code page the
// script is kept whole.
TEST(CodePageText, TheNearestTheCodePageHolds) {
    using localisation::CodePageHolds;
    using localisation::NearestInCodePage;
    const std::string perviy = "\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9";  // "Первый"
    ASSERT_TRUE(cp1252::SetCodePage(1252));
    EXPECT_EQ(NearestInCodePage("Caf\xC3\xA9 \xC5\x90rs"), "Caf\xE9 Ors");  // "é" kept, "Ő" plain
    EXPECT_EQ(NearestInCodePage("\xEF\xAC\x81lm"), "film");                 // the "ﬁ" ligature
    EXPECT_EQ(NearestInCodePage(perviy + " 1"), "?????? 1");
    EXPECT_EQ(NearestInCodePage("a?b\xFF"), "a?b?");  // a byte that is no UTF-8
    EXPECT_TRUE(CodePageHolds("Caf\xC3\xA9"));
    EXPECT_FALSE(CodePageHolds(perviy));
    ASSERT_TRUE(cp1252::SetCodePage(1251));
    EXPECT_EQ(NearestInCodePage(perviy), "\xCF\xE5\xF0\xE2\xFB\xE9");
    EXPECT_TRUE(CodePageHolds(perviy));
    ASSERT_TRUE(cp1252::SetCodePage(1252));
}

// Lists sort and the editor replaces with letter case ignored in every script, and a Latin
// list sorts as it did.
TEST(UnicodeCase, ListsSortAndTheEditorReplacesWithCaseIgnoredInEveryScript) {
    using localisation::CompareNoCaseUtf8;
    using localisation::ReplaceNoCaseUtf8;
    EXPECT_EQ(CompareNoCaseUtf8("abc", "ABC"), 0);
    EXPECT_LT(CompareNoCaseUtf8("Alpha", "beta"), 0);
    EXPECT_EQ(CompareNoCaseUtf8("\xD0\x9F\xD0\xB5", "\xD0\xBF\xD0\xB5"), 0);  // "Пе" and "пе"
    EXPECT_LT(CompareNoCaseUtf8("\xD0\x90", "\xD0\xB1"), 0);                  // "А" before "б"
    EXPECT_GT(CompareNoCaseUtf8("\xD0\xB0\xD0\xB1", "\xD0\x90"), 0);          // "аб" after "А"
    EXPECT_LT(CompareNoCaseUtf8("Zeta", "\xD0\x90"), 0);                      // Latin before Cyrillic
    EXPECT_EQ(ReplaceNoCaseUtf8("\xD0\x9A\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBB 1 \xD0\xBA\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBB",
                                "\xD0\xBA\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBB", "TV"),
              "TV 1 TV");
    // "К" (D0 9A) and "Њ" (D0 8A) differ: no byte rule may make them the same letter.
    EXPECT_EQ(ReplaceNoCaseUtf8("\xD0\x8A", "\xD0\x9A", "x"), "\xD0\x8A");
    EXPECT_EQ(ReplaceNoCaseUtf8("News NEWS", "news", "Info"), "Info Info");
    EXPECT_EQ(ReplaceNoCaseUtf8("abc", "", "x"), "abc");
}
