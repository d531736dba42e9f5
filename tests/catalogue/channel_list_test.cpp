#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue_writer.h"
#include "catalogue/channel_list.h"
#include "catalogue/codec.h"
#include "support/temp_dir.h"

using catalogue::ChannelQuery;
using catalogue::FilterChannels;

namespace {

struct Line {
    const char* name;
    const char* category;
    const char* language;
};

std::string Catalogue(std::initializer_list<Line> lines) {
    std::string out;
    for (const Line& l : lines)
        catalogue::AppendEncodedLine(out, l.name, std::string("http://x/") + l.name, l.category, l.language);
    return out;
}

std::vector<std::string> Names(const catalogue::ChannelListResult& r) {
    std::vector<std::string> names;
    for (const auto& c : r.channels) names.push_back(c.name);
    return names;
}

ChannelQuery Query(const char* category, const char* filter, bool gather = true) {
    ChannelQuery q;
    q.category = category;
    q.languageFilter = filter;
    q.gatherLanguages = gather;
    return q;
}

}  // namespace

TEST(ChannelList, KeepsCategoryInFileOrderWithDuplicates) {
    const auto text = Catalogue({{"B", "TV", "English"},
                                 {"R", "Radio", "English"},
                                 {"A", "TV", "French"},
                                 {"B", "TV", "English"},
                                 {"lower", "tv", "English"}});
    const auto r = FilterChannels(text, Query("TV", "All"));
    EXPECT_EQ(Names(r), (std::vector<std::string>{"B", "A", "B"}));
    EXPECT_EQ(r.channels[0].address, "http://x/B");
    EXPECT_EQ(r.channels[0].category, "TV");
}

TEST(ChannelList, FilterIsACaseInsensitiveSubstring) {
    const auto text = Catalogue({{"a", "TV", "English"},
                                 {"b", "TV", "ENGLISH"},
                                 {"c", "TV", "English/Spanish"},
                                 {"d", "TV", "Indian English"},
                                 {"e", "TV", "French"},
                                 {"f", "TV", "Arabic"}});
    EXPECT_EQ(Names(FilterChannels(text, Query("TV", "English"))), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(Names(FilterChannels(text, Query("TV", "Arab"))), std::vector<std::string>{"f"});
    // Accented capitals fold too.
    const auto accented = Catalogue({{"x", "TV", "\xC9QUATEUR"}});
    EXPECT_EQ(FilterChannels(accented, Query("TV", "\xE9quateur")).channels.size(), 1u);
}

TEST(ChannelList, LanguagesAreGatheredFromTheWholeCategoryAndSorted) {
    const auto text = Catalogue({{"a", "TV", "English/French/"},
                                 {"b", "TV", "german"},
                                 {"c", "TV", "Spanish"},
                                 {"d", "Radio", "Dutch"},
                                 {"e", "TV", "English"}});
    const auto r = FilterChannels(text, Query("TV", "Spanish"));
    EXPECT_EQ(Names(r), std::vector<std::string>{"c"});
    EXPECT_EQ(r.gathered, "English|French|german|Spanish|");
    EXPECT_EQ(r.languages, (std::vector<std::string>{"English", "French", "Spanish", "german"}));
    EXPECT_TRUE(r.filterIsGathered);
}

TEST(ChannelList, FirstLetterCaseMetIsListed) {
    const auto r = FilterChannels(Catalogue({{"a", "TV", "english"}, {"b", "TV", "English"}}), Query("TV", "All"));
    EXPECT_EQ(r.languages, std::vector<std::string>{"english"});
    EXPECT_FALSE(r.filterIsGathered);  // "All" itself is never gathered
}

TEST(ChannelList, GatheringMatchesByEndOfText) {
    // Swiss German first: a later German is taken as present already.
    auto r = FilterChannels(Catalogue({{"a", "TV", "Swiss German"}, {"b", "TV", "German"}}), Query("TV", "All"));
    EXPECT_EQ(r.languages, std::vector<std::string>{"Swiss German"});
    // German first: Swiss German is still added.
    r = FilterChannels(Catalogue({{"a", "TV", "German"}, {"b", "TV", "Swiss German"}}), Query("TV", "All"));
    EXPECT_EQ(r.languages, (std::vector<std::string>{"German", "Swiss German"}));
}

TEST(ChannelList, EmptyCategoryAndUnknownFilter) {
    const auto text = Catalogue({{"a", "TV", "English"}});
    auto r = FilterChannels(text, Query("XXX", "English"));
    EXPECT_TRUE(r.channels.empty());
    EXPECT_TRUE(r.languages.empty());
    r = FilterChannels(text, Query("TV", "French"));
    EXPECT_TRUE(r.channels.empty());
    EXPECT_EQ(r.languages, std::vector<std::string>{"English"});
    EXPECT_FALSE(r.filterIsGathered);
}

TEST(ChannelList, NoGatheringWhenNotAsked) {
    const auto r = FilterChannels(Catalogue({{"a", "TV", "English"}}), Query("TV", "All", false));
    EXPECT_EQ(r.channels.size(), 1u);
    EXPECT_TRUE(r.gathered.empty());
    EXPECT_TRUE(r.languages.empty());
}

TEST(ChannelList, ShortAndOverlongLinesAreSkippedAndTheRestStillLoads) {
    std::string text = Catalogue({{"first", "TV", "English"}});
    text += modGenDec::EncodeLine("two|fields") + "\r\n";
    text += modGenDec::EncodeLine("three|fields|TV") + "\r\n";
    text += std::string(40000, 'x') + "\r\n";  // too long for the codec
    text += modGenDec::EncodeLine("no separator at all") + "\r\n";
    text += Catalogue({{"last", "TV", "English"}});
    const auto r = FilterChannels(text, Query("TV", "All"));
    EXPECT_EQ(Names(r), (std::vector<std::string>{"first", "last"}));
    EXPECT_EQ(r.skippedLines, 3u);
}

TEST(ChannelList, EmptyFieldsLineIsUnderNoCategory) {
    std::string text = modGenDec::EncodeLine("|||") + "\r\n";
    EXPECT_TRUE(FilterChannels(text, Query("TV", "All")).channels.empty());
}

TEST(ChannelList, LoadChannelsReadsTheFileAndReportsAMissingOne) {
    TempDir dir;
    EXPECT_FALSE(catalogue::LoadChannels(dir / "Data.txt", Query("TV", "All")).has_value());
    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(catalogue::LoadChannels(dir / "folder", Query("TV", "All")).has_value());
    dir.write("Data.txt", Catalogue({{"a", "TV", "English"}}));
    const auto r = catalogue::LoadChannels(dir / "Data.txt", Query("TV", "All"));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(Names(*r), std::vector<std::string>{"a"});
}

namespace {

// The language box's rule written the plain way: a part is present when "part|" occurs in
// the gathered text, letter case ignored.
std::string GatherPlainly(const std::vector<std::string>& values) {
    std::string gathered;
    auto fold = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    auto add = [&](const std::string& part) {
        if (fold(gathered).find(fold(part) + "|") == std::string::npos) gathered += part + "|";
    };
    for (const std::string& v : values) {
        if (v.find('/') == std::string::npos) {
            add(v);
            continue;
        }
        std::size_t start = 0;
        for (;;) {
            const std::size_t slash = v.find('/', start);
            const std::string part = v.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            if (!part.empty()) add(part);
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
    }
    return gathered;
}

}  // namespace

TEST(ChannelList, GatheringGivesWhatThePlainRuleGives) {
    // Short texts from a small alphabet, so endings, letter case, empty parts and slashes
    // collide often.
    std::mt19937 rng(11);
    const char alphabet[] = "aAbB/ ";
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> values;
        std::string catalogue;
        for (int i = 0; i < 40; ++i) {
            std::string v;
            for (std::size_t len = rng() % 6; len > 0; --len) v.push_back(alphabet[rng() % 6]);
            values.push_back(v);
            catalogue::AppendEncodedLine(catalogue, "n", "http://x/", "TV", v);
        }
        const std::string filter = values[rng() % values.size()];
        const auto r = FilterChannels(catalogue, Query("TV", filter.empty() ? "All" : filter.c_str()));
        const std::string expected = GatherPlainly(values);
        ASSERT_EQ(r.gathered, expected) << "round " << round;
        std::string foldedExpected = expected;
        for (char& c : foldedExpected) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::string foldedFilter = filter + "|";
        for (char& c : foldedFilter) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!filter.empty()) {
            EXPECT_EQ(r.filterIsGathered, foldedExpected.find(foldedFilter) != std::string::npos);
        }
    }
}

