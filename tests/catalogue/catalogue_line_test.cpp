#include <gtest/gtest.h>

#include "base/line_reader.h"
#include "catalogue/catalogue_line.h"
#include "catalogue/catalogue_writer.h"
#include "catalogue/codec.h"

#include <string>
#include <vector>

using catalogue::LineFields;
using catalogue::LineKind;
using catalogue::SplitLine;

TEST(CatalogueLine, FourFieldsInOrder) {
    LineFields f;
    ASSERT_EQ(SplitLine("DW|http://a/b|TV|English/Spanish", f), LineKind::Channel);
    EXPECT_EQ(f.name, "DW");
    EXPECT_EQ(f.address, "http://a/b");
    EXPECT_EQ(f.category, "TV");
    EXPECT_EQ(f.language, "English/Spanish");
}

TEST(CatalogueLine, FieldsAfterTheFourthAreIgnored) {
    LineFields f;
    ASSERT_EQ(SplitLine("a|b|c|d|e|f", f), LineKind::Channel);
    EXPECT_EQ(f.language, "d");
}

TEST(CatalogueLine, ThreeSeparatorsMakeFourEmptyFields) {
    LineFields f;
    ASSERT_EQ(SplitLine("|||", f), LineKind::Channel);
    EXPECT_TRUE(f.name.empty() && f.address.empty() && f.category.empty() && f.language.empty());
}

TEST(CatalogueLine, LinesWithoutSeparatorAreNotChannelsAndShortLinesAreMalformed) {
    LineFields f;
    EXPECT_EQ(SplitLine("", f), LineKind::NotChannel);
    EXPECT_EQ(SplitLine("just text", f), LineKind::NotChannel);
    EXPECT_EQ(SplitLine("a|b", f), LineKind::Malformed);
    EXPECT_EQ(SplitLine("a|b|TV", f), LineKind::Malformed);
}

TEST(CatalogueLine, WriterJoinsCodesAndEndsWithCrLf) {
    std::string out;
    catalogue::AppendEncodedLine(out, "N", "U", "TV", "English");
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out.substr(out.size() - 2), "\r\n");
    EXPECT_EQ(modGenDec::DecodeLine(out.substr(0, out.size() - 2)), "N|U|TV|English");
}

TEST(LineReader, EndsLinesAtCarriageReturnWithOrWithoutLineFeed) {
    std::vector<std::string> lines;
    text::ForEachLine("one\r\ntwo\rthree\nstill three\r\n", [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three\nstill three"}));
}

TEST(LineReader, LastLineWithoutEndAndEmptyLines) {
    std::vector<std::string> lines;
    text::ForEachLine("\r\n\r\nlast", [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(lines, (std::vector<std::string>{"", "", "last"}));
    lines.clear();
    text::ForEachLine("", [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_TRUE(lines.empty());
}

TEST(LineReader, EveryTextCharacterSurvivesSaveAndReload) {
    // All of TAB and 32..254 written as one coded line, then read back as a file reader does.
    std::string name;
    for (int c = 32; c <= 254; ++c)
        if (c != '|') name.push_back(static_cast<char>(c));
    name.push_back('\t');
    std::string file;
    catalogue::AppendEncodedLine(file, name, "u", "TV", "x");
    std::vector<std::string> lines;
    text::ForEachLine(file, [&](std::string_view l) { lines.emplace_back(l); });
    ASSERT_EQ(lines.size(), 1u);
    LineFields f;
    const std::string decoded = modGenDec::DecodeLine(lines[0]);
    ASSERT_EQ(SplitLine(decoded, f), LineKind::Channel);
    EXPECT_EQ(f.name, name);
}
