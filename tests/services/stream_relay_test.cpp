#include "services/stream_relay.h"

#include <sys/resource.h>

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>

#include "support/tiny_http.h"

namespace {

using stream_relay::Relay;

// A client of the relay, as a player behind a proxy is: absolute addresses in its requests.
class Client {
public:
    explicit Client(const Relay& relay) : m_credentials(relay.credentials()) {
        const std::string proxy = relay.proxyAddress();
        const int port = std::stoi(proxy.substr(proxy.rfind(':') + 1));
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~Client() { ::close(m_fd); }
    bool connected() const { return m_connected; }

    void send(const std::string& text) {
        ASSERT_EQ(::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
    }
    void get(const std::string& url, bool close = false) {
        send("GET " + url + " HTTP/1.1\r\nHost: somewhere\r\nProxy-Connection: keep-alive\r\n" +
             "Proxy-Authorization: " + m_credentials + "\r\n" + (close ? "Connection: close\r\n" : "") + "\r\n");
    }
    // Reads until `size` bytes came, the relay closed, or two seconds passed.
    std::string read(std::size_t size = std::string::npos) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (m_in.size() < size && std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            char buffer[8192];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                m_closed = true;
                break;
            }
            m_in.append(buffer, static_cast<std::size_t>(n));
        }
        std::string out = m_in.substr(0, size);
        m_in.erase(0, out.size());
        return out;
    }
    // One whole answer with a Content-Length (head and body).
    std::string answer() {
        std::string text = read(0);
        while (text.find("\r\n\r\n") == std::string::npos && !m_closed) {
            const std::string more = read(1);
            if (more.empty()) break;
            text += more;
        }
        const std::size_t end = text.find("\r\n\r\n");
        if (end == std::string::npos) return text;
        const std::size_t at = text.find("Content-Length: ");
        const std::size_t length = at == std::string::npos ? 0 : std::stoul(text.substr(at + 16));
        return text + read(length);
    }
    bool closedByRelay() {
        read();
        return m_closed;
    }

    const std::string& credentials() const { return m_credentials; }

private:
    std::string m_credentials;
    int m_fd = -1;
    bool m_connected = false;
    bool m_closed = false;
    std::string m_in;
};

// Whether `condition` holds within two seconds (the server accepts in a thread of its own).
template <typename Condition>
bool Eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}

