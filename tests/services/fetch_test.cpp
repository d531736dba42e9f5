#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <string>

#include "services/fetch.h"
#include "support/tiny_http.h"

namespace {
std::string Bytes(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>((i * 7 + 3) % 256));  // every byte value
    return s;
}
}  // namespace

TEST(FetchPage, BodiesArriveByteForByteWhateverTheirSize) {
    TinyHttp server;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{255}, std::size_t{256}, std::size_t{257},
                             std::size_t{16384}, std::size_t{3} * 1024 * 1024 + 11}) {
        const std::string body = Bytes(size);
        server.route("/p", 200, body);
        EXPECT_EQ(FetchPage(server.url("/p")), body) << size;
    }
    server.route("/cp", 200, "\xC9t\xE9 \x80\r\n<data>\r\n");
    EXPECT_EQ(FetchPage(server.url("/cp")), "\xC9t\xE9 \x80\r\n<data>\r\n");
}

TEST(FetchPage, SendsMozillaAndForbidsCachedCopies) {
    TinyHttp server;
    server.route("/p", 200, "x");
    FetchPage(server.url("/p"));
    const std::string request = server.lastRequest();
    EXPECT_EQ(request.rfind("GET /p HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("User-Agent: Mozilla\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("Cache-Control: no-cache\r\n"), std::string::npos);
    EXPECT_NE(request.find("Pragma: no-cache\r\n"), std::string::npos);
}

TEST(FetchPage, RefusedOrUnresolvableAddressesGiveEmptyText) {
    EXPECT_EQ(FetchPage("http://127.0.0.1:" + std::to_string(TinyHttp::ClosedPort()) + "/x"), "");
    EXPECT_EQ(FetchPage("http://no-such-host.invalid/x"), "");
    EXPECT_EQ(FetchPage("not an address"), "");
    EXPECT_EQ(FetchPage("file:///etc/hostname"), "");  // web pages only
}

TEST(FetchPage, ErrorPagesAreReturnedLikeAnyBody) {
    TinyHttp server;
    server.route("/gone", 404, "<html>custom 404</html>");
    EXPECT_EQ(FetchPage(server.url("/gone")), "<html>custom 404</html>");
    EXPECT_EQ(FetchPage(server.url("/unknown")), "<html>not found</html>");
}

TEST(FetchPage, ASilentServerIsGivenUpAfterTheStallTimeout) {
#ifdef _WIN32
    // Wine's internet client does not apply the receive timeout to a server that never
    // answers; Windows' own does.
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "Wine's WinInet ignores the receive timeout";
#endif
    TinyHttp server;
    server.silent("/hang");
    fetch::SetStallTimeoutForTests(2);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FetchPage(server.url("/hang")), "");
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fetch::SetStallTimeoutForTests(0);
    EXPECT_GE(seconds, 1.5);
    EXPECT_LT(seconds, 10.0);
}

TEST(FetchPage, ThePumpRunsThroughoutALongDownload) {
    TinyHttp server;
    const std::string body = Bytes(40 * 1024);
    server.slow("/slow", body, 1024, 20);  // about 0.8 s
    int pumped = 0;
    SetFetchEventPump([&] { ++pumped; });
    EXPECT_EQ(FetchPage(server.url("/slow")), body);
    SetFetchEventPump({});
    EXPECT_GE(pumped, 30);
}

TEST(FetchPage, AGigabytePageStopsAtTheCapAndGivesNothing) {
    TinyHttp server;
    server.endless("/huge", std::string(256 * 1024, 'x'), 0, std::uint64_t{1} << 30);
    server.endless("/unannounced", std::string(256 * 1024, 'y'), 0);
    EXPECT_EQ(FetchPage(server.url("/huge")), "");
    EXPECT_EQ(FetchPage(server.url("/unannounced")), "");
}

TEST(FetchPage, APageThatNeverEndsIsCutAtTheTotalTimeout) {
    TinyHttp server;
    server.endless("/trickle", "<data>\r\n", 100);  // never stalls, never ends
    fetch::SetTotalTimeoutForTests(2);
    const auto start = std::chrono::steady_clock::now();
    const std::string page = FetchPage(server.url("/trickle"));
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fetch::SetTotalTimeoutForTests(0);
    EXPECT_LT(seconds, 10.0);
    EXPECT_GE(seconds, 1.5);
    EXPECT_EQ(page.rfind("<data>\r\n", 0), 0u);  // what came is kept
}

TEST(FetchPage, TheReportSaysWhatTheServerAnsweredOrWhyNothingCame) {
    TinyHttp server;
    server.route("/ok", 200, "page");
    server.route("/gone", 404, "<html>not here</html>");
    const FetchResult ok = FetchPageReport(server.url("/ok"));
    EXPECT_TRUE(ok.succeeded());
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(ok.body, "page");
    const FetchResult gone = FetchPageReport(server.url("/gone"));
    EXPECT_TRUE(gone.arrived());     // an error page is a page ...
    EXPECT_FALSE(gone.succeeded());  // ... but not a success
    EXPECT_EQ(gone.status, 404);
    EXPECT_EQ(gone.body, "<html>not here</html>");
    EXPECT_EQ(FetchPage(server.url("/gone")), gone.body);  // the fixed call returns it as before

    const std::string refused = "http://127.0.0.1:1/nothing";  // no server listens on port 1
    const FetchResult none = FetchPageReport(refused);
    EXPECT_FALSE(none.arrived());
    EXPECT_EQ(none.status, 0);
    EXPECT_FALSE(none.failure.empty());
    EXPECT_EQ(FetchPage(refused), "");
}

TEST(FetchPage, ADownloadThatBreaksOffIsAFailureWithoutValidatorsAndARefusedServerIsNeverAsked) {
    TinyHttp server;
    const std::string whole(100000, 'x');
    server.cut("/cut", whole, 10000);  // Content-Length 100,000, then hung up after 10,000
    const FetchResult cut = FetchPageReport(server.url("/cut"));
    EXPECT_TRUE(cut.incomplete);
    EXPECT_FALSE(cut.arrived());
    EXPECT_FALSE(cut.succeeded());
    EXPECT_NE(cut.failure.find("broke off"), std::string::npos) << cut.failure;
    EXPECT_TRUE(cut.etag.empty() && cut.lastModified.empty()) << "validators of a page that never arrived";
    EXPECT_EQ(cut.body.size(), 10000u);
    EXPECT_EQ(FetchPage(server.url("/cut")).size(), 10000u) << "the fixed call still gives what came";

    // A rule that refuses this server's address: no request reaches it.
    const int before = server.requests();
    FetchLimits limits;
    limits.refuseAddress = [](std::string_view address) { return address == "127.0.0.1"; };
    const FetchResult refused = FetchPageReport(server.url("/cut"), limits);
    EXPECT_FALSE(refused.arrived());
    EXPECT_TRUE(refused.body.empty());
    EXPECT_EQ(server.requests(), before);
}
