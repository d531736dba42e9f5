// The programme guide: XMLTV read as a stream, names matched, gzip unpacked, the cache, and the
// update from a loopback server.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <thread>

#include "base/process_memory.h"
#include "guide/guide_store.h"
#include "guide/guide_update.h"
#include "guide/gunzip.h"
#include "guide/xmltv.h"
#include "support/temp_dir.h"
#include "support/tiny_http.h"

using guide::Find;
using guide::GuideData;
using guide::NormaliseName;
using guide::ParseTime;
using guide::XmltvReader;

namespace {

constexpr std::int64_t kDec7 = 1796601600;  // 2026-12-07 00:00:00 UTC

std::string Gzip(const std::string& plain) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, plain.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A guide with two of our channels (one by id, one by display name) and one that is not ours.
const char* const kGuide = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE tv SYSTEM "xmltv.dtd">
<tv generator-info-name="test">
  <channel id="one.uk"><display-name>Channel One</display-name></channel>
  <channel id="c2"><display-name lang="en">Deux &amp; Co HD</display-name><icon src="x"/></channel>
  <channel id="other"><display-name>Not Ours</display-name></channel>
  <programme start="20261207200000 +0100" stop="20261207210000 +0100" channel="one.uk">
    <title lang="en">Evening News</title><title lang="fr">Journal</title><desc>long text</desc>
  </programme>
  <programme start="20261207210000 +0100" stop="20261207230000 +0100" channel="one.uk"><title>Film</title></programme>
  <programme start="20261207233000 +0100" stop="20261208003000 +0100" channel="one.uk"><title>Late</title></programme>
  <programme start="20261207190000 +0000" channel="c2"><title>Caf&#233; Talk</title></programme>
  <programme start="20261207200000 +0000" stop="20261207203000 +0000" channel="c2"><title>Short</title></programme>
  <programme start="20261207190000 +0000" stop="20261207200000 +0000" channel="other"><title>Theirs</title></programme>
</tv>
)";

guide::Wanted OurChannels() {
    guide::Wanted wanted;
    wanted.ids = {"one.uk"};
    wanted.names = {NormaliseName("Deux & Co"), NormaliseName("Channel One")};
    return wanted;
}

GuideData ReadWhole(const std::string& xml, std::size_t pieceSize) {
    XmltvReader reader(OurChannels());
    for (std::size_t at = 0; at < xml.size(); at += pieceSize)
        EXPECT_TRUE(reader.feed(std::string_view(xml).substr(at, pieceSize))) << reader.error();
    EXPECT_TRUE(reader.finish()) << reader.error();
    return reader.take();
}

}  // namespace

TEST(GuideNames, LetterCaseSpacesPunctuationAndQualitySuffixesDoNotMatter) {
    EXPECT_EQ(NormaliseName("BBC One HD"), "bbcone");
    EXPECT_EQ(NormaliseName("bbc-one"), "bbcone");
    EXPECT_EQ(NormaliseName("  B.B.C. ONE (SD) "), "bbcone");
    EXPECT_EQ(NormaliseName("Rai 1 UHD"), "rai1");
    EXPECT_EQ(NormaliseName("Channel HD"), "channel");
    EXPECT_EQ(NormaliseName("HD"), "hd");  // a name that is only the suffix keeps it
    EXPECT_EQ(NormaliseName("Arte FHD"), "arte");
    EXPECT_EQ(NormaliseName("Shadow"), "shadow");  // "...d" is no suffix unless it is "hd"/"sd"
    EXPECT_EQ(NormaliseName("Caf\xC3\xA9 TV"), "caf\xC3\xA9tv");
}

TEST(GuideTimes, ZonesSecondsAndBadValues) {
    EXPECT_EQ(ParseTime("20261207000000 +0000"), kDec7);
    EXPECT_EQ(ParseTime("20261207000000"), kDec7);      // no zone is UTC
    EXPECT_EQ(ParseTime("202612070100 +0100"), kDec7);  // no seconds
    EXPECT_EQ(ParseTime("20261206190000 -0500"), kDec7);
    EXPECT_EQ(ParseTime("20261207053000 +0530"), kDec7);
    EXPECT_EQ(ParseTime("20240229120000"), ParseTime("20240301120000").value() - 86400);  // a leap day
    for (const char* bad : {"", "2026", "20261307000000", "20261200000000", "20261207250000", "20261207000000 +2500",
                            "20261207000000 0100", "2026120700000x", "20261207000000 +01"})
        EXPECT_FALSE(ParseTime(bad).has_value()) << bad;
}

