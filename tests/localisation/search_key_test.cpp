#include "localisation/search_key.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "base/windows1252.h"

using localisation::SearchKey;
using localisation::SearchKeyCp1252;

namespace {
bool Finds(std::string_view cp1252Name, std::string_view typedUtf8) {
    return text::ContainsFolded(SearchKeyCp1252(cp1252Name), SearchKey(typedUtf8));
}
}  // namespace

// What a user types finds a catalogue name (Windows-1252 bytes) whatever its letter case and
// accents, on either side; other letters do not match.
TEST(SearchKey, CaseAndAccentsDoNotCountOnEitherSide) {
    EXPECT_TRUE(Finds("Z\xFCrich Info", "zur"));
    EXPECT_TRUE(Finds("Z\xFCrich Info", "Z\xC3\x9CRICH"));  // "ZÜRICH" typed
    EXPECT_TRUE(Finds("Zurich Info", "z\xC3\xBCr"));        // "zür" typed, the name without accents
    EXPECT_TRUE(Finds("Caf\xE9 Musique", "CAFE"));
    EXPECT_TRUE(
        Finds("Stra\xDF"
              "e 1",
              "strasse"));
    EXPECT_TRUE(Finds("Canal \xD1", "canal n"));
    EXPECT_TRUE(Finds("Any", ""));  // nothing typed: every row
    EXPECT_FALSE(Finds("Zurich", "zar"));
    EXPECT_FALSE(Finds("Caf\xE9", "cafes"));
    // Text that is not UTF-8 still gives a key (the byte rules), not an error.
    EXPECT_EQ(SearchKey("AB\xFF"), text::FoldCase("AB\xFF"));
}

TEST(SearchKey, TheFindLineFoldsCaseInTheActiveCodePage) {
    ASSERT_TRUE(cp1252::SetCodePage(1251));
    // "ПЕРВЫЙ" and "первый" in Windows-1251 give the same key, as "FIRST" and "first" do.
    EXPECT_EQ(SearchKeyCp1252("\xCF\xC5\xD0\xC2\xDB\xC9"), SearchKeyCp1252("\xEF\xE5\xF0\xE2\xFB\xE9"));
    ASSERT_TRUE(cp1252::SetCodePage(1252));
    EXPECT_EQ(SearchKeyCp1252("\xC9t\xE9"), SearchKeyCp1252("ete"));
}