std::size_t Entries(const char* folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

// CPU time of the whole process, in seconds.
double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string BodyOf(const std::string& answer) {
    const std::size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

TEST(StreamRelay, AddressesArePartedResolvedAndPlaylistsRead) {
    const auto plain = stream_relay::ParseHttp("HTTP://Example.org:8080/live/a.m3u8?k=1#x");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "Example.org");
    EXPECT_EQ(plain->port, 8080);
    EXPECT_EQ(plain->target, "/live/a.m3u8?k=1");
    EXPECT_EQ(plain->key(), "example.org:8080");
    const auto bare = stream_relay::ParseHttp("http://example.org?q");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->port, 80);
    EXPECT_EQ(bare->target, "/?q");
    const auto v6 = stream_relay::ParseHttp("http://[::1]:81/x");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->port, 81);
    EXPECT_FALSE(stream_relay::ParseHttp("https://example.org/"));  // secure: the player's own
    EXPECT_FALSE(stream_relay::ParseHttp("http://user:pw@example.org/"));
    EXPECT_FALSE(stream_relay::ParseHttp("http://example.org:99999/"));
    EXPECT_FALSE(stream_relay::ParseHttp("http:///path"));
    EXPECT_FALSE(stream_relay::ParseHttp("http://[[dn.]:/x"));  // would be written back as another address
    EXPECT_FALSE(stream_relay::ParseHttp("http://[example.org]/x"));

    const std::string base = "http://Example.org/tv/master.m3u8?token=1";
    EXPECT_EQ(stream_relay::Resolve(base, "low/index.m3u8"), "http://example.org/tv/low/index.m3u8");
    EXPECT_EQ(stream_relay::Resolve(base, "/abs/index.m3u8"), "http://example.org/abs/index.m3u8");
    EXPECT_EQ(stream_relay::Resolve(base, "http://cdn.example.org:80/x.m3u8"), "http://cdn.example.org/x.m3u8");
    EXPECT_EQ(stream_relay::Resolve(base, "https://cdn.example.org/x.m3u8"), "");
    EXPECT_EQ(stream_relay::Resolve(base, "../up.m3u8"), "");
    EXPECT_EQ(stream_relay::Resolve(base, "//cdn.example.org/x.m3u8"), "");

    const std::string master =
        "#EXTM3U\r\n#EXT-X-STREAM-INF:BANDWIDTH=800000\r\nlow/index.m3u8\r\n\r\n"
        "#EXT-X-MEDIA:TYPE=AUDIO,URI=\"audio.m3u8\"\r\n#EXT-X-STREAM-INF:BANDWIDTH=3000000\r\n  high.m3u8  \r\n";
    EXPECT_EQ(stream_relay::VariantPlaylists(master), (std::vector<std::string>{"low/index.m3u8", "high.m3u8"}));
    EXPECT_TRUE(stream_relay::VariantPlaylists("#EXTM3U\n#EXTINF:2,\nseg0.ts\n").empty());

    EXPECT_EQ(stream_relay::PlaylistLifetimeMs(master), 30000);
    EXPECT_EQ(stream_relay::PlaylistLifetimeMs("#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXTINF:6,\na.ts\n#EXT-X-ENDLIST\n"),
              30000);
    EXPECT_EQ(stream_relay::PlaylistLifetimeMs("#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXTINF:6,\na.ts\n"), 3000);
    EXPECT_EQ(stream_relay::PlaylistLifetimeMs("#EXTM3U\n#EXT-X-TARGETDURATION:1\n"), 1000);
    EXPECT_EQ(stream_relay::PlaylistLifetimeMs("#EXTM3U\n"), 1000);
    for (const char* absurd : {"1e300", "nan", "-inf", "99999999999"})
        EXPECT_LE(stream_relay::PlaylistLifetimeMs(std::string("#EXTM3U\n#EXT-X-TARGETDURATION:") + absurd), 1800000)
            << absurd;
}

TEST(StreamRelay, ServersOnThisMachineAndItsLocalNetworkAreNear) {
    for (const char* near : {"127.0.0.1", "127.8.9.10", "10.0.0.7", "172.16.0.1", "172.31.255.254", "192.168.1.20",
                             "169.254.3.4", "::1", "fe80::1", "fd12:3456::9", "::ffff:192.168.0.2"})
        EXPECT_TRUE(stream_relay::IsNearAddress(near)) << near;
    for (const char* far : {"8.8.8.8", "172.15.0.1", "172.32.0.1", "192.169.0.1", "11.0.0.1", "2001:db8::1",
                            "::ffff:8.8.4.4", "", "example.com", "192.168.1"})
        EXPECT_FALSE(stream_relay::IsNearAddress(far)) << far;
}

TEST(StreamRelay, ANearServerIsNotPreparedAndItsPlaylistsAreNotKept) {
    // By default a server on this machine costs less to reach than the relay's hop: the player
    // asks it itself.
    TinyHttp server;
    server.route("/index.m3u8", 200, "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\na.ts\n",
                 "application/vnd.apple.mpegurl");
    Relay relay;
    relay.prepare(server.url("/index.m3u8"));
    relay.waitUntilPrepared();
    EXPECT_FALSE(relay.isPrepared(server.url("/index.m3u8")));
    EXPECT_EQ(relay.stats().nearServers, 1u);
    EXPECT_EQ(relay.stats().playlistsFetched, 0u);
    EXPECT_TRUE(Eventually([&] { return server.connections() == 1; })) << "the one that found it near";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(server.requests(), 0) << "not even its playlist";
}

