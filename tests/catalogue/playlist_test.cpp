// Playlists of other players: extended M3U, plain M3U, M3U8 and PLS in, extended M3U out.
#include "catalogue/playlist.h"
#include "base/process_memory.h"
#include "catalogue/stream_options.h"

#include <gtest/gtest.h>

using playlist::Entry;
using playlist::Read;
using playlist::Resolve;

TEST(PlaylistRead, ExtendedM3uAttributesInAnyOrderQuotesAndCommasInNames) {
    const auto list = Read(
        "\xEF\xBB\xBF#EXTM3U url-tvg=\"http://guide.example/epg.xml.gz,http://other/epg.xml\"\r\n"
        "#EXTINF:-1 group-title=\"News, World\" tvg-language=\"English; French\" tvg-id=\"one.uk\" "
        "tvg-logo=\"http://l/1.png\" tvg-name=\"One HD\",One, the first\r\n"
        "http://s.example/one.m3u8\r\n"
        "#EXTINF:-1 radio=\"true\" tvg-id=two,Two Radio\n"
        "\n"
        "http://s.example/two.mp3\n"
        "#EXTINF:120,A \"quoted\" clip\r"
        "http://s.example/clip.mp4\r",
        "http://lists.example/all.m3u");
    ASSERT_EQ(list.problem, playlist::Problem::None);
    EXPECT_EQ(list.guideAddress, "http://guide.example/epg.xml.gz");
    ASSERT_EQ(list.entries.size(), 3u);
    const Entry& one = list.entries[0];
    EXPECT_EQ(one.name, "One HD");  // tvg-name wins over the text after the comma
    EXPECT_EQ(one.group, "News, World");
    EXPECT_EQ(one.language, "English/French");
    EXPECT_EQ(one.tvgId, "one.uk");
    EXPECT_EQ(one.logo, "http://l/1.png");
    EXPECT_EQ(one.duration, -1);
    EXPECT_EQ(list.entries[1].name, "Two Radio");
    EXPECT_TRUE(list.entries[1].radio);
    EXPECT_EQ(list.entries[1].tvgId, "two");  // unquoted value
    EXPECT_EQ(list.entries[2].name, "A \"quoted\" clip");
    EXPECT_EQ(list.entries[2].duration, 120);
    EXPECT_EQ(list.entries[2].address, "http://s.example/clip.mp4");
}

TEST(PlaylistRead, PlainM3uWithoutHeaderRelativeAddressesAndTheCodePage) {
    // UTF-8 stays UTF-8, whatever the script.
    const auto list = Read(
        "# a comment\nradio/caf\xC3\xA9.mp3\n../up.ts\n/root.ts\n//cdn.example/x.ts\n"
        "seg.ts?token=1\nhttp://abs.example/a\n#EXTINF:-1,\xE2\x82\xAC \xE4\xB8\xAD\nz.ts\n",
        "http://h.example/lists/sub/list.m3u?key=2#top");
    ASSERT_EQ(list.entries.size(), 7u);
    EXPECT_EQ(list.entries[0].address, "http://h.example/lists/sub/radio/caf\xC3\xA9.mp3");
    EXPECT_EQ(list.entries[1].address, "http://h.example/lists/up.ts");
    EXPECT_EQ(list.entries[2].address, "http://h.example/root.ts");
    EXPECT_EQ(list.entries[3].address, "http://cdn.example/x.ts");
    EXPECT_EQ(list.entries[4].address, "http://h.example/lists/sub/seg.ts?token=1");
    EXPECT_EQ(list.entries[5].address, "http://abs.example/a");
    EXPECT_EQ(list.entries[6].name, "\xE2\x82\xAC \xE4\xB8\xAD");
    EXPECT_TRUE(list.entries[0].name.empty());

    // A file that is not UTF-8 is read in the system's code page.
    const auto latin = Read("#EXTINF:-1,Caf\xE9\nhttp://x/y\n", "");
    ASSERT_EQ(latin.entries.size(), 1u);
    EXPECT_EQ(latin.entries[0].name, "Caf\xC3\xA9");

    // Local playlists resolve against their folder; absolute paths and drive letters stay.
    EXPECT_EQ(Resolve("song.mp3", "/home/me/music/list.m3u"), "/home/me/music/song.mp3");
    EXPECT_EQ(Resolve("/tmp/a.mp3", "/home/me/list.m3u"), "/tmp/a.mp3");
    EXPECT_EQ(Resolve("C:\\a.mp3", "D:\\lists\\l.m3u"), "C:\\a.mp3");
    EXPECT_EQ(Resolve("b.mp3", "D:\\lists\\l.m3u"), "D:\\lists\\b.mp3");
    EXPECT_EQ(Resolve("mms://x/y", "http://h/l.m3u"), "mms://x/y");
    EXPECT_EQ(Resolve("a.ts", "http://h.example"), "http://h.example/a.ts");
}