TEST(XmltvRead, KeepsOnlyOurChannelsWhateverThePieceSize) {
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
        const GuideData data = ReadWhole(kGuide, piece);
        EXPECT_EQ(data.programmesSeen, 6u);
        ASSERT_EQ(data.schedules.size(), 2u) << piece;
        EXPECT_EQ(data.schedules.count("other"), 0u);
        // By tvg-id, and by a display name that differs in case, punctuation and "HD".
        const guide::Schedule* one = data.find("one.uk", "whatever");
        const guide::Schedule* two = data.find("", "deux & co");
        ASSERT_NE(one, nullptr);
        ASSERT_NE(two, nullptr);
        EXPECT_EQ(data.find("", "Channel One"), one);  // the name finds it too
        EXPECT_EQ(data.find("unknown.id", "Not Ours"), nullptr);
        ASSERT_EQ(one->size(), 3u);
        EXPECT_EQ((*one)[0].title, "Evening News");  // the first title
        EXPECT_EQ((*two)[0].title, "Caf\xC3\xA9 Talk");
        EXPECT_EQ((*two)[0].stop, (*two)[1].start);  // a missing stop is the next start
    }
}

TEST(XmltvRead, NowAndNextAcrossMidnightAndOverlaps) {
    const GuideData data = ReadWhole(kGuide, 4096);
    const guide::Schedule& one = *data.find("one.uk", "");
    // 20:30 local (+0100) is 19:30 UTC.
    auto at = Find(one, kDec7 + 19 * 3600 + 1800);
    ASSERT_TRUE(at.now && at.next);
    EXPECT_EQ(at.now->title, "Evening News");
    EXPECT_EQ(at.next->title, "Film");
    // In the gap 23:00-23:30 local nothing is on; "Late" is next. It runs past midnight.
    at = Find(one, kDec7 + 22 * 3600 + 10 * 60);
    EXPECT_EQ(at.now, nullptr);
    ASSERT_NE(at.next, nullptr);
    EXPECT_EQ(at.next->title, "Late");
    at = Find(one, kDec7 + 23 * 3600 + 15 * 60);  // 00:15 local, the next day
    ASSERT_NE(at.now, nullptr);
    EXPECT_EQ(at.now->title, "Late");
    EXPECT_EQ(at.now->stop, kDec7 + 23 * 3600 + 30 * 60);
    EXPECT_EQ(at.next, nullptr);

    // Overlapping entries: the one that started last is on; a repeated start keeps the later entry.
    GuideData overlap;
    overlap.schedules["x"] = {{100, 400, "Long", {}},
                              {200, 300, "Inserted", {}},
                              {300, 500, "After", {}},
                              {300, 450, "After, corrected", {}}};
    guide::Settle(overlap);
    const guide::Schedule& x = overlap.schedules["x"];
    ASSERT_EQ(x.size(), 3u);
    at = Find(x, 250);
    EXPECT_EQ(at.now->title, "Inserted");
    EXPECT_EQ(at.next->title, "After, corrected");
    at = Find(x, 350);
    EXPECT_EQ(at.now->title, "After, corrected");
    at = Find(x, 150);
    EXPECT_EQ(at.now->title, "Long");
    EXPECT_EQ(at.next->title, "Inserted");  // it interrupts "Long"
    GuideData gap;
    gap.schedules["y"] = {{100, 400, "Long", {}}, {200, 300, "Inserted", {}}};
    guide::Settle(gap);
    at = Find(gap.schedules["y"], 350);
    ASSERT_NE(at.now, nullptr);
    EXPECT_EQ(at.now->title, "Long");  // back to it once the insert ended
    EXPECT_EQ(at.next, nullptr);
}

