// The radio directory's client: its answers read (and refused when they are not answers), its
// mirrors tried in turn, its lists kept for a day.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/json_reader.h"
#include "services/radio_directory.h"
#include "support/fake_directory.h"
#include "support/temp_dir.h"

namespace rd = radio_directory;

namespace {

// Records what the reader hands over, one token a line.
class Tokens : public json::Handler {
public:
    std::string text;
    void beginObject(int d) override { text += std::to_string(d) + "{ "; }
    void endObject(int d) override { text += std::to_string(d) + "} "; }
    void beginArray(int d) override { text += std::to_string(d) + "[ "; }
    void endArray(int d) override { text += std::to_string(d) + "] "; }
    void key(int d, std::string_view k) override { text += std::to_string(d) + "k:" + std::string(k) + " "; }
    void string(int d, std::string_view s) override { text += std::to_string(d) + "s:" + std::string(s) + " "; }
    void number(int d, std::string_view n) override { text += std::to_string(d) + "n:" + std::string(n) + " "; }
    void boolean(int d, bool b) override { text += std::to_string(d) + (b ? "true " : "false "); }
    void null(int d) override { text += std::to_string(d) + "null "; }
};

rd::Query By(const char* name, const char* country = "", const char* language = "", const char* tag = "") {
    rd::Query query;
    query.name = name;
    query.country = country;
    query.language = language;
    query.tag = tag;
    return query;
}

std::vector<FakeDirectory::Station> Stations() {
    return {
        {"u1", "Jazz Café", "http://127.0.0.1:9/jazz", "http://127.0.0.1:9/jazz.png", "Germany", "german",
         "jazz,smooth", "MP3", 128, 500},
        {"u2", "Rock & Roll FM", "http://127.0.0.1:9/rock", "", "France", "french", "rock", "AAC", 64, 900},
        {"u3", "Smooth Jazz", "http://127.0.0.1:9/smooth", "", "France", "french", "jazz", "MP3", 0, 700},
    };
}

}  // namespace

TEST(JsonReader, ReadsEveryKindOfValueAndRefusesWhatIsNotJson) {
    Tokens tokens;
    ASSERT_TRUE(json::Read(R"( [{"a":"x\"\u00e9\ud83c\udfb5\n","b":[1,-2.5e3,true,null]},{}] )", tokens).ok);
    EXPECT_EQ(tokens.text,
              "0[ 1{ 2k:a 2s:x\"\xC3\xA9\xF0\x9F\x8E\xB5\n 2k:b 2[ 3n:1 3n:-2.5e3 3true 3null 2] 1} 1{ 1} 0] ");

    for (const char* bad : {"", "[1,]", "{\"a\" 1}", "[\"\\ud800\"]", "[\"\\udc00\"]", "[01]", "[1.]", "[\"a\x01\"]",
                            "[\"\xC0\xAF\"]", "[\"\xED\xA0\x80\"]", "[tru]", "[1] x", "<html>", "[\"\\q\"]"}) {
        Tokens ignored;
        const json::Result r = json::Read(bad, ignored);
        EXPECT_FALSE(r.ok) << bad;
        EXPECT_FALSE(r.problem.empty()) << bad;
    }
    // Deep nesting is refused, not followed down the stack.
    Tokens deep;
    EXPECT_FALSE(json::Read(std::string(100000, '['), deep).ok);
    EXPECT_TRUE(json::Read(std::string(json::kMaxDepth, '[') + std::string(json::kMaxDepth, ']'), deep).ok);
}