TEST(PlaylistRead, PlsInAnyOrderAndLimits) {
    const auto list = Read(
        "[playlist]\nNumberOfEntries=3\nTitle2=Second\nFile2=two.mp3\nFile1=http://a/one\n"
        "Title1=First\nLength1=-1\nFile10=http://a/ten\nLength2=30\nVersion=2\n",
        "http://a/b/list.pls");
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[0].name, "First");
    EXPECT_EQ(list.entries[1].address, "http://a/b/two.mp3");
    EXPECT_EQ(list.entries[1].duration, 30);
    EXPECT_EQ(list.entries[2].address, "http://a/ten");  // File10 after File2

    const std::string longLine = "#EXTM3U\nhttp://a/" + std::string(playlist::kMaxLineBytes, 'x') + "\n";
    const auto refused = Read(longLine, "");
    EXPECT_EQ(refused.problem, playlist::Problem::LineTooLong);
    EXPECT_EQ(refused.problemLine, 2u);
    EXPECT_TRUE(refused.entries.empty());
    const std::string huge(playlist::kMaxBytes + 1, '\n');
    EXPECT_EQ(Read(huge, "").problem, playlist::Problem::TooLarge);
    EXPECT_TRUE(Read("", "").entries.empty());
    EXPECT_TRUE(Read("#EXTM3U\n#EXTINF:-1,Dangling\n", "").entries.empty());
}

TEST(PlaylistRead, ControlBytesAreCleanedAndEntriesPastTheCapAreCountedNotStored) {
    const auto cleaned =
        Read("#EXTM3U\n#EXTINF:-1 group-title=\"Ne\x03ws\",Cr\x06Name\tHD\x7f\nhttp://a/\x01one\n", "");
    ASSERT_EQ(cleaned.entries.size(), 1u);
    EXPECT_EQ(cleaned.entries[0].name, "CrName HD");
    EXPECT_EQ(cleaned.entries[0].group, "News");
    EXPECT_EQ(cleaned.entries[0].address, "http://a/one");

    // 64 MiB of the shortest lines (33 million entries): 200,000 kept, the rest counted, memory
    // a small multiple of the file.
    // (The PLS form needs numbers: past the cap by a million is enough to show the count.)
    for (const std::string line : {"a\n", "File1=x\n"}) {
        const bool pls = line.front() == 'F';
        std::string text = pls ? "[playlist]\n" : "";
        const std::size_t size = pls ? std::size_t{16} << 20 : playlist::kMaxBytes;
        text.reserve(size);
        for (std::size_t i = 0; text.size() + 24 < size; ++i) {
            if (pls)
                text.append("File").append(std::to_string(i)).append("=x\n");
            else
                text += line;
        }
        const std::uint64_t before = base::ResidentBytes();
        const auto list = Read(text, "http://host/list.m3u");
#ifndef __SANITIZE_ADDRESS__
        // (The address sanitizer keeps freed memory resident on purpose: there this says nothing.)
        EXPECT_LT(base::ResidentBytes(), before + 3 * playlist::kMaxBytes) << line;
#else
        (void)before;
#endif
        EXPECT_EQ(list.problem, playlist::Problem::None);
        ASSERT_EQ(list.entries.size(), playlist::kMaxEntries) << line;
        EXPECT_GT(list.leftOut, std::size_t{1'000'000}) << line;
        EXPECT_EQ(list.entries.back().address.substr(0, 7), "http://");
    }
}