TEST(XmltvRead, BrokenAndHostileGuidesEndWithAReason) {
    const auto fails = [](const std::string& xml) {
        XmltvReader reader(OurChannels());
        const bool ok = reader.feed(xml) && reader.finish();
        EXPECT_FALSE(ok) << xml.substr(0, 60);
        EXPECT_FALSE(reader.error().empty());
        return reader.error();
    };
    EXPECT_NE(fails("<tv><programme></tv>").find("line"), std::string::npos);
    fails("not xml at all");
    fails("<tv>");  // cut short
    EXPECT_NE(
        fails("<!DOCTYPE tv [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]><tv>&b;</tv>").find("entities"),
        std::string::npos);

    // Megabytes of nothing before the first element, or one endless attribute, end at 16 MiB
    // (the parser would hold such a token whole) however the bytes arrive.
    for (const std::string& start : {std::string(), std::string("<tv><channel id=\"")}) {
        XmltvReader reader(OurChannels());
        bool ok = reader.feed(start);
        const std::string filler(std::size_t{1} << 20, start.empty() ? ' ' : 'a');
        int fed = 0;
        for (; ok && fed < 64; ++fed) ok = reader.feed(filler);
        EXPECT_FALSE(ok);
        EXPECT_LE(fed, 18);
        EXPECT_NE(reader.error().find("16 MiB"), std::string::npos) << reader.error();
    }

    // Many guide channels with one of our names: only the first is kept.
    std::string crowd = "<tv>";
    for (int i = 0; i < 50; ++i)
        crowd += "<channel id=\"c" + std::to_string(i) +
                 "\"><display-name>Channel One</display-name></channel>"
                 "<programme start=\"20261207200000\" channel=\"c" +
                 std::to_string(i) + "\"><title>T</title></programme>";
    const GuideData crowded = ReadWhole(crowd + "</tv>", 4096);
    EXPECT_EQ(crowded.schedules.size(), 1u);
    EXPECT_EQ(crowded.byName.at("channelone"), "c0");

    // Bad times and missing attributes drop the programme, not the guide; a huge title is cut.
    const std::string longTitle(100000, 'x');
    const GuideData data = ReadWhole(
        "<tv><programme start=\"garbage\" channel=\"one.uk\"><title>A</title></programme>"
        "<programme channel=\"one.uk\"><title>B</title></programme>"
        "<programme start=\"20261207200000 +0000\"><title>C</title></programme>"
        "<programme start=\"20261207200000 +0000\" stop=\"20261207190000 +0000\" channel=\"one.uk\"><title>" +
            longTitle + "</title></programme></tv>",
        4096);
    const guide::Schedule* one = data.find("one.uk", "");
    ASSERT_NE(one, nullptr);
    ASSERT_EQ(one->size(), 1u);
    EXPECT_EQ((*one)[0].title.size(), guide::kMaxTitleBytes);
    EXPECT_EQ((*one)[0].stop, 0);  // a stop before the start is no stop
}

TEST(Gunzip, UnpacksInAnyPiecesPassesPlainTextAndRefusesDamage) {
    std::string plain;
    for (int i = 0; i < 20000; ++i) plain += "line " + std::to_string(i) + "\n";
    const std::string packed = Gzip(plain) + Gzip("and a second member\n");
    for (const std::size_t piece : {std::size_t{1}, std::size_t{1000}, packed.size()}) {
        std::string out;
        guide::Gunzip gz([&](std::string_view s) {
            out.append(s);
            return true;
        });
        for (std::size_t at = 0; at < packed.size(); at += piece)
            ASSERT_TRUE(gz.feed(std::string_view(packed).substr(at, piece))) << gz.error();
        EXPECT_TRUE(gz.finish());
        EXPECT_TRUE(gz.compressed());
        EXPECT_EQ(out, plain + "and a second member\n");
    }
    std::string out;
    guide::Gunzip text([&](std::string_view s) {
        out.append(s);
        return true;
    });
    EXPECT_TRUE(text.feed("<"));
    EXPECT_TRUE(text.feed("tv/>"));
    EXPECT_TRUE(text.finish());
    EXPECT_EQ(out, "<tv/>");

    std::string damaged = Gzip(plain);
    for (std::size_t i = 20; i < 60; ++i) damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    guide::Gunzip bad([](std::string_view) { return true; });
    EXPECT_FALSE(bad.feed(damaged) && bad.finish());
    guide::Gunzip cut([](std::string_view) { return true; });
    EXPECT_TRUE(cut.feed(Gzip(plain).substr(0, 100)));
    EXPECT_FALSE(cut.finish());
}

