#include <gtest/gtest.h>

#include "widgets/qt_text.h"

TEST(QtText, ConvertsWindows1252BothWays) {
    EXPECT_EQ(ToQt("plain"), QStringLiteral("plain"));
    EXPECT_EQ(ToQt("\x80 \xD6sterreich"), QString::fromUtf8("\xE2\x82\xAC \xC3\x96sterreich"));
    EXPECT_EQ(FromQt(QString::fromUtf8("\xE2\x82\xAC \xC3\x96sterreich")), "\x80 \xD6sterreich");
    EXPECT_EQ(FromQt(QString::fromUtf8("\xE4\xB8\xAD")), "?");  // outside the code page
}
