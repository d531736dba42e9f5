// The text helpers: Windows-1252 letter case for the user's searches, ASCII case for names of
// the system, blanks and hexadecimal digits.
#include <gtest/gtest.h>

#include "base/text.h"

TEST(ReplaceNoCase, FindsAnyLetterCaseAndInsertsAsTyped) {
    EXPECT_EQ(text::ReplaceNoCase("News NEWS news", "news", "Info"), "Info Info Info");
    EXPECT_EQ(text::ReplaceNoCase("aaa", "aa", "b"), "ba");
    EXPECT_EQ(text::ReplaceNoCase("Canal \xC9t\xE9", "\xE9T\xC9", "x"), "Canal x");
    EXPECT_EQ(text::ReplaceNoCase("unchanged", "", "x"), "unchanged");
    EXPECT_EQ(text::ReplaceNoCase("abc", "abc", ""), "");
}

TEST(ReplaceNoCase, KeepsTheLettersAroundAndReplacesMarkersOfAnyCase) {
    EXPECT_EQ(text::ReplaceNoCase("Welcome to [programname]!", "[ProgramName]", "Marlu"), "Welcome to Marlu!");
    EXPECT_EQ(text::ReplaceNoCase("x[A]y[a]z", "[a]", "--"), "x--y--z");
}

TEST(FoldCase, FoldsTheCapitalsOfTheCodePageAndNothingElse) {
    EXPECT_EQ(text::FoldCase("ABC \xC9\x8A\x9F \xD7"), "abc \xE9\x9A\xFF \xD7");  // the times sign stays
    EXPECT_TRUE(text::ContainsNoCase("Canal \xC9T\xC9", "\xE9t\xE9"));
    EXPECT_LT(text::CompareNoCase("alpha", "BETA"), 0);
    EXPECT_EQ(text::CompareNoCase("Same", "sAME"), 0);
    EXPECT_GT(text::CompareNoCase("ab", "A"), 0);
}

TEST(AsciiCase, ComparesNamesOfTheSystemWithoutRegardToAsciiCaseOnly) {
    EXPECT_TRUE(text::EqualsAsciiNoCase("showHelp", "SHOWHELP"));
    EXPECT_FALSE(text::EqualsAsciiNoCase("showHelp", "showHelp "));
    EXPECT_FALSE(text::EqualsAsciiNoCase("\xC9", "\xE9"));  // not ASCII: compared as it is
    EXPECT_TRUE(text::StartsWithAsciiNoCase("hkey_local_machine\\Software", "HKEY_LOCAL_MACHINE"));
    EXPECT_TRUE(text::StartsWithAsciiNoCase("dword:00000001", "DWORD:"));
    EXPECT_FALSE(text::StartsWithAsciiNoCase("HK", "HKLM"));
    EXPECT_EQ(text::AsciiUpper("hkcu\xE9"), "HKCU\xE9");
    EXPECT_EQ(text::AsciiLower("English\xC9"), "english\xC9");
}

TEST(TrimBlanks, SpacesByDefaultAndTheGivenBlanksOtherwise) {
    EXPECT_EQ(text::TrimBlanks("  a b  "), "a b");
    EXPECT_EQ(text::TrimBlanks("\t a \t"), "\t a \t");
    EXPECT_EQ(text::TrimBlanks("\t a \t", " \t"), "a");
    EXPECT_EQ(text::TrimBlanks("   "), "");
    EXPECT_EQ(text::TrimBlanks(""), "");
}

TEST(HexDigit, BothLetterCasesAndNothingElse) {
    EXPECT_EQ(text::HexDigit('0'), 0);
    EXPECT_EQ(text::HexDigit('9'), 9);
    EXPECT_EQ(text::HexDigit('a'), 10);
    EXPECT_EQ(text::HexDigit('F'), 15);
    EXPECT_EQ(text::HexDigit('g'), -1);
    EXPECT_EQ(text::HexDigit(' '), -1);
}