TEST(GuideCache, RoundTripsAndRefusesOtherFiles) {
    guide::Cache cache;
    cache.source = "http://guide.example/epg.xml.gz";
    cache.lastModified = "Mon, 07 Dec 2026 20:00:00 GMT";
    cache.data = ReadWhole(kGuide, 4096);
    cache.data.schedules["one.uk"][0].title = "Tab\there\nand a line";
    const auto back = guide::ReadCache(guide::WriteCache(cache));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->source, cache.source);
    EXPECT_EQ(back->lastModified, cache.lastModified);
    EXPECT_EQ(back->data.byId, cache.data.byId);
    EXPECT_EQ(back->data.byName, cache.data.byName);
    ASSERT_EQ(back->data.schedules.size(), 2u);
    EXPECT_EQ(back->data.schedules.at("one.uk")[0].title, "Tab here and a line");
    EXPECT_EQ(back->data.schedules.at("c2")[1].stop, cache.data.schedules.at("c2")[1].stop);
    EXPECT_FALSE(guide::ReadCache("Name|http://x|TV|English").has_value());

    // Descriptions: read from the guide, kept on a line of their own that an older cache
    // (or reader) does without, and cut at a whole character past their bound.
    EXPECT_EQ(back->data.schedules.at("one.uk")[0].desc, "long text");
    EXPECT_EQ(back->data.schedules.at("one.uk")[1].desc, "");
    std::string old = guide::WriteCache(cache);
    for (auto at = old.find("\nd\t"); at != std::string::npos; at = old.find("\nd\t"))
        old.erase(at + 1, old.find('\n', at + 1) - at);
    const auto older = guide::ReadCache(old);
    ASSERT_TRUE(older.has_value());
    EXPECT_EQ(older->data.schedules.at("one.uk")[0].title, "Tab here and a line");
    EXPECT_EQ(older->data.schedules.at("one.uk")[0].desc, "");
    std::string longDesc;
    while (longDesc.size() < guide::kMaxDescBytes + 100) longDesc += "caf\xC3\xA9 ";
    const GuideData cut = ReadWhole(R"(<tv><channel id="one.uk"/><programme start="20261207200000" channel="one.uk">)"
                                    "<title>T</title><desc>" +
                                        longDesc + "</desc></programme></tv>",
                                    4096);
    const std::string& desc = cut.schedules.at("one.uk")[0].desc;
    EXPECT_LE(desc.size(), guide::kMaxDescBytes);
    EXPECT_GT(desc.size(), guide::kMaxDescBytes - 8);
    EXPECT_EQ(longDesc.compare(0, desc.size(), desc), 0) << "cut, not garbled";
    EXPECT_NE(static_cast<unsigned char>(desc.back()), 0xC3u) << "never half a character";
    std::string tooLong = guide::WriteCache(cache) + "d\tone.uk\t0\t" + std::string(guide::kMaxDescBytes + 1, 'x');
    EXPECT_FALSE(guide::ReadCache(tooLong).has_value());
}

