#include <gtest/gtest.h>

#include "catalogue/update_document.h"

using catalogue::BlockResult;
using catalogue::ExtractDataBlock;

TEST(UpdateDocument, TheBlockLiesBetweenTheFirstMarkersInAnyLetterCase) {
    std::string block;
    ASSERT_EQ(ExtractDataBlock("<data>\r\nA\r\nB\r\n</data>\r\n", block), BlockResult::Found);
    EXPECT_EQ(block, "\r\nA\r\nB\r\n");
    ASSERT_EQ(ExtractDataBlock("<html><p>text</p><DATA>\r\nA\r\n</Data> more </data>", block), BlockResult::Found);
    EXPECT_EQ(block, "\r\nA\r\n");
    ASSERT_EQ(ExtractDataBlock("<data></data>", block), BlockResult::Found);
    EXPECT_EQ(block, "");
}

TEST(UpdateDocument, MissingOrUnfinishedMarkers) {
    std::string block = "untouched";
    EXPECT_EQ(ExtractDataBlock("", block), BlockResult::NoMarker);
    EXPECT_EQ(ExtractDataBlock("<html>404</html>", block), BlockResult::NoMarker);
    EXPECT_EQ(ExtractDataBlock("<data>\r\nA\r\n", block), BlockResult::Unfinished);
    EXPECT_EQ(ExtractDataBlock("</data> then <data> and nothing", block), BlockResult::Unfinished);
    EXPECT_EQ(block, "untouched");
}

TEST(UpdateDocument, PagesByCompany) {
    EXPECT_EQ(catalogue::UpdatePagePath(false), "/TV/Data.htm");
    EXPECT_EQ(catalogue::UpdatePagePath(true), "/update/Data.htm");
}