TEST(RadioDirectoryRead, StationsKeepWhatARowAndAFavouriteCanHoldAndGarbageSaysWhy) {
    std::string problem;
    const std::vector<rd::Station> read = rd::ReadStations(
        R"json([{"stationuuid":"a","name":"One|Two\tFM","url":"http://x/one","url_resolved":"",
             "favicon":"javascript:alert(1)","country":"Österreich","codec":"mp3","bitrate":192,
             "extra":{"stationuuid":"nested","name":"not a station"}},
            {"stationuuid":"b","name":"Caf\u00e9","url_resolved":"https://x/caf\u00e9?a=1","codec":"UNKNOWN"},
            {"stationuuid":"c","name":"Local file","url":"file:///etc/passwd"},
            {"name":"No uuid","url":"http://x/n"}, 7, "text"])json",
        &problem);
    EXPECT_EQ(problem, "");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].uuid, "a");
    EXPECT_EQ(read[0].name, "One/Two FM");       // no field separator, no control byte
    EXPECT_EQ(read[0].address, "http://x/one");  // url_resolved empty: url
    EXPECT_EQ(read[0].logo, "");                 // only a web address is fetched as a logo
    EXPECT_EQ(read[0].country, "\xC3\x96sterreich");
    EXPECT_EQ(rd::FormatOf(read[0]), "MP3 \xC2\xB7 192 kbps");
    EXPECT_EQ(read[1].address, "https://x/caf%C3%A9?a=1");  // bytes beyond ASCII written as %XX
    EXPECT_EQ(rd::FormatOf(read[1]), "");

    for (const char* garbage :
         {"<html><body>502 Bad Gateway</body></html>", "{\"error\":\"busy\"}", "[{\"name\":", "[\"\xFF\"]"}) {
        EXPECT_TRUE(rd::ReadStations(garbage, &problem).empty()) << garbage;
        EXPECT_FALSE(problem.empty()) << garbage;
    }
    const std::vector<rd::Named> names =
        rd::ReadNames(R"([{"name":"Germany","stationcount":3210},{"name":"","stationcount":4}])", &problem);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].name, "Germany");
    EXPECT_EQ(names[0].stations, 3210);

    // A mirror that answers 1,000 stations to a page of 100 is given room for 100.
    std::string many = "[";
    for (int i = 0; i < 1000; ++i)
        many += std::string(i ? "," : "") + R"({"stationuuid":"u)" + std::to_string(i) +
                R"(","name":"S","url":"http://x/s"})";
    EXPECT_EQ(rd::ReadStations(many + "]", &problem, rd::kPageSize).size(), std::size_t{rd::kPageSize});
}

// A search through the fake directory: the name (with "&" and a character beyond ASCII) and the
// narrowing reach the server as asked, the answer comes in order of clicks, pages follow on.
TEST(RadioDirectoryClient, SearchesNarrowsAndPagesThroughTheMirrorThatAnswers) {
    FakeDirectory directory(Stations());
    TinyHttp refusing;  // answers 503 to everything
    refusing.handle([](const std::string&) { return TinyHttp::Reply{503, "busy", "text/plain"}; });
    TinyHttp garbage;
    garbage.handle([](const std::string&) { return TinyHttp::Reply{200, "<html>captive portal</html>", "text/html"}; });
    const std::string closed = "http://127.0.0.1:" + std::to_string(TinyHttp::ClosedPort());
    rd::Client client({{closed, refusing.url(""), garbage.url(""), directory.base()}, "MarluViewer/1.1.0", 5});

    auto search = [&](rd::Query query) {
        std::vector<rd::Station> found;
        const rd::Client::Answer answer = client.get(rd::StationsPath(query), nullptr, [&](std::string_view body) {
            std::string problem;
            found = rd::ReadStations(body, &problem);
            return problem;
        });
        EXPECT_TRUE(answer.ok()) << answer.failure;
        std::vector<std::string> names;
        for (const rd::Station& s : found) names.push_back(s.name);
        return names;
    };
    EXPECT_EQ(search(By("jazz")), (std::vector<std::string>{"Smooth Jazz", "Jazz Caf\xC3\xA9"}));
    EXPECT_NE(directory.http().lastRequest().find("User-Agent: MarluViewer/1.1.0"), std::string::npos);
    const int refusedBefore = refusing.requests();
    EXPECT_EQ(search(By("rock & roll")), (std::vector<std::string>{"Rock & Roll FM"}));
    EXPECT_EQ(search(By("caf\xC3\xA9")), (std::vector<std::string>{"Jazz Caf\xC3\xA9"}));
    EXPECT_EQ(refusing.requests(), refusedBefore) << "the mirror that answered is asked first from then on";
    EXPECT_EQ(search(By("", "France", "", "jazz")), (std::vector<std::string>{"Smooth Jazz"}));
    EXPECT_EQ(search(By("", "", "french")), (std::vector<std::string>{"Rock & Roll FM", "Smooth Jazz"}));
    rd::Query page = By("");
    page.offset = 1;
    page.limit = 1;
    EXPECT_EQ(search(page), (std::vector<std::string>{"Smooth Jazz"}));

    // No mirror answering: the last one's reason.
    rd::Client none({{closed, garbage.url("")}, "MarluViewer/1.1.0", 5});
    const rd::Client::Answer failed = none.get(rd::StationsPath(By("x")), nullptr, [](std::string_view body) {
        std::string problem;
        rd::ReadStations(body, &problem);
        return problem;
    });
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.failure.find("at byte 0"), std::string::npos) << failed.failure;
    EXPECT_EQ(rd::Client({{}, "", 5}).get("/json/x", nullptr, [](std::string_view) { return std::string(); }).failure,
              "no server of the directory was found");
}