TEST(PlaylistWrite, ReadingAnExportGivesTheSameEntries) {
    std::vector<Entry> entries(4);
    entries[0] = {"Caf\xC3\xA9 TV",
                  "http://a.example/1.ts",
                  "",
                  "English/French",
                  "News",
                  "http://l.example/1.png",
                  false,
                  -1,
                  "101",
                  "",
                  "shift;2;"};  // its archive goes out and comes back
    entries[1] = {"Say \"hi\", twice", "http://a.example/2.mp3", "", "German", "Radio", "", true, -1, "", "", ""};
    entries[2] = {"Plain", "mms://a.example/3", "", "", "", "", false, -1, "", "", ""};
    entries[3] = {"Comma, in name",
                  "rtsp://a.example/4?x=1&y=2",
                  "id.4",
                  "Hindi",
                  "Video",
                  "",
                  false,
                  95,
                  "7",
                  "",
                  "default;0;http://a.example/arc/{utc}"};
    EXPECT_EQ(playlist::WriteM3u(entries).rfind("#EXTM3U\n", 0), 0u) << "no guide: a bare header";
    const std::string text = playlist::WriteM3u(entries, "http://g.example/epg.xml.gz");
    EXPECT_EQ(text.rfind("#EXTM3U url-tvg=\"http://g.example/epg.xml.gz\"\n", 0), 0u);
    EXPECT_NE(text.find("Caf\xC3\xA9 TV"), std::string::npos) << "written as UTF-8";
    const auto back = Read(text, "");
    ASSERT_EQ(back.entries.size(), entries.size());
    EXPECT_EQ(back.guideAddress, "http://g.example/epg.xml.gz");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(back.entries[i].name, entries[i].name) << i;
        EXPECT_EQ(back.entries[i].tvgId, entries[i].tvgId) << i;
        EXPECT_EQ(back.entries[i].logo, entries[i].logo) << i;
        EXPECT_EQ(back.entries[i].number, entries[i].number) << i;
        EXPECT_EQ(back.entries[i].address, entries[i].address) << i;
        EXPECT_EQ(back.entries[i].language, entries[i].language) << i;
        EXPECT_EQ(back.entries[i].group, entries[i].group) << i;
        EXPECT_EQ(back.entries[i].radio, entries[i].radio) << i;
        EXPECT_EQ(back.entries[i].duration, entries[i].duration) << i;
        EXPECT_EQ(back.entries[i].catchup, entries[i].catchup) << i;
    }
}

// The headers a playlist names for an entry, in each of its forms, stay with that entry alone,
// come back from an export, and a header that would smuggle in another is refused.
TEST(PlaylistRead, StreamOptionsInEveryFormStayWithTheirEntryAndComeBackFromAnExport) {
    const playlist::Playlist list = playlist::Read(
        "#EXTM3U\n#EXTINF:-1,One\n#EXTVLCOPT:http-referrer=http://portal.example/\n"
        "#EXTVLCOPT:http-user-agent=Agent/1\n#EXTVLCOPT:http-user-agent=Evil\x01X-Injected: 1\n"
        "#EXTVLCOPT:network-caching=1000\nhttp://a.example/1.ts\n"
        "#EXTINF:-1,Two\n#EXTHTTP:{\"Origin\":\"http://o.example\",\"X-Token\":\"a=b&c\"}\nhttp://a.example/2.ts\n"
        "#EXTINF:-1,Three\nhttp://a.example/3.ts|User-Agent=Pipe%2F2&Referer=http://r.example/\n"
        "#EXTINF:-1,Four\nhttp://a.example/4.ts\n",
        "");
    ASSERT_EQ(list.entries.size(), 4u);
    const auto headers = [&](int i) { return stream_options::Read(list.entries[static_cast<std::size_t>(i)].options); };
    EXPECT_EQ(stream_options::Value(headers(0), "User-Agent"), "Agent/1") << "the refused line changed nothing";
    EXPECT_EQ(stream_options::Value(headers(0), "Referer"), "http://portal.example/");
    EXPECT_EQ(headers(0).size(), 2u);
    EXPECT_EQ(stream_options::Value(headers(1), "origin"), "http://o.example");
    EXPECT_EQ(stream_options::Value(headers(1), "X-Token"), "a=b&c");
    EXPECT_EQ(list.entries[2].address, "http://a.example/3.ts");
    EXPECT_EQ(stream_options::Value(headers(2), "User-Agent"), "Pipe/2");
    EXPECT_EQ(stream_options::Value(headers(2), "Referer"), "http://r.example/");
    EXPECT_TRUE(list.entries[3].options.empty()) << "options end with their entry";

    const playlist::Playlist again = playlist::Read(playlist::WriteM3u(list.entries), "");
    ASSERT_EQ(again.entries.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(again.entries[i].address, list.entries[i].address);
        EXPECT_EQ(stream_options::Read(again.entries[i].options), stream_options::Read(list.entries[i].options)) << i;
    }
}
