#include "catalogue/playlist_sources.h"

#include <gtest/gtest.h>

#include "base/file_io.h"
#include "catalogue/playlist.h"
#include "support/temp_dir.h"

using sources::Fetched;
using sources::Refreshed;
using sources::Source;

namespace {
const std::string kList = "#EXTM3U\n#EXTINF:-1 group-title=\"News\",One\nhttp://example.com/1.ts\n";
const std::string kChanged = kList + "#EXTINF:-1,Two\nhttp://example.com/2.ts\n";

std::string CopyOf(const Source& s) { return base::ReadFileCapped(sources::CopyPath(s), 1 << 20).value_or("none"); }

class Sources : public ::testing::Test {
protected:
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(sources::CopyPath(Source{"1", {}, {}, {}, {}, 0, {}, {}, {}}).parent_path(), ec);
        std::filesystem::remove(sources::SourcesPath(), ec);
    }
};
}  // namespace

// A web source is asked with the validators of its copy; a 304 keeps the copy, a new playlist
// replaces it, and an error page, an empty answer or no answer at all leave it as it was.
TEST_F(Sources, AWebRefreshReplacesTheCopyOnlyWithANewPlaylist) {
    Source s{"1", "Provider", "http://example.com/list.m3u", {}, {}, 0, {}, {}, {}};
    std::vector<std::pair<std::string, std::string>> asked;  // the validators of each fetch
    Fetched answer{200, {}, kList, "\"v1\"", "Mon, 07 Dec 2026 20:00:00 GMT", false};
    const sources::Fetcher fetch = [&](const std::string& address, const std::string& etag,
                                       const std::string& lastModified) {
        EXPECT_EQ(address, s.origin);
        asked.emplace_back(etag, lastModified);
        return answer;
    };
    playlist::Playlist read;
    ASSERT_EQ(sources::Refresh(s, fetch, 1000, &read).outcome, Refreshed::Outcome::Replaced);
    EXPECT_EQ(CopyOf(s), kList);
    ASSERT_EQ(read.entries.size(), 1u);
    EXPECT_EQ(read.entries[0].group, "News");
    EXPECT_EQ(s.etag, "\"v1\"");
    EXPECT_EQ(s.refreshedAt, 1000);

    answer = Fetched{304, {}, {}, {}, {}, false};
    EXPECT_EQ(sources::Refresh(s, fetch, 2000).outcome, Refreshed::Outcome::Unchanged);
    EXPECT_EQ(asked.back(), (std::pair<std::string, std::string>{"\"v1\"", "Mon, 07 Dec 2026 20:00:00 GMT"}));
    EXPECT_EQ(s.refreshedAt, 2000);
    EXPECT_EQ(s.etag, "\"v1\"") << "a 304 keeps the validators";

    for (const Fetched& bad :
         {Fetched{200, {}, "<html>Service unavailable</html>", {}, {}, false},
          Fetched{404, {}, kChanged, {}, {}, false}, Fetched{0, "Could not connect to server", {}, {}, {}, false}}) {
        answer = bad;
        const Refreshed r = sources::Refresh(s, fetch, 3000);
        EXPECT_EQ(r.outcome, Refreshed::Outcome::Failed) << bad.status;
        EXPECT_FALSE(r.why.empty());
        EXPECT_EQ(CopyOf(s), kList) << "the copy from before stays";
        EXPECT_EQ(s.refreshedAt, 2000);
    }

    answer = Fetched{200, {}, kChanged, "\"v2\"", {}, false};
    EXPECT_EQ(sources::Refresh(s, fetch, 4000).outcome, Refreshed::Outcome::Replaced);
    EXPECT_EQ(CopyOf(s), kChanged);
    EXPECT_EQ(s.etag, "\"v2\"");
    EXPECT_EQ(s.lastModified, "") << "validators the new answer lacks are dropped";

    // Without a copy, there is nothing a 304 could keep: the fetch asks unconditionally.
    std::filesystem::remove(sources::CopyPath(s));
    answer = Fetched{200, {}, kList, {}, {}, false};
    EXPECT_EQ(sources::Refresh(s, fetch, 5000).outcome, Refreshed::Outcome::Replaced);
    EXPECT_EQ(asked.back(), (std::pair<std::string, std::string>{}));
}