// A mirror that takes too long is passed over for the next; a cancel ends a search that hangs.
TEST(RadioDirectoryClient, ASlowMirrorIsPassedOverAndACancelEndsAHangingSearch) {
#ifdef _WIN32
    // Windows' client ends a blocked call when another thread closes its session; Wine's waits
    // for the server.
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "Wine's WinInet does not end a blocked call when its session is closed";
#endif
    FakeDirectory directory(Stations());
    TinyHttp silent;
    silent.handle([](const std::string&) { return TinyHttp::Reply{200, "", "application/json", 0, 0, true}; });
    rd::Client client({{silent.url(""), directory.base()}, "Test/1", 1});
    auto ok = [](std::string_view body) {
        std::string problem;
        rd::ReadStations(body, &problem);
        return problem;
    };
    EXPECT_TRUE(client.get(rd::StationsPath(By("rock")), nullptr, ok).ok());
    EXPECT_EQ(silent.requests(), 1);

    rd::Client hanging({{silent.url("")}, "Test/1", 600});
    std::atomic<bool> cancel{false};
    std::thread typist([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const rd::Client::Answer answer = hanging.get(rd::StationsPath(By("jaz")), &cancel, ok);
    typist.join();
    EXPECT_TRUE(answer.cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30))
        << "ended by the cancel, not a timeout";
}

TEST(RadioDirectoryLists, AreKeptForADayAndADamagedCopyIsNotUsed) {
    ScopedConfigHome home;
    rd::Lists lists;
    lists.fetchedAt = 1'800'000'000;
    lists.countries = {{"Germany", 3210}, {"C\xC3\xB4te d'Ivoire", 12}};
    lists.tags = {{"jazz", 800}};
    ASSERT_TRUE(rd::SaveLists(lists));
    const std::optional<rd::Lists> kept = rd::LoadLists(lists.fetchedAt + rd::kListsMaxAgeSeconds - 1);
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->countries.size(), 2u);
    EXPECT_EQ(kept->countries[1].name, "C\xC3\xB4te d'Ivoire");
    EXPECT_EQ(kept->countries[1].stations, 12);
    EXPECT_TRUE(kept->languages.empty());
    EXPECT_EQ(kept->tags.size(), 1u);
    EXPECT_FALSE(rd::LoadLists(lists.fetchedAt + rd::kListsMaxAgeSeconds)) << "a day old: asked again";
    EXPECT_FALSE(rd::LoadLists(lists.fetchedAt - 3600)) << "from the future (a clock set back): asked again";
    EXPECT_FALSE(rd::ReadLists("radio-directory-lists 1\tsoon\n"));
    EXPECT_FALSE(rd::ReadLists("<html>"));
}