TEST(GuideUpdate, GzipFromTheServerThenNotModifiedThenFailuresKeepNothing) {
    TinyHttp server;
    server.route("/epg.xml.gz", 200, Gzip(kGuide));
    guide::UpdateRequest request;
    request.address = server.url("/epg.xml.gz");
    request.wanted = OurChannels();
    guide::UpdateResult result = guide::Update(request);
    ASSERT_EQ(result.outcome, guide::UpdateResult::Outcome::Updated) << result.message;
    EXPECT_EQ(result.lastModified, TinyHttp::kLastModified);
    EXPECT_NE(result.data.find("one.uk", ""), nullptr);
    EXPECT_GT(result.bytesUnpacked, result.bytesRead);

    // Asked again with the date it gave: the server's 304 leaves the guide as it is.
    server.route("/epg.xml.gz", 304, "");
    request.ifModifiedSince = result.lastModified;
    result = guide::Update(request);
    EXPECT_EQ(result.outcome, guide::UpdateResult::Outcome::Unchanged);
    EXPECT_NE(server.lastRequest().find(std::string("If-Modified-Since: ") + TinyHttp::kLastModified),
              std::string::npos);

    const auto failsWith = [&](const std::string& path, const std::string& words) {
        request.address = server.url(path);
        request.ifModifiedSince.clear();
        const guide::UpdateResult r = guide::Update(request);
        EXPECT_EQ(r.outcome, guide::UpdateResult::Outcome::Failed) << path;
        EXPECT_NE(r.message.find(words), std::string::npos) << r.message;
    };
    failsWith("/missing", "HTTP status 404");
    server.route("/broken", 200, "<tv><programme>");
    failsWith("/broken", "not valid XMLTV");
    server.route("/damaged", 200, Gzip(kGuide).substr(0, 200));
    failsWith("/damaged", "ends too early");
    server.route("/empty", 200, "");
    failsWith("/empty", "empty");
    // "Nothing" without end: refused at the size limit, not read for ever.
    server.endless("/endless", std::string(64 * 1024, ' '), 0);
    request.maxBytes = 4 << 20;
    failsWith("/endless", "larger than 4 MiB");
}

TEST(GuideUpdate, ANestingBombIsRefusedAtOnceAndLeavesNoMemoryBehind) {
    // 30 KB packed, 30 MB of elements opened and never closed: the parser would keep each one.
    std::string bomb = "<tv>";
    for (int i = 0; i < 10'000'000; ++i) bomb += "<a>";
    const std::string packed = Gzip(bomb);
    bomb = {};
    ASSERT_LT(packed.size(), 256u << 10);
    TinyHttp server;
    server.route("/bomb.xml.gz", 200, packed);
    guide::UpdateRequest request;
    request.address = server.url("/bomb.xml.gz");
    request.wanted = OurChannels();
    const std::uint64_t before = base::ResidentBytes();
    const guide::UpdateResult result = guide::Update(request);
    EXPECT_EQ(result.outcome, guide::UpdateResult::Outcome::Failed);
    EXPECT_NE(result.message.find("nests its elements"), std::string::npos) << result.message;
    EXPECT_LT(result.bytesUnpacked, std::uint64_t{4} << 20) << "stopped in the first pieces";
    EXPECT_LT(base::ResidentBytes(), before + (std::uint64_t{64} << 20));
}

TEST(GuideUpdate, ASlowGuideIsCancelledAtOnce) {
    TinyHttp server;
    server.slow("/slow.xml", kGuide, 1, 1000);  // a byte a second
    std::atomic<bool> cancel{false};
    guide::UpdateRequest request;
    request.address = server.url("/slow.xml");
    request.wanted = OurChannels();
    request.cancel = &cancel;
    guide::UpdateResult result;
    std::thread worker([&] { result = guide::Update(request); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    cancel = true;
    worker.join();
    EXPECT_EQ(result.outcome, guide::UpdateResult::Outcome::Cancelled);
    EXPECT_LT(result.bytesRead, 10u);
}

TEST(GuideStore, IdsAndCacheLiveInTheUsersDataFolder) {
    guide::IdMap ids{{"http://s.example/one.m3u8", "one.uk"}, {"http://s.example/two", "two\tbad"}};
    ASSERT_TRUE(guide::SaveIds(ids));
    const guide::IdMap back = guide::LoadIds();
    EXPECT_EQ(back.at("http://s.example/one.m3u8"), "one.uk");
    EXPECT_EQ(back.at("http://s.example/two"), "two bad");
    guide::Cache cache;
    cache.source = "x";
    ASSERT_TRUE(guide::SaveCache(cache));
    ASSERT_TRUE(guide::LoadCache().has_value());
    EXPECT_EQ(guide::LoadCache()->source, "x");
}