// A file source is read again; the copy changes only when the file did, and stays when the file
// is gone. The list of sources reads back as written, control bytes in names made spaces.
TEST_F(Sources, AFileIsReadAgainAndTheListReadsBack) {
    TempDir dir;
    dir.write("My List.m3u", kList);
    Source s{"7", sources::NameFor((dir / "My List.m3u").string()), (dir / "My List.m3u").string(), {}, {}, 0, {}, {},
             {}};
    EXPECT_EQ(s.name, "My List");
    std::filesystem::create_directories(sources::CopyPath(s).parent_path());
    TempDir::write_to(sources::CopyPath(s), kList);  // left by a source of the same id, removed
    const sources::Fetcher never = [](const std::string&, const std::string&, const std::string&) {
        ADD_FAILURE() << "a file is not fetched";
        return Fetched{};
    };
    EXPECT_EQ(sources::Refresh(s, never, 10).outcome, Refreshed::Outcome::Replaced);
    EXPECT_EQ(sources::Refresh(s, never, 20).outcome, Refreshed::Outcome::Unchanged);
    dir.write("My List.m3u", kChanged);
    EXPECT_EQ(sources::Refresh(s, never, 30).outcome, Refreshed::Outcome::Replaced);
    std::filesystem::remove(dir / "My List.m3u");
    EXPECT_EQ(sources::Refresh(s, never, 40).outcome, Refreshed::Outcome::Failed);
    EXPECT_EQ(CopyOf(s), kChanged);
    Source ftp{"8", "x", "ftp://example.com/list.m3u", {}, {}, 0, {}, {}, {}};
    EXPECT_EQ(sources::Refresh(ftp, never, 50).outcome, Refreshed::Outcome::Failed) << "neither the web nor a file";

    Source web{"12", "Tab\there\nand line", "https://example.com/tv/", "\"e\"", "", 1234, {}, {}, {}};
    ASSERT_TRUE(sources::SaveSources({s, web}));
    const std::vector<Source> back = sources::LoadSources();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].origin, s.origin);
    EXPECT_EQ(back[0].refreshedAt, 30);
    EXPECT_EQ(back[1].name, "Tab here and line");
    EXPECT_EQ(back[1].etag, "\"e\"");
    EXPECT_EQ(sources::NewId(back), "13");
    EXPECT_EQ(sources::NameFor(web.origin), "tv");
    EXPECT_EQ(sources::NameFor("http://example.com/get.php?user=a&type=m3u"), "get.php");
    // Damaged lines (no numeric id, no origin, a repeated id) are left out.
    EXPECT_EQ(
        sources::ReadSources("x\tA\thttp://a/\t\t\t0\n3\tB\t\t\t\t0\n3\tC\thttp://c/\t\t\t0\n3\tD\thttp://d/\t\t\t0\n")
            .size(),
        1u);
    EXPECT_TRUE(sources::IsStale(web, 1234 + 24 * 3600));
    EXPECT_FALSE(sources::IsStale(web, 1234 + 3600));
    EXPECT_TRUE(sources::IsStale(web, 1000)) << "a clock set back";
}

// Seven sources from a server with huge validators once pushed the list past what it read, and
// the next save wrote it empty: every source gone.
TEST_F(Sources, TheListIsNeverLostToHugeValidatorsAnUnreadableFileOrAHandEditedId) {
    Source s{"1", "Provider", "http://example.com/list.m3u", {}, {}, 0, {}, {}, {}};
    const std::string huge(90 * 1024, 'e');
    const sources::Fetcher fetch = [&](const std::string&, const std::string& etag, const std::string&) {
        EXPECT_TRUE(etag.empty()) << "a validator too large to keep is never sent";
        return Fetched{200, {}, kList, huge, huge, false};
    };
    ASSERT_EQ(sources::Refresh(s, fetch, 10).outcome, Refreshed::Outcome::Replaced);
    ASSERT_EQ(sources::Refresh(s, fetch, 20).outcome, Refreshed::Outcome::Replaced);
    EXPECT_TRUE(s.etag.empty() && s.lastModified.empty());

    // A list that cannot be read whole is set aside untouched, not read as empty and overwritten.
    std::filesystem::create_directories(sources::SourcesPath().parent_path());
    const std::string big = "1\tA\thttp://a/\t" + std::string(17 << 20, 'v') + "\t\t0\n";
    TempDir::write_to(sources::SourcesPath(), big);
    const sources::Loaded loaded = sources::LoadSourcesReport();
    EXPECT_TRUE(loaded.list.empty());
    ASSERT_FALSE(loaded.setAside.empty());
    EXPECT_EQ(base::ReadFileCapped(loaded.setAside, 32 << 20).value_or("").size(), big.size());
    EXPECT_FALSE(std::filesystem::exists(sources::SourcesPath()));
    std::filesystem::remove(loaded.setAside);

    // An id of nine digits (the most the list reads): the next one is still one it reads.
    const std::vector<Source> edited = sources::ReadSources("999999999\tA\thttp://a/\t\t\t0\n2\tB\thttp://b/\t\t\t0\n");
    ASSERT_EQ(edited.size(), 2u);
    const std::string next = sources::NewId(edited);
    EXPECT_EQ(next, "1");
    Source added{next, "C", "http://c/", {}, {}, 0, {}, {}, {}};
    std::vector<Source> all = edited;
    all.push_back(added);
    EXPECT_EQ(sources::ReadSources(sources::WriteSources(all)).size(), 3u);

    // A source's own guides: web addresses only, kept in a column only such a source has.
    EXPECT_EQ(sources::WebGuides(" http://g.example/a.xml , file:///etc/passwd,https://g.example/b.xml.gz"),
              "http://g.example/a.xml https://g.example/b.xml.gz");
    all[0].guides = "http://g.example/a.xml";
    const std::string written = sources::WriteSources(all);
    EXPECT_EQ(sources::ReadSources(written)[0].guides, "http://g.example/a.xml");
    EXPECT_EQ(written.substr(written.find('\n') + 1).find("http://g.example"), std::string::npos)
        << "the others' lines are as before";
}