TEST(StreamRelay, AFarPlaylistCannotMakeTheRelayAskNearServersOrSendRawBytes) {
    // Here 127.0.0.1 stands for a far server and 127.0.0.2 for the user's router.
    const auto near = [](std::string_view address) { return address == "127.0.0.2"; };
    TinyHttp far;
    TinyHttp router("127.0.0.2");
    router.route("/router/admin", 200, "#EXTM3U\n#EXT-X-ENDLIST\n", "application/vnd.apple.mpegurl");
    const std::string master = "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\n" +
                               router.url("/router/admin?factory_reset=1") +
                               "\n#EXT-X-STREAM-INF:BANDWIDTH=2\nlow.m3u8\n";
    far.route("/master.m3u8", 200, master, "application/vnd.apple.mpegurl");
    far.route("/low.m3u8", 200, "#EXTM3U\n#EXTINF:2,\na.ts\n#EXT-X-ENDLIST\n", "application/vnd.apple.mpegurl");
    Relay relay(Relay::Near::Skip, near);
    relay.prepare(far.url("/master.m3u8"));
    relay.waitUntilPrepared();
    EXPECT_TRUE(relay.isPrepared(far.url("/master.m3u8")));
    EXPECT_EQ(relay.stats().playlistsFetched, 2u) << "the master and its far variant";
    EXPECT_EQ(router.connections(), 0) << "not even a connection to the near one";

    // CR, LF or a space in an address would forge the request line or a header: never sent.
    for (const std::string& bad :
         {std::string("/x.m3u8\r\nX-Injected: 1"), std::string("/a b.m3u8"), std::string("/x\0.m3u8", 8)}) {
        EXPECT_FALSE(stream_relay::ParseHttp(far.url(bad)).has_value());
        relay.prepare(far.url(bad));
        relay.waitUntilPrepared();
        EXPECT_FALSE(relay.isPrepared(far.url(bad)));
    }
    EXPECT_EQ(far.requests(), 2);
}

TEST(StreamRelay, AFloodOfIdleConnectionsNeitherGrowsTheProgramNorKeepsThePlayerOut) {
    // Any local user may connect to the relay's port; one opens 3,000 connections and says nothing.
    TinyHttp server;
    server.route("/a.ts", 200, "AAAA", "video/mp2t");
    Relay relay(Relay::Near::Prepare);
    const std::size_t threads = Entries("/proc/self/task"), descriptors = Entries("/proc/self/fd");
    std::vector<std::unique_ptr<Client>> flood;
    for (int i = 0; i < 3000; ++i) flood.push_back(std::make_unique<Client>(relay));
    EXPECT_EQ(Entries("/proc/self/task"), threads) << "no thread a connection";
    // At most 256 waiting for a request held by the relay (and 16 served), and for a moment one
    // more: the newcomer, before an idle connection gives way.
    EXPECT_LE(Entries("/proc/self/fd"), descriptors + flood.size() + 256 + 16 + 2);
    Client player(relay);
    player.get(server.url("/a.ts"));
    EXPECT_EQ(BodyOf(player.answer()), "AAAA") << "an idle connection gives way to the player's";
    // Five seconds without a request head close every idle one.
    std::this_thread::sleep_for(std::chrono::milliseconds(5300));
    std::size_t open = 0;
    for (auto& idle : flood) open += idle->closedByRelay() ? 0 : 1;
    EXPECT_EQ(open, 0u);
    flood.clear();

    // Out of descriptors: the relay waits for some rather than spin on the connection it cannot
    // take, and serves again once there are.
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit saved = limit;
    limit.rlim_cur = Entries("/proc/self/fd") + 40;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    std::vector<int> spare;  // the descriptors the flood leaves
    for (int fd = 0; (fd = ::socket(AF_INET, SOCK_STREAM, 0)) >= 0;) spare.push_back(fd);
    ::close(spare.back());
    spare.pop_back();
    for (int i = 0; i < 8; ++i) flood.push_back(std::make_unique<Client>(relay));  // one descriptor is ours
    const double cpu = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(CpuSeconds() - cpu, 0.5) << "the relay spins on a connection it cannot accept";
    for (const int fd : spare) ::close(fd);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    flood.clear();
    Client again(relay);
    again.get(server.url("/a.ts"));
    EXPECT_EQ(BodyOf(again.answer()), "AAAA");
}

