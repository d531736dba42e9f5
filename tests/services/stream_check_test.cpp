// The operator's stream check: what the first bytes say, and the marks and reasons it gives
// against a loopback server, never more than the allowed connections at once.
#include "services/stream_check.h"

#include <gtest/gtest.h>

#include <map>

#include "support/tiny_http.h"

using stream_check::Sniff;
using stream_check::Verdict;

namespace {

std::string TsPackets(int count) {
    std::string ts;
    for (int i = 0; i < count; ++i) {
        std::string packet(188, '\xFF');
        packet[0] = 0x47;
        ts += packet;
    }
    return ts;
}

}  // namespace

TEST(StreamSniff, FirstBytesAndHeadsTellTheKind) {
    EXPECT_EQ(Sniff("text/html", false, TsPackets(3)), "MPEG-TS stream");  // the bytes win over a wrong type
    EXPECT_EQ(Sniff("video/mp2t", false, TsPackets(1).substr(0, 100)), "MPEG-TS stream");
    EXPECT_EQ(Sniff("", false, std::string(188, '\x47')), "");  // one sync byte proves nothing
    EXPECT_EQ(Sniff("", false, "\xEF\xBB\xBF#EXTM3U\n#EXT-X-TARGETDURATION:6\n"), "HLS playlist");
    EXPECT_EQ(Sniff("text/plain", false, "\r\n#EXTM3U\nhttp://x/1\n"), "M3U playlist");
    EXPECT_EQ(Sniff("", false, "[Playlist]\nFile1=http://x\n"), "PLS playlist");
    EXPECT_EQ(Sniff("", false, "<ASX version=\"3.0\">"), "ASX playlist");
    EXPECT_EQ(Sniff("application/octet-stream", false, std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9", 10)),
              "Windows Media (ASF) stream");
    EXPECT_EQ(Sniff("audio/mpeg", true, "\xFF\xFB\x90\x00"), "ICY radio (audio/mpeg)");
    EXPECT_EQ(Sniff("audio/aacp; charset=x", false, "...."), "audio (audio/aacp)");
    EXPECT_EQ(Sniff("application/vnd.apple.mpegurl", false, "garbage"), "M3U playlist");
    EXPECT_EQ(Sniff("", false,
                    std::string("\0\0\0\x18"
                                "ftypisom",
                                12)),
              "MP4 video");
    EXPECT_EQ(Sniff("", false, "ID3\x04\x00"), "MPEG audio");
    EXPECT_EQ(Sniff("", false, "OggS\0"), "Ogg stream");
    EXPECT_EQ(Sniff("text/html", false, "<html><body>Moved</body></html>"), "");
    EXPECT_EQ(Sniff("", false, ""), "");
}

TEST(StreamCheck, LiveDeadSilentSlowAndUncheckableAddresses) {
    TinyHttp server;
    server.endless("/live.ts", TsPackets(20), 50);
    server.route("/hls.m3u8", 200, "#EXTM3U\n#EXT-X-TARGETDURATION:2\nseg1.ts\n");
    server.silent("/silent");
    server.slow("/slow.ts", TsPackets(40), 376, 300);  // two packets every 0.3 s
    server.route("/page", 200, "<html><body>This channel has moved.</body></html>");
    const std::vector<std::string> addresses = {server.url("/live.ts"),
                                                server.url("/missing"),
                                                server.url("/silent"),
                                                server.url("/slow.ts"),
                                                server.url("/hls.m3u8"),
                                                "mms://media.example/live",
                                                "rtsp://media.example/cam",
                                                server.url("/page"),
                                                "http://127.0.0.1:" + std::to_string(TinyHttp::ClosedPort()) + "/x",
                                                "file:///etc/passwd"};
    stream_check::Options options;
    options.timeoutSeconds = 3;
    std::map<std::string, stream_check::Result> results;
    std::atomic<bool> cancel{false};
    stream_check::Check(
        addresses, options,
        [&](std::size_t index, const stream_check::Result& r) {
            EXPECT_EQ(results.count(addresses[index]), 0u) << "told twice";
            results[addresses[index]] = r;
        },
        cancel);
    ASSERT_EQ(results.size(), addresses.size());
    const auto expect = [&](std::size_t i, Verdict verdict, const std::string& words) {
        const stream_check::Result& r = results[addresses[i]];
        EXPECT_EQ(r.verdict, verdict) << addresses[i] << ": " << r.reason;
        EXPECT_NE(r.reason.find(words), std::string::npos) << addresses[i] << ": " << r.reason;
    };
    expect(0, Verdict::Alive, "MPEG-TS");
    expect(1, Verdict::Dead, "HTTP 404 Not Found");
    expect(2, Verdict::Dead, "no answer within 3 s");
    expect(3, Verdict::Alive, "MPEG-TS");
    expect(4, Verdict::Alive, "HLS playlist");
    expect(5, Verdict::Unknown, "mms streams cannot be checked");
    expect(6, Verdict::Unknown, "rtsp");
    expect(7, Verdict::Dead, "a web page");
    expect(8, Verdict::Dead, "refused");
    expect(9, Verdict::Dead, "not a stream address");
}

// A channel whose playlist names its own headers is checked with them (its User-Agent over the
// check's own), and another address of the same check without.
TEST(StreamCheck, AnAddressIsAskedWithItsPlaylistsHeaders) {
    TinyHttp server;
    server.route("/guarded.ts", 200, TsPackets(20));
    server.route("/plain.ts", 200, TsPackets(20));
    stream_check::Options options;
    options.concurrency = 1;  // one after the other: the last request is the second address's
    options.headers = {{"User-Agent: Guarded/1.0", "Referer: http://portal.example/"}};
    std::atomic<bool> cancel{false};
    std::vector<std::string> requests;
    stream_check::Check(
        {server.url("/guarded.ts"), server.url("/plain.ts")}, options,
        [&](std::size_t, const stream_check::Result& r) {
            EXPECT_EQ(r.verdict, Verdict::Alive) << r.reason;
            requests.push_back(server.lastRequest());
        },
        cancel);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("User-Agent: Guarded/1.0\r\n"), std::string::npos) << requests[0];
    EXPECT_NE(requests[0].find("Referer: http://portal.example/\r\n"), std::string::npos) << requests[0];
    EXPECT_EQ(requests[0].find("Mozilla"), std::string::npos) << requests[0];
    EXPECT_EQ(requests[1].find("Referer"), std::string::npos) << requests[1];
    EXPECT_NE(requests[1].find("User-Agent: Mozilla\r\n"), std::string::npos) << requests[1];
}

