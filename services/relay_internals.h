#pragma once
// The relay's inside, shared by its rooms and by nothing else: the sockets of each platform, the
// limits, the helpers of its HTTP and its sockets, and the state of one relay (Relay::Impl) with
// its connections. stream_relay.cpp holds the public face, relay_loop.cpp the serving loop,
// relay_preparer.cpp what is made ready before a zap, relay_http.cpp request heads and
// playlists, relay_net.cpp the socket calls.
#include "services/stream_relay.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using ssize_t = long long;
using Socket = SOCKET;
#define poll WSAPoll
#define MSG_NOSIGNAL 0
#define SHUT_RDWR SD_BOTH
#define SHUT_WR SD_SEND
namespace stream_relay {
inline constexpr Socket kNoSocket = INVALID_SOCKET;
inline void CloseSocket(Socket fd) { ::closesocket(fd); }
inline bool SetBlocking(Socket fd, bool blocking) {
    u_long mode = blocking ? 0 : 1;
    return ::ioctlsocket(fd, FIONBIO, &mode) == 0;
}
inline bool ConnectPending() { return WSAGetLastError() == WSAEWOULDBLOCK; }
struct WinsockStart {
    WinsockStart() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};
inline WinsockStart g_winsock;
}  // namespace stream_relay
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
using Socket = int;
namespace stream_relay {
inline constexpr Socket kNoSocket = -1;
inline void CloseSocket(Socket fd) { ::close(fd); }
inline bool SetBlocking(Socket fd, bool blocking) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    return ::fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}
inline bool ConnectPending() { return errno == EINPROGRESS; }
}  // namespace stream_relay
#endif

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <system_error>
#include <thread>

namespace stream_relay {

using Clock = std::chrono::steady_clock;

// A server that accepts and says nothing for this long is given up, in advance or not.
inline constexpr int kConnectTimeoutMs = 5000;
inline constexpr int kPlaylistTimeoutMs = 5000;
// A connection made in advance and not used by then is closed: servers drop idle connections.
inline constexpr auto kPreparedLifetime = std::chrono::seconds(20);
// A server the player opened a stream from is kept warm this long after (one connection made in
// advance for the next zap to it, as a browser keeps one), for this many servers at most.
inline constexpr auto kWarmFor = std::chrono::seconds(60);
inline constexpr std::size_t kMaxWarm = 4;
// A warm server that could not be reached is tried again after this long.
inline constexpr auto kWarmRetry = std::chrono::seconds(5);
inline constexpr std::size_t kMaxHead = std::size_t{64} << 10;
inline constexpr std::size_t kMaxPlaylist = std::size_t{2} << 20;
inline constexpr std::size_t kMaxVariants = 4;
// The most connections served at once (the player opens two or three), how many may wait for
// their first request head (anyone on this machine can connect: a flood of them must not push
// the player's out before its head is read), and how long a new one has to send that head.
inline constexpr std::size_t kMaxClients = 16;
inline constexpr std::size_t kMaxWaiting = 256;
inline constexpr auto kHeadDeadline = std::chrono::seconds(5);

struct Playlist {
    std::string body;
    std::string contentType;
    Clock::time_point fetched;
    std::chrono::milliseconds lifetime{0};
};

// A resolved server address, ready for a connect.
struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = AF_INET;
};

// Text helpers of the relay's HTTP (relay_http.cpp).
bool StartsWithNoCase(std::string_view text, std::string_view start);
bool EndsWithNoCase(std::string_view text, std::string_view end);
std::string Lower(std::string_view text);
std::string_view PathOf(std::string_view target);
bool LooksLikePlaylist(const HttpAddress& address);
std::string HostAndPort(const std::string& host, int port);
std::string Canonical(const HttpAddress& address);
// The value of a header in a head ("Name: value" lines), or empty.
std::string HeaderValue(std::string_view head, std::string_view name);
std::string Base64(std::string_view bytes);
std::string NewSecret();
// Fetches a playlist over a connection of its own (see relay_http.cpp).
std::optional<Playlist> FetchPlaylist(const HttpAddress& address, const std::string& userAgent,
                                      Relay::NearRule skipNear, const std::atomic<bool>& stop);

// Sockets (relay_net.cpp).
void SetNoDelay(Socket fd);
bool SendAll(Socket fd, std::string_view data);
bool WaitFor(Socket fd, short events, int timeoutMs, const std::atomic<bool>& stop);
bool StillOpen(Socket fd);
std::string PeerAddress(Socket fd);
std::string NumericAddress(const addrinfo& ai);
Socket Connect(const std::string& host, int port, const std::atomic<bool>& stop, Relay::NearRule skipNear = nullptr);
std::vector<Endpoint> Endpoints(const addrinfo* found);
std::optional<std::vector<Endpoint>> Lookup(const std::string& host, int port, bool numericOnly);
bool WouldBlock();
int PollAll(std::vector<pollfd>& polled, int timeoutMs);
bool OutOfDescriptors();

// Wakes the serving loop from another thread: a UDP socket on the loopback interface that is
// connected to itself, so one byte sent makes it readable (the same on every platform).
class Waker {
public:
    Waker() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (m_fd == kNoSocket) return;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0 ||
            ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), length) != 0 || !SetBlocking(m_fd, false)) {
            CloseSocket(m_fd);
            m_fd = kNoSocket;
        }
    }
    ~Waker() {
        if (m_fd != kNoSocket) CloseSocket(m_fd);
    }
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;
    bool valid() const { return m_fd != kNoSocket; }
    Socket fd() const { return m_fd; }
    void wake() const { ::send(m_fd, "w", 1, 0); }
    void drain() const {
        char buffer[64];
        while (::recv(m_fd, buffer, sizeof buffer, 0) > 0) {
        }
    }

