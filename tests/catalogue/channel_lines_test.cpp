// The one walk over coded catalogue text and the two writers of coded lists.
#include <gtest/gtest.h>

#include <stdexcept>

#include "catalogue/catalogue_writer.h"
#include "catalogue/channel_lines.h"
#include "catalogue/codec.h"
#include "catalogue/favorites.h"
#include "catalogue/update_document.h"

namespace {

std::string Coded(std::string_view line) { return modGenDec::EncodeLine(line) + "\r\n"; }

}  // namespace

TEST(ChannelLines, WalksChannelsPassesOverStrayTextAndCountsDamagedLines) {
    const std::string text = Coded("One|http://a/1|TV|English") + Coded("") + Coded("stray text") +
                             Coded("Broken|http://b|TV") + Coded("Two|http://a/2|Radio|German|extra") +
                             std::string(modGenDec::kMaxLineLength + 1, 'x') + "\r" + Coded("Three|u|Video|");
    std::vector<std::string> names;
    const std::size_t skipped =
        catalogue::ForEachChannelLine(text, [&](const catalogue::LineFields& f) { names.emplace_back(f.name); });
    EXPECT_EQ(names, (std::vector<std::string>{"One", "Two", "Three"}));
    EXPECT_EQ(skipped, 2u);  // the three-field line and the over-long one

    const std::vector<catalogue::Channel> channels = catalogue::DecodeChannels(text);
    ASSERT_EQ(channels.size(), 3u);
    EXPECT_EQ(channels[1].address, "http://a/2");
    EXPECT_EQ(channels[1].category, "Radio");
    EXPECT_EQ(channels[1].language, "German");  // fields after the fourth are ignored
    EXPECT_EQ(channels[2].language, "");
}

TEST(ChannelLines, FavoritesWrittenAndReadBackGiveTheSameChannelsInOrder) {
    const std::vector<catalogue::LineFields> favorites = {{"Zeta \xC9t\xE9", "http://z/1", "TV", "French"},
                                                          {"Alpha", "mms://a", "Radio", "English/Spanish"}};
    const std::string file = catalogue::EncodeFavorites(favorites);
    const std::vector<catalogue::Channel> back = catalogue::ParseFavorites(file);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].name, "Zeta \xC9t\xE9");
    EXPECT_EQ(back[1].address, "mms://a");
    EXPECT_EQ(back[1].language, "English/Spanish");
    EXPECT_EQ(catalogue::EncodeFavorites({}), "");
}

TEST(ChannelLines, TheUpdateDocumentFramesItsLinesAndItsBlockReadsBack) {
    const std::string document = catalogue::EncodeUpdateDocument({{"A", "http://a", "TV", "English"}});
    EXPECT_EQ(document.rfind("<data>\r\n", 0), 0u);
    EXPECT_EQ(document.substr(document.size() - 9), "</data>\r\n");
    std::string block;
    ASSERT_EQ(catalogue::ExtractDataBlock(document, block), catalogue::BlockResult::Found);
    const auto channels = catalogue::DecodeChannels(block);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].address, "http://a");
    EXPECT_EQ(catalogue::EncodeUpdateDocument({}), "<data>\r\n</data>\r\n");
}

TEST(ChannelLines, AnEntryTooLongForTheCodecIsRefusedWhole) {
    const std::string huge(modGenDec::kMaxLineLength, 'n');
    EXPECT_THROW(catalogue::EncodeFavorites({{huge, "u", "TV", "English"}}), std::overflow_error);
    EXPECT_THROW(catalogue::EncodeUpdateDocument({{"n", huge, "TV", "English"}}), std::overflow_error);
}