TEST(StreamCheck, NeverMoreThanTheAllowedConnectionsAndCancelEndsIt) {
    TinyHttp server;
    std::vector<std::string> addresses;
    for (int i = 0; i < 30; ++i) {
        const std::string path = "/s" + std::to_string(i) + ".ts";
        server.slow(path, TsPackets(4), 100, 150);  // about a second each
        addresses.push_back(server.url(path));
    }
    int told = 0;
    std::atomic<bool> cancel{false};
    const stream_check::Stats stats = stream_check::Check(
        addresses, {},
        [&](std::size_t, const stream_check::Result& r) {
            ++told;
            EXPECT_EQ(r.verdict, Verdict::Alive) << r.reason;
        },
        cancel);
    EXPECT_EQ(told, 30);
    // Counted at the client's sockets: the server sees a hang-up only once its thread runs.
    EXPECT_GE(server.maxOpenConnections(), 2);
    EXPECT_GE(stats.mostConnectionsAtOnce, 2u);
    EXPECT_LE(stats.mostConnectionsAtOnce, 8u);

    // Cancelled after the first answers: the rest are not asked.
    TinyHttp slowServer;
    slowServer.silent("/never");
    std::vector<std::string> many(40, slowServer.url("/never"));
    told = 0;
    cancel = false;
    stream_check::Options options;
    options.concurrency = 4;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    const stream_check::Stats cancelled = stream_check::Check(
        many, options, [&](std::size_t, const stream_check::Result&) { ++told; }, cancel);
    stopper.join();
    EXPECT_EQ(told, 0);  // each would have waited out its 10 s and been told dead
    EXPECT_EQ(cancelled.mostConnectionsAtOnce, 4u);
    EXPECT_EQ(slowServer.maxOpenConnections(), 4) << "silent answers hold every connection: exactly as many as allowed";
}