// Every line its own language: gathering used to search the whole gathered text for each new
// one, which at this size took longer than the test's time limit.
TEST(ChannelList, ManyDistinctLanguagesAreGatheredOnceEach) {
    std::string text;
    const int n = 200000;
    for (int i = 0; i < n; ++i)
        catalogue::AppendEncodedLine(text, "n", "http://x/", "TV", "L" + std::to_string(i) + "x");
    const auto r = FilterChannels(text, Query("TV", "All"));
    ASSERT_EQ(r.languages.size(), static_cast<std::size_t>(n));
    EXPECT_TRUE(std::is_sorted(r.languages.begin(), r.languages.end()));
    EXPECT_EQ(r.languages.front(), "L0x");
}

// Millions of tiny lines would take many times the file's size as rows: such a catalogue is
// refused whole, while one of ordinary lines of any accepted size loads.
TEST(ChannelList, ACatalogueOfTinyLinesBeyondTheMemoryBudgetIsRefused) {
    std::string tiny;
    catalogue::AppendEncodedLine(tiny, "a", "h", "TV", "e");
    const std::string line = tiny;
    while (tiny.size() < (std::size_t{64} << 20)) tiny += tiny.size() * 2 <= (std::size_t{64} << 20) ? tiny : line;
    EXPECT_FALSE(catalogue::FitsInMemory(tiny));
    std::string ordinary;
    for (int i = 0; ordinary.size() < (std::size_t{64} << 20); ++i)
        catalogue::AppendEncodedLine(ordinary, "Channel " + std::to_string(i) + " Live",
                                     "http://streams.example.test/live/" + std::to_string(i) + "/index.m3u8", "TV",
                                     "English/French");
    EXPECT_TRUE(catalogue::FitsInMemory(ordinary));
    EXPECT_TRUE(catalogue::FitsInMemory(line));
    EXPECT_TRUE(catalogue::FitsInMemory(""));

    TempDir dir;
    dir.write("Data.txt", tiny);
    const auto refused = catalogue::LoadChannels(dir / "Data.txt", Query("TV", "All"));
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->tooLarge);
    EXPECT_TRUE(refused->channels.empty());
}