TEST(StreamRelay, APlayerIsServedEveryTimeWhileAnotherFloodsTheRelayWithConnections) {
    // Someone else on this machine connects to the relay's port as fast as they can and says
    // nothing; each connection they open pushes out an older one that made no request.
    TinyHttp server;
    server.route("/a.ts", 200, "AAAA", "video/mp2t");
    Relay relay(Relay::Near::Prepare);
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        std::deque<std::unique_ptr<Client>> open;
        while (!stop) {
            open.push_back(std::make_unique<Client>(relay));
            if (open.size() > 200) open.pop_front();
        }
    });
    int served = 0;
    for (int i = 0; i < 20; ++i) {
        Client player(relay);
        player.get(server.url("/a.ts"));
        served += BodyOf(player.answer()) == "AAAA" ? 1 : 0;
    }
    stop = true;
    flood.join();
    EXPECT_EQ(served, 20);
}

TEST(StreamRelay, PreparingAStreamConnectsAndAsksForNothingAndTheFirstRequestUsesThatConnection) {
    TinyHttp server;
    server.endless("/live.ts", std::string(188, 'G'), 5);
    Relay relay(Relay::Near::Prepare);
    ASSERT_TRUE(relay.isRunning());
    relay.prepare(server.url("/live.ts"));
    relay.waitUntilPrepared();
    EXPECT_TRUE(relay.isPrepared(server.url("/live.ts")));
    // The connection serves any address of its server; no other server's.
    EXPECT_TRUE(relay.isPrepared(server.url("/other.ts")));
    EXPECT_FALSE(relay.isPrepared("http://127.0.0.2:" + std::to_string(server.port()) + "/live.ts"));
    // One connection is open, and nothing has been asked for or sent over it.
    ASSERT_TRUE(Eventually([&] { return server.connections() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(server.requests(), 0);
    EXPECT_EQ(server.bodyBytesSent(), 0u);

    Client player(relay);
    ASSERT_TRUE(player.connected());
    player.get(server.url("/live.ts"));
    const std::string head = player.read(17);
    EXPECT_EQ(head, "HTTP/1.0 200 OK\r\n");
    EXPECT_FALSE(player.read(2000).empty());
    EXPECT_EQ(server.connections(), 1) << "the request went over the connection made in advance";
    EXPECT_EQ(server.requests(), 1);
    EXPECT_EQ(server.requestedPaths(), std::vector<std::string>{"/live.ts"});
    EXPECT_NE(server.lastRequest().find("GET /live.ts HTTP/1.1\r\n"), std::string::npos) << server.lastRequest();
    EXPECT_EQ(server.lastRequest().find("Proxy-"), std::string::npos) << "the relay's own headers stay with it";
    EXPECT_EQ(relay.stats().preparedUsed, 1u);
    // Used once: the preparation is spent, and preparing the address again makes a new one.
    EXPECT_FALSE(relay.isPrepared(server.url("/live.ts")));
    relay.prepare(server.url("/live.ts"));
    relay.waitUntilPrepared();
    EXPECT_TRUE(relay.isPrepared(server.url("/live.ts")));
    EXPECT_TRUE(Eventually([&] { return server.connections() == 2; }));
    EXPECT_EQ(server.requests(), 1);
}

TEST(StreamRelay, AServerKeptWarmHasAConnectionWaitingForEachNextZapFourServersAtMostAndNoneWhenNear) {
    TinyHttp server;
    server.route("/a.ts", 200, std::string(1000, 'A'), "video/mp2t");
    server.route("/b.ts", 200, std::string(1000, 'B'), "video/mp2t");
    Relay relay(Relay::Near::Prepare);
    relay.keepWarm(server.url("/a.ts"));
    // Any address of that server finds the connection waiting; nothing is asked over it.
    ASSERT_TRUE(Eventually([&] { return relay.isPrepared(server.url("/b.ts")); }));
    // The relay's connect may return before the server's thread has counted its accept.
    EXPECT_TRUE(Eventually([&] { return server.connections() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(server.requests(), 0);
    {
        Client player(relay);
        player.get(server.url("/b.ts"), true);
        EXPECT_EQ(BodyOf(player.answer()), std::string(1000, 'B'));
    }
    EXPECT_EQ(relay.stats().preparedUsed, 1u);
    // Used: the next is made for the zap after.
    ASSERT_TRUE(Eventually([&] { return server.connections() == 2 && relay.isPrepared(server.url("/a.ts")); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(server.connections(), 2) << "one waits per server";
    EXPECT_EQ(server.requests(), 1);

    // A fifth server makes the one used longest ago go cold: its connection is closed.
    std::vector<std::unique_ptr<TinyHttp>> others;
    for (int i = 0; i < 4; ++i) {
        others.push_back(std::make_unique<TinyHttp>());
        relay.keepWarm(others.back()->url("/x.ts"));
    }
    EXPECT_TRUE(Eventually([&] {
        return std::all_of(others.begin(), others.end(),
                           [&](const auto& o) { return relay.isPrepared(o->url("/x.ts")); });
    }));
    EXPECT_TRUE(Eventually([&] { return !relay.isPrepared(server.url("/a.ts")); }));
    EXPECT_EQ(relay.stats().warmConnections, 6u);

    // A near server (by the default policy) gets nothing kept, however often it is used.
    TinyHttp near;
    Relay skipping;
    for (int i = 0; i < 3; ++i) {
        skipping.keepWarm(near.url("/n.ts"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_FALSE(skipping.isPrepared(near.url("/n.ts")));
    EXPECT_EQ(near.connections(), 1) << "the one that found it near";
    EXPECT_EQ(skipping.stats().warmConnections, 0u);
}

TEST(StreamRelay, APreparationNeverCostsItsWarmServerTheConnectionWaitingForTheNextZap) {
    TinyHttp server, other;
    server.silent("/slow.m3u8");  // this row's playlist never comes
    server.route("/b.ts", 200, std::string(1000, 'B'), "video/mp2t");
    Relay relay(Relay::Near::Prepare);
    relay.keepWarm(server.url("/a.ts"));
    ASSERT_TRUE(Eventually([&] { return relay.isPrepared(server.url("/a.ts")); }));
    // A row of that server is prepared over the waiting connection, then another server's row,
    // then none: each time the connection goes back to wait for the next zap to its server.
    for (const std::string& next : {other.url("/x.ts"), std::string()}) {
        relay.prepare(server.url("/b.ts"));
        relay.waitUntilPrepared();
        relay.prepare(next);
        relay.waitUntilPrepared();
        EXPECT_TRUE(relay.isPrepared(server.url("/a.ts")));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(server.connections(), 1) << "no connection made again for a zap the relay was ready for";

    // While a preparation waits for its playlist, a zap to another row of that server goes over
    // the connection the preparation holds, and the warm server gets its next one meanwhile.
    relay.prepare(server.url("/slow.m3u8"));
    ASSERT_TRUE(Eventually([&] {
        const auto paths = server.requestedPaths();
        return std::find(paths.begin(), paths.end(), "/slow.m3u8") != paths.end();
    }));
    EXPECT_TRUE(relay.isPrepared(server.url("/b.ts")));
    {
        Client player(relay);
        player.get(server.url("/b.ts"), true);
        EXPECT_EQ(BodyOf(player.answer()), std::string(1000, 'B'));
    }
    EXPECT_EQ(relay.stats().preparedUsed, 1u);
    EXPECT_TRUE(
        Eventually([&] { return relay.stats().warmConnections == 2 && relay.isPrepared(server.url("/a.ts")); }));
    // The next row wanted is prepared at once: the playlist that never comes is not waited for.
    relay.prepare(other.url("/x.ts"));
    EXPECT_TRUE(Eventually([&] { return relay.isPrepared(other.url("/x.ts")); }));
}

TEST(StreamRelay, ARequestTheServerClosesUnansweredOnTheConnectionMadeInAdvanceIsSentOnceMore) {
    TinyHttp server;
    server.route("/a.ts", 200, std::string(1000, 'A'), "video/mp2t");
    server.dropNext("/a.ts", 1);
    Relay relay(Relay::Near::Prepare);
    relay.prepare(server.url("/a.ts"));
    relay.waitUntilPrepared();
    ASSERT_TRUE(relay.isPrepared(server.url("/a.ts")));
    Client player(relay);
    player.get(server.url("/a.ts"), true);
    EXPECT_EQ(BodyOf(player.answer()), std::string(1000, 'A'));
    EXPECT_EQ(server.requests(), 2);
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(relay.stats().preparedUsed, 1u);

    // On a connection the relay made when asked, a close is the server's answer, passed on.
    server.dropNext("/a.ts", 1);
    Client again(relay);
    again.get(server.url("/a.ts"), true);
    EXPECT_TRUE(again.closedByRelay());
    EXPECT_EQ(server.requests(), 3);
}

TEST(StreamRelay, APreparedPlaylistIsAnsweredFromMemoryAndOnlyPlaylistsAreFetched) {
    TinyHttp server;
    const std::string master =
        "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=800000\nlow/index.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=2000000\n" +
        server.url("/tv/high.m3u8") + "\n";
    const std::string media = "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\nseg0.ts\n#EXT-X-ENDLIST\n";
    const std::string segment(4 * 188, 'G');
    server.route("/tv/master.m3u8", 200, master, "application/vnd.apple.mpegurl");
    server.route("/tv/low/index.m3u8", 200, media, "application/vnd.apple.mpegurl");
    server.route("/tv/high.m3u8", 200, media, "application/vnd.apple.mpegurl");
    server.route("/tv/low/seg0.ts", 200, segment, "video/mp2t");
    Relay relay(Relay::Near::Prepare);
    relay.prepare(server.url("/tv/master.m3u8"), "libmpv");
    relay.waitUntilPrepared();
    ASSERT_TRUE(relay.isPrepared(server.url("/tv/master.m3u8")));
    // The three playlists and no segment; the last connection waits for the player.
    std::vector<std::string> paths = server.requestedPaths();
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/tv/high.m3u8", "/tv/low/index.m3u8", "/tv/master.m3u8"}));
    // (The server counts an answer's bytes once it has sent them, a moment after the relay has them.)
    EXPECT_TRUE(Eventually([&] { return server.bodyBytesSent() == master.size() + 2 * media.size(); }))
        << server.bodyBytesSent();
    EXPECT_NE(server.lastRequest().find("User-Agent: libmpv\r\n"), std::string::npos);
    EXPECT_EQ(relay.stats().playlistsFetched, 3u);

    // The player reads the master playlist twice (to recognise it, then to play it) and a
    // variant's, over one connection: all from memory, with the server's content type.
    Client player(relay);
    player.get(server.url("/tv/master.m3u8"));
    const std::string first = player.answer();
    EXPECT_EQ(BodyOf(first), master);
    EXPECT_NE(first.find("Content-Type: application/vnd.apple.mpegurl\r\n"), std::string::npos);
    player.get(server.url("/tv/master.m3u8"));
    EXPECT_EQ(BodyOf(player.answer()), master);
    player.get(server.url("/tv/low/index.m3u8"));
    EXPECT_EQ(BodyOf(player.answer()), media);
    EXPECT_EQ(server.requests(), 3) << "no playlist was asked of the server again";
    EXPECT_EQ(relay.stats().answeredFromMemory, 3u);

    // The segment goes to the server, over the connection made in advance.
    player.get(server.url("/tv/low/seg0.ts"));
    EXPECT_EQ(BodyOf(player.answer()), segment);
    EXPECT_EQ(server.requests(), 4);
    EXPECT_EQ(relay.stats().preparedUsed, 1u);
}

TEST(StreamRelay, TheServersAnswersPassUnchangedAndWhatIsNotPreparedIsNotClaimed) {
    TinyHttp server;
    server.route("/a.ts", 200, std::string(1000, 'A'), "video/mp2t");
    server.route("/b.ts", 200, std::string(1000, 'B'), "video/mp2t");
    Relay relay(Relay::Near::Prepare);

    // A server that refuses, an address that is not plain http, or nothing prepared at all:
    // none of these is claimed as prepared, so the player opens them itself.
    EXPECT_FALSE(relay.isPrepared(server.url("/a.ts")));
    const std::string refused = "http://127.0.0.1:" + std::to_string(TinyHttp::ClosedPort()) + "/x.ts";
    relay.prepare(refused);
    relay.waitUntilPrepared();
    EXPECT_FALSE(relay.isPrepared(refused));
    relay.prepare("https://127.0.0.1/x.ts");
    relay.waitUntilPrepared();
    EXPECT_FALSE(relay.isPrepared("https://127.0.0.1/x.ts"));

    // A new preparation replaces the one before (its server's connection is let go).
    {
        TinyHttp first;
        first.route("/a.ts", 200, "A", "video/mp2t");
        relay.prepare(first.url("/a.ts"));
        relay.prepare(server.url("/b.ts"));
        relay.waitUntilPrepared();
        EXPECT_FALSE(relay.isPrepared(first.url("/a.ts")));
        EXPECT_TRUE(relay.isPrepared(server.url("/b.ts")));
    }

    // A missing address: the server's status and words reach the player as they were.
    {
        Client player(relay);
        player.get(server.url("/missing.ts"), true);
        const std::string answer = player.answer();
        EXPECT_EQ(answer.substr(0, answer.find("\r\n")), "HTTP/1.0 404 Error");
        EXPECT_EQ(BodyOf(answer), "<html>not found</html>");
        EXPECT_TRUE(player.closedByRelay());
    }
    // Another server on the same connection ends it: the player opens another.
    {
        TinyHttp other;
        other.route("/c.ts", 200, "C", "video/mp2t");
        Client player(relay);
        player.get(server.url("/a.ts"));
        EXPECT_EQ(BodyOf(player.answer()), std::string(1000, 'A'));
        player.get(other.url("/c.ts"));
        EXPECT_TRUE(player.closedByRelay());
        EXPECT_EQ(other.requests(), 0);
    }
    // A secure address is tunnelled as it is (here plain bytes stand for the TLS the player speaks).
    {
        Client player(relay);
        player.send("CONNECT 127.0.0.1:" + std::to_string(server.port()) +
                    " HTTP/1.1\r\nHost: x\r\nProxy-Authorization: " + player.credentials() + "\r\n\r\n");
        EXPECT_EQ(player.read(39), "HTTP/1.1 200 Connection established\r\n\r\n");
        player.send("GET /b.ts HTTP/1.0\r\n\r\n");
        EXPECT_EQ(BodyOf(player.answer()), std::string(1000, 'B'));
    }
    // A request that is no proxy request is refused.
    {
        Client player(relay);
        player.send("GET /a.ts HTTP/1.1\r\nHost: x\r\nProxy-Authorization: " + player.credentials() + "\r\n\r\n");
        EXPECT_EQ(player.read(24), "HTTP/1.1 400 Bad Request");
    }
    // Nor does the relay serve anyone without this run's secret, however well formed the request.
    const int asked = server.requests();
    for (const std::string& credentials :
         {std::string(), std::string("Proxy-Authorization: Basic cGxheWVyOndyb25n\r\n")}) {
        Client stranger(relay);
        stranger.send("GET " + server.url("/a.ts") + " HTTP/1.1\r\nHost: x\r\n" + credentials + "\r\n");
        const std::string answer = stranger.answer();
        EXPECT_EQ(answer.substr(0, answer.find("\r\n")), "HTTP/1.1 407 Proxy Authentication Required");
        EXPECT_NE(answer.find("Proxy-Authenticate: Basic"), std::string::npos);
        EXPECT_TRUE(stranger.closedByRelay());
    }
    EXPECT_EQ(server.requests(), asked);
    EXPECT_NE(relay.proxyAddress().find("player:"), std::string::npos);
    EXPECT_NE(Relay().credentials(), relay.credentials()) << "a secret of each run";
}

}  // namespace