private:
    Socket m_fd = kNoSocket;
};

struct Relay::Impl {
    std::atomic<Relay::Near> nearPolicy{Relay::Near::Skip};
    Relay::NearRule isNear = IsNearAddress;
    Socket listener = kNoSocket;
    std::string secret = NewSecret();
    std::string credentials = "Basic " + Base64("player:" + secret);  // as the player sends them
    int port = 0;
    std::atomic<bool> stopping{false};
    std::thread server;  // the serving loop
    std::thread preparer;
    std::thread warmer;  // the warm servers' connections

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    // What to prepare next, and whether the preparer works now.
    std::optional<std::pair<std::string, std::string>> wanted;  // address, user agent
    bool preparing = false;
    // The preparation that stands.
    std::string preparedAddress;  // canonical
    struct Held {
        std::string key;
        Socket fd = kNoSocket;
        Clock::time_point made;
    };
    std::optional<Held> held;
    std::map<std::string, Playlist> playlists;  // by canonical address
    // The servers kept warm, and the connection made in advance for each (by HttpAddress::key).
    struct Warm {
        std::string host;
        int port = 0;
        Clock::time_point used;
        Clock::time_point retryAt;  // after a failed connect
        bool nearby = false;        // found near: nothing is kept for it (not "near": a Windows macro)
    };
    std::map<std::string, Warm> warm;
    std::map<std::string, Held> spares;
    bool warmChanged = false;  // a server was used or its connection taken or given back: the warm thread looks
    Stats stats;
    std::atomic<bool> preparerDone{false}, warmerDone{false}, resolverDone{false};
    // Set with each new preparation wanted (and at the stop): the one under way stops waiting
    // for its server.
    std::atomic<bool> abandon{false};
    std::weak_ptr<Impl> self;

    // The serving loop's own, and what it shares with the resolver thread (under `mutex`).
    Waker waker;
    std::thread resolver;
    struct LookupJob {
        std::uint64_t id;
        std::string host;
        int port;
    };
    struct Resolved {
        std::uint64_t id;
        std::vector<Endpoint> endpoints;
    };
    std::deque<LookupJob> lookups;
    std::deque<Resolved> resolved;
    std::uint64_t lastConnId = 0;
    struct Conn;

    void prepareLoop();
    void warmLoop();
    void dropPreparation();              // with `mutex` held
    void letGo(const Held& connection);  // with `mutex` held
    // With `mutex` held: closes what is past its time, and names the warm server that wants a
    // connection now (empty for none) and when the preparer must look again.
    std::string tendWarm(Clock::time_point now, Clock::time_point& next);
    void refill(std::unique_lock<std::mutex>& lock, const std::string& key);
    Socket takeHeld(const std::string& key);
    std::optional<Playlist> playlist(const std::string& canonical);

    void serveLoop();
    void resolveLoop();
    void accept(std::vector<std::unique_ptr<Conn>>& conns, Clock::time_point& acceptPausedUntil);
    void fromClient(Conn& c);
    void readClient(Conn& c);  // what the client sent, handed on
    void fromServer(Conn& c);
    void openServer(Conn& c);
    void connectNext(Conn& c);
    void serverReached(Conn& c);
    void failServer(Conn& c);
    static bool flush(Socket fd, std::string& pending);
    static void close(Conn& c);
};

// ---- Serving: one thread, one loop over every connection ---------------------------------
//
// The player's connections and the servers' are non-blocking sockets, all watched by one poll.
// A name lookup, which the system does only blocking, goes to the resolver thread; a host
// written as an address needs none. Whatever arrives, the loop holds a bounded number of
// connections, each with a bounded buffer in each direction.

struct Relay::Impl::Conn {
    std::uint64_t id = 0;
    Socket client = kNoSocket;
    Clock::time_point accepted;
    bool requested = false;  // a whole request head with this run's secret came
    std::string in;          // from the client, not yet handled
    std::string toClient;    // waiting to be written to the client
    std::string toServer;    // waiting to be written to the server (kept while connecting)
    // The server of this connection: one a connection.
    enum class Link { None, Resolving, Connecting, Open } link = Link::None;
    Socket server = kNoSocket;
    std::vector<Endpoint> candidates;
    std::size_t nextCandidate = 0;
    Clock::time_point connectDeadline;
    std::string serverKey, serverHost;
    int serverPort = 80;
    // A connection made in advance may have been closed by the server just as the request went
    // out (servers drop idle connections). Until the server's first byte, what was sent is kept
    // to be sent once more, on a new connection, as browsers do.
    bool inAdvance = false;
    std::string unanswered;
    bool tunnel = false;              // a CONNECT tunnel (a secure address): bytes pass as they are
    bool tunnelReplyPending = false;  // "200 Connection established" once the server is reached
    std::size_t bodyLeft = 0;         // of the request being passed on
    bool closeAfterWrite = false;     // ends once toClient is written
    // The server's answer ended with its connection: the client is told so once it has every
    // byte, and read to its own end before the close, so that no reset cuts what it still reads.
    bool serverEnded = false;
    bool draining = false;
    Clock::time_point drainDeadline;
    bool done = false;
};

}  // namespace stream_relay
