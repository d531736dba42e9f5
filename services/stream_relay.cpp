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
namespace {
constexpr Socket kNoSocket = INVALID_SOCKET;
void CloseSocket(Socket fd) { ::closesocket(fd); }
bool SetBlocking(Socket fd, bool blocking) {
    u_long mode = blocking ? 0 : 1;
    return ::ioctlsocket(fd, FIONBIO, &mode) == 0;
}
bool ConnectPending() { return WSAGetLastError() == WSAEWOULDBLOCK; }
struct WinsockStart {
    WinsockStart() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
} g_winsock;
}  // namespace
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
namespace {
constexpr Socket kNoSocket = -1;
void CloseSocket(Socket fd) { ::close(fd); }
bool SetBlocking(Socket fd, bool blocking) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) return false;
    return ::fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK)) == 0;
}
bool ConnectPending() { return errno == EINPROGRESS; }
}  // namespace
#endif

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace stream_relay {
namespace {

using Clock = std::chrono::steady_clock;

// A server that accepts and says nothing for this long is given up, in advance or not.
constexpr int kConnectTimeoutMs = 5000;
constexpr int kPlaylistTimeoutMs = 5000;
// A connection made in advance and not used by then is closed: servers drop idle connections.
constexpr auto kPreparedLifetime = std::chrono::seconds(20);
constexpr std::size_t kMaxHead = std::size_t{64} << 10;
constexpr std::size_t kMaxPlaylist = std::size_t{2} << 20;
constexpr std::size_t kMaxVariants = 4;

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && std::equal(start.begin(), start.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

bool EndsWithNoCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && StartsWithNoCase(text.substr(text.size() - end.size()), end);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The path of a target without its query: "/a/b.m3u8?x=1" -> "/a/b.m3u8".
std::string_view PathOf(std::string_view target) { return target.substr(0, target.find_first_of("?#")); }

bool LooksLikePlaylist(const HttpAddress& address) {
    const std::string_view path = PathOf(address.target);
    return EndsWithNoCase(path, ".m3u8") || EndsWithNoCase(path, ".m3u");
}

// "host", "host:port" or "[v6]:port", as a Host header and an address write it.
std::string HostAndPort(const std::string& host, int port) {
    std::string out;
    const bool v6 = host.find(':') != std::string::npos;
    if (v6) out.push_back('[');
    out.append(host);
    if (v6) out.push_back(']');
    if (port != 80) out.append(":").append(std::to_string(port));
    return out;
}

// The address in one canonical spelling, so that the player's request finds what was fetched.
std::string Canonical(const HttpAddress& address) {
    std::string out = "http://";
    out.append(HostAndPort(Lower(address.host), address.port)).append(address.target);
    return out;
}

void SetNoDelay(Socket fd) {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

bool SendAll(Socket fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), static_cast<int>(data.size()), MSG_NOSIGNAL);
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Waits for `fd` to become ready for `events`, in short steps so that `stop` ends the wait;
// false on a timeout, an error of poll itself or a stop.
bool WaitFor(Socket fd, short events, int timeoutMs, const std::atomic<bool>& stop) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!stop) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{};
        p.fd = fd;
        p.events = events;
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (ready < 0) return false;
        if (ready > 0) return true;
    }
    return false;
}

// Whether a connection made in advance is still good to send a request on: the server has not
// closed it and has sent nothing (an idle connection is silent until asked).
bool StillOpen(Socket fd) {
    pollfd p{};
    p.fd = fd;
    p.events = POLLIN;
    return ::poll(&p, 1, 0) == 0;
}

// The numeric address of a connected socket's far end ("" when unknown).
std::string PeerAddress(Socket fd) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return {};
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw = peer.ss_family == AF_INET6
                          ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_addr)
                          : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr);
    return ::inet_ntop(peer.ss_family, raw, text, sizeof text) ? std::string(text) : std::string();
}

// The numeric form of a resolved address.
std::string NumericAddress(const addrinfo& ai) {
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw = ai.ai_family == AF_INET6
                          ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(ai.ai_addr)->sin6_addr)
                          : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(ai.ai_addr)->sin_addr);
    return ::inet_ntop(ai.ai_family, raw, text, sizeof text) ? std::string(text) : std::string();
}

// A connection to the server; with `skipNear`, to none of its addresses on this machine or its
// network (not even a connection is made to those).
Socket Connect(const std::string& host, int port, const std::atomic<bool>& stop, Relay::NearRule skipNear = nullptr) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) return kNoSocket;
    Socket connected = kNoSocket;
    for (addrinfo* ai = found; ai && connected == kNoSocket; ai = ai->ai_next) {
        if (skipNear && skipNear(NumericAddress(*ai))) continue;
        const Socket fd = ::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (fd == kNoSocket) continue;
        bool ok = SetBlocking(fd, false);
        if (ok && ::connect(fd, ai->ai_addr, static_cast<int>(ai->ai_addrlen)) != 0) {
            ok = ConnectPending();
            if (ok) {
                int error = 0;
                socklen_t length = sizeof error;
                ok = WaitFor(fd, POLLOUT, kConnectTimeoutMs, stop) &&
                     ::getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 &&
                     error == 0;
            }
        }
        if (ok && SetBlocking(fd, true)) {
            SetNoDelay(fd);
            connected = fd;
        } else {
            CloseSocket(fd);
        }
    }
    ::freeaddrinfo(found);
    return connected;
}

// The value of a header in a head ("Name: value" lines), or empty.
std::string HeaderValue(std::string_view head, std::string_view name) {
    std::size_t at = head.find("\r\n");
    while (at != std::string_view::npos && at + 2 < head.size()) {
        const std::size_t start = at + 2;
        const std::size_t end = head.find("\r\n", start);
        const std::string_view line = head.substr(start, end == std::string_view::npos ? head.npos : end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && colon == name.size() && StartsWithNoCase(line, name)) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
            return std::string(value);
        }
        at = end;
    }
    return {};
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 16;
        if (at + 1 < bytes.size()) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
        if (at + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 2]);
        out += kDigits[(group >> 18) & 63];
        out += kDigits[(group >> 12) & 63];
        out += at + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
        out += at + 2 < bytes.size() ? kDigits[group & 63] : '=';
    }
    return out;
}

// A secret of this run, so that only the player (told it in the proxy's address) can use the
// relay: any other program or user of the machine is refused.
std::string NewSecret() {
    std::random_device random;
    std::string out;
    for (int i = 0; i < 4; ++i) {
        char piece[9];
        std::snprintf(piece, sizeof piece, "%08x", static_cast<unsigned>(random()));
        out += piece;
    }
    return out;
}

struct Playlist {
    std::string body;
    std::string contentType;
    Clock::time_point fetched;
    std::chrono::milliseconds lifetime{0};
};

// Fetches a playlist over a connection of its own. Nothing is kept of an answer that is not a
// playlist: its first bytes are read and the connection closed.
// With a `skipNear` rule, a server on this machine or its network is not asked at all: a far playlist
// must not make the relay send requests to the user's own router or services.
std::optional<Playlist> FetchPlaylist(const HttpAddress& address, const std::string& userAgent,
                                      Relay::NearRule skipNear, const std::atomic<bool>& stop) {
    const Socket fd = Connect(address.host, address.port, stop, skipNear);
    if (fd == kNoSocket) return std::nullopt;
    struct Closer {
        Socket fd;
        ~Closer() { CloseSocket(fd); }
    } closer{fd};
    std::string request = "GET ";
    request.append(address.target)
        .append(" HTTP/1.1\r\nHost: ")
        .append(HostAndPort(address.host, address.port))
        .append("\r\nAccept: */*\r\n");
    if (!userAgent.empty()) request += "User-Agent: " + userAgent + "\r\n";
    request += "Connection: close\r\n\r\n";
    if (!SendAll(fd, request)) return std::nullopt;
    std::string answer;
    char buffer[16384];
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPlaylistTimeoutMs);
    std::size_t headEnd = std::string::npos;
    std::optional<std::size_t> length;
    while (Clock::now() < deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (!WaitFor(fd, POLLIN, static_cast<int>(std::max<long long>(left, 1)), stop)) return std::nullopt;
        const ssize_t n = ::recv(fd, buffer, static_cast<int>(sizeof buffer), 0);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        answer.append(buffer, static_cast<std::size_t>(n));
        if (headEnd == std::string::npos) {
            headEnd = answer.find("\r\n\r\n");
            if (headEnd == std::string::npos) {
                if (answer.size() > kMaxHead) return std::nullopt;
                continue;
            }
            const std::string_view head(answer.data(), headEnd);
            // Only a plain answer is taken: a redirect, an error or a chunked body is left to
            // the player, which asks the server itself.
            if (!(StartsWithNoCase(head, "HTTP/1.1 200") || StartsWithNoCase(head, "HTTP/1.0 200")) ||
                !HeaderValue(head, "Transfer-Encoding").empty())
                return std::nullopt;
            const std::string announced = HeaderValue(head, "Content-Length");
            if (!announced.empty()) {
                try {
                    length = static_cast<std::size_t>(std::stoull(announced));
                } catch (...) {
                    return std::nullopt;
                }
                if (*length > kMaxPlaylist) return std::nullopt;
            }
        }
        const std::size_t bodySize = answer.size() - headEnd - 4;
        // The first bytes say whether this is a playlist; anything else is not read further.
        if (bodySize >= 7 && answer.compare(headEnd + 4, 7, "#EXTM3U") != 0) return std::nullopt;
        if (bodySize > kMaxPlaylist) return std::nullopt;
        if (length && bodySize >= *length) break;
    }
    if (headEnd == std::string::npos) return std::nullopt;
    std::string body = answer.substr(headEnd + 4);
    if (length) {
        if (body.size() < *length) return std::nullopt;  // cut short
        body.resize(*length);
    } else if (Clock::now() >= deadline) {
        return std::nullopt;
    }
    if (!StartsWithNoCase(body, "#EXTM3U")) return std::nullopt;
    Playlist playlist;
    playlist.contentType = HeaderValue(std::string_view(answer.data(), headEnd), "Content-Type");
    playlist.lifetime = std::chrono::milliseconds(PlaylistLifetimeMs(body));
    playlist.body = std::move(body);
    playlist.fetched = Clock::now();
    return playlist;
}

// One request head from a client: its parts, and the head as the server is to get it.
struct Request {
    std::string method;
    HttpAddress address;
    std::string canonical;
    bool close = false;         // the client asked to close after the answer
    std::size_t bodyBytes = 0;  // what follows the head
    std::string forServer;      // the head with the target in origin form, without proxy headers
};

std::optional<Request> ParseRequest(std::string_view head) {
    const std::size_t lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const std::size_t sp1 = line.find(' ');
    const std::size_t sp2 = line.rfind(' ');
    if (sp1 == std::string_view::npos || sp2 <= sp1) return std::nullopt;
    Request request;
    request.method = std::string(line.substr(0, sp1));
    const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = line.substr(sp2 + 1);
    auto address = ParseHttp(target);
    if (!address || !StartsWithNoCase(version, "HTTP/1.")) return std::nullopt;
    request.address = *address;
    request.canonical = Canonical(*address);
    request.forServer = request.method + " " + address->target + " " + std::string(version) + "\r\n";
    std::size_t at = lineEnd;
    while (at != std::string_view::npos && at + 2 < head.size()) {
        const std::size_t start = at + 2;
        const std::size_t end = head.find("\r\n", start);
        const std::string_view header = head.substr(start, end == std::string_view::npos ? head.npos : end - start);
        at = end;
        if (header.empty()) break;
        if (StartsWithNoCase(header, "Proxy-")) continue;  // meant for the relay alone
        request.forServer.append(header).append("\r\n");
    }
    request.forServer += "\r\n";
    const std::string connection = Lower(HeaderValue(head, "Connection"));
    request.close = connection.find("close") != std::string::npos ||
                    (StartsWithNoCase(version, "HTTP/1.0") && connection.find("keep-alive") == std::string::npos);
    const std::string length = HeaderValue(head, "Content-Length");
    if (!length.empty()) {
        try {
            request.bodyBytes = static_cast<std::size_t>(std::stoull(length));
        } catch (...) {
            return std::nullopt;
        }
    }
    if (!HeaderValue(head, "Transfer-Encoding").empty()) return std::nullopt;  // a player sends none
    return request;
}

}  // namespace

std::string HttpAddress::key() const { return Lower(host) + ":" + std::to_string(port); }

std::optional<HttpAddress> ParseHttp(std::string_view address) {
    if (!StartsWithNoCase(address, "http://")) return std::nullopt;
    // A space or a control byte would end the request line or start a header of its own.
    if (std::any_of(address.begin(), address.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; }))
        return std::nullopt;
    std::string_view rest = address.substr(7);
    const std::size_t slash = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, slash);
    HttpAddress out;
    if (slash == std::string_view::npos || rest[slash] != '/') out.target.push_back('/');
    if (slash != std::string_view::npos) out.target.append(rest.substr(slash));
    if (const std::size_t hash = out.target.find('#'); hash != std::string::npos) out.target.resize(hash);
    if (authority.find('@') != std::string_view::npos) return std::nullopt;  // credentials: left to the player
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        out.host = std::string(authority.substr(1, close - 1));
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            portText = after.substr(1);
        }
    } else {
        const std::size_t colon = authority.find(':');
        out.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) portText = authority.substr(colon + 1);
    }
    if (out.host.empty()) return std::nullopt;
    if (!portText.empty()) {
        int port = 0;
        for (char c : portText) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || port > 65535) return std::nullopt;
            port = port * 10 + (c - '0');
        }
        if (port <= 0 || port > 65535) return std::nullopt;
        out.port = port;
    }
    return out;
}

std::string Resolve(std::string_view base, std::string_view reference) {
    if (reference.empty()) return {};
    if (reference.find("./") != std::string_view::npos) return {};  // dot segments: left to the player
    if (StartsWithNoCase(reference, "http://")) {
        const auto address = ParseHttp(reference);
        return address ? Canonical(*address) : std::string();
    }
    if (reference.find("://") != std::string_view::npos || StartsWithNoCase(reference, "//")) return {};
    const auto baseAddress = ParseHttp(base);
    if (!baseAddress) return {};
    HttpAddress out = *baseAddress;
    if (reference.front() == '/') {
        out.target = std::string(reference);
    } else if (reference.front() == '?') {
        out.target = std::string(PathOf(baseAddress->target)) + std::string(reference);
    } else {
        const std::string_view path = PathOf(baseAddress->target);
        out.target = std::string(path.substr(0, path.rfind('/') + 1)) + std::string(reference);
    }
    return Canonical(out);
}

std::vector<std::string> VariantPlaylists(std::string_view playlist) {
    std::vector<std::string> out;
    bool variantNext = false;
    std::size_t at = 0;
    while (at < playlist.size()) {
        std::size_t end = playlist.find('\n', at);
        if (end == std::string_view::npos) end = playlist.size();
        std::string_view line = playlist.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty()) continue;
        if (line.front() == '#') {
            if (StartsWithNoCase(line, "#EXT-X-STREAM-INF")) variantNext = true;
            continue;
        }
        if (variantNext) out.emplace_back(line);
        variantNext = false;
    }
    return out;
}

bool IsNearAddress(std::string_view address) {
    std::string text(address);
    in6_addr six{};
    in_addr four{};
    if (::inet_pton(AF_INET6, text.c_str(), &six) == 1) {
        const unsigned char* b = six.s6_addr;
        static const unsigned char loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        if (std::memcmp(b, loopback, 16) == 0) return true;
        if (b[0] == 0xfe && (b[1] & 0xc0) == 0x80) return true;  // link-local fe80::/10
        if ((b[0] & 0xfe) == 0xfc) return true;                  // unique local fc00::/7
        static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
        if (std::memcmp(b, mapped, 12) != 0) return false;
        // An IPv4 address written as IPv6 (::ffff:a.b.c.d): as that IPv4 address.
        std::memcpy(&four, b + 12, 4);
    } else if (::inet_pton(AF_INET, text.c_str(), &four) != 1) {
        return false;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(&four);
    return b[0] == 127 || b[0] == 10 || (b[0] == 172 && (b[1] & 0xf0) == 16) || (b[0] == 192 && b[1] == 168) ||
           (b[0] == 169 && b[1] == 254);
}

int PlaylistLifetimeMs(std::string_view playlist) {
    constexpr int kStatic = 30000;
    if (playlist.find("#EXT-X-STREAM-INF") != std::string_view::npos ||
        playlist.find("#EXT-X-ENDLIST") != std::string_view::npos)
        return kStatic;
    constexpr std::string_view kTarget = "#EXT-X-TARGETDURATION:";
    const std::size_t at = playlist.find(kTarget);
    double seconds = 0;
    if (at != std::string_view::npos) {
        try {
            seconds = std::stod(std::string(playlist.substr(at + kTarget.size(), 16)));
        } catch (...) {
            seconds = 0;
        }
    }
    return std::max(1000, static_cast<int>(seconds * 500));
}

struct Relay::Impl {
    std::atomic<Relay::Near> nearPolicy{Relay::Near::Skip};
    Relay::NearRule isNear = IsNearAddress;
    Socket listener = kNoSocket;
    std::string secret = NewSecret();
    std::string credentials = "Basic " + Base64("player:" + secret);  // as the player sends them
    int port = 0;
    std::atomic<bool> stopping{false};
    std::thread acceptor;
    std::thread preparer;

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
    Stats stats;
    // Every socket a client's relay thread uses, so that stopping can end them all.
    std::set<Socket> open;
    struct Client {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Client> clients;
    std::atomic<bool> preparerDone{false};
    std::weak_ptr<Impl> self;

    void acceptLoop();
    void prepareLoop();
    void dropPreparation();  // with `mutex` held
    void serveClient(Socket client);
    Socket takeHeld(const std::string& key);
    // A connection to this server for a client: the one made in advance, or a new one.
    Socket serverFor(const std::string& host, int port, bool* madeInAdvance = nullptr);
    std::optional<Playlist> playlist(const std::string& canonical);
    void track(Socket fd);
    void untrack(Socket fd);
};

void Relay::Impl::track(Socket fd) {
    std::lock_guard lock(mutex);
    open.insert(fd);
}

void Relay::Impl::untrack(Socket fd) {
    {
        std::lock_guard lock(mutex);
        open.erase(fd);
    }
    CloseSocket(fd);
}

void Relay::Impl::dropPreparation() {
    if (held) CloseSocket(held->fd);
    held.reset();
    playlists.clear();
    preparedAddress.clear();
}

void Relay::Impl::acceptLoop() {
    while (!stopping) {
        if (!WaitFor(listener, POLLIN, 100, stopping)) continue;
        const Socket fd = ::accept(listener, nullptr, nullptr);
        if (fd == kNoSocket) continue;
        SetNoDelay(fd);
        std::lock_guard lock(mutex);
        if (stopping) {
            CloseSocket(fd);
            break;
        }
        // Threads of clients that have gone are joined here, so that they do not pile up.
        for (auto it = clients.begin(); it != clients.end();) {
            if (*it->done) {
                it->thread.join();
                it = clients.erase(it);
            } else {
                ++it;
            }
        }
        open.insert(fd);
        auto done = std::make_shared<std::atomic<bool>>(false);
        clients.push_back(Client{std::thread([keep = self.lock(), fd, done] {
                                     keep->serveClient(fd);
                                     *done = true;
                                 }),
                                 done});
    }
}

void Relay::Impl::prepareLoop() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        if (!wanted) {
            // Idle: a connection made in advance that nobody used is closed after a while.
            if (held) {
                const auto expires = held->made + kPreparedLifetime;
                changed.wait_until(lock, expires, [this] { return stopping || wanted.has_value(); });
                if (!wanted && held && Clock::now() >= expires) {
                    CloseSocket(held->fd);
                    held.reset();
                }
            } else {
                changed.wait(lock, [this] { return stopping || wanted.has_value(); });
            }
            continue;
        }
        const auto [address, userAgent] = *wanted;
        wanted.reset();
        dropPreparation();
        const auto parsed = ParseHttp(address);
        if (!parsed) {
            changed.notify_all();
            continue;
        }
        preparing = true;
        preparedAddress = Canonical(*parsed);
        lock.unlock();
        // The connection that waits for the player's first request to the server, then the
        // playlists (each over a connection of its own) unless the server proved near.
        std::map<std::string, Playlist> fetched;
        std::size_t connections = 0;
        Socket fd = Connect(parsed->host, parsed->port, stopping);
        if (fd != kNoSocket) ++connections;
        const bool nearServer = fd != kNoSocket && nearPolicy == Relay::Near::Skip && isNear(PeerAddress(fd));
        if (nearServer) {
            // Preparing it would save less than the relay's hop costs: the player asks it itself.
            CloseSocket(fd);
            fd = kNoSocket;
        } else if (LooksLikePlaylist(*parsed)) {
            ++connections;
            const Relay::NearRule skipNear = nearPolicy == Relay::Near::Skip ? isNear : nullptr;
            if (auto top = FetchPlaylist(*parsed, userAgent, skipNear, stopping)) {
                std::size_t variants = 0;
                for (const std::string& reference : VariantPlaylists(top->body)) {
                    if (variants == kMaxVariants || stopping) break;
                    const std::string variant = Resolve(preparedAddress, reference);
                    const auto variantAddress = variant.empty() ? std::nullopt : ParseHttp(variant);
                    if (!variantAddress || fetched.count(variant)) continue;
                    ++variants;
                    ++connections;
                    if (auto media = FetchPlaylist(*variantAddress, userAgent, skipNear, stopping))
                        fetched[variant] = std::move(*media);
                }
                fetched[preparedAddress] = std::move(*top);
            }
        }
        lock.lock();
        preparing = false;
        stats.serverConnections += connections;
        stats.playlistsFetched += fetched.size();
        if (nearServer) ++stats.nearServers;
        if (wanted || stopping) {
            // Overtaken by another preparation while it ran.
            if (fd != kNoSocket) CloseSocket(fd);
            changed.notify_all();
            continue;
        }
        playlists = std::move(fetched);
        if (fd != kNoSocket) held = Held{parsed->key(), fd, Clock::now()};
        if (!held && playlists.empty()) preparedAddress.clear();  // the server did not answer
        changed.notify_all();
    }
    dropPreparation();
}

Socket Relay::Impl::takeHeld(const std::string& key) {
    std::lock_guard lock(mutex);
    if (!held || held->key != key) return kNoSocket;
    const Socket fd = held->fd;
    held.reset();
    if (!StillOpen(fd)) {
        CloseSocket(fd);
        return kNoSocket;
    }
    ++stats.preparedUsed;
    return fd;
}

std::optional<Playlist> Relay::Impl::playlist(const std::string& canonical) {
    std::lock_guard lock(mutex);
    const auto it = playlists.find(canonical);
    if (it == playlists.end()) return std::nullopt;
    if (Clock::now() - it->second.fetched > it->second.lifetime) {
        playlists.erase(it);  // the server's may have moved on
        return std::nullopt;
    }
    ++stats.answeredFromMemory;
    return it->second;
}

Socket Relay::Impl::serverFor(const std::string& host, int port, bool* madeInAdvance) {
    const std::string key = HttpAddress{host, port, "/"}.key();
    Socket fd = takeHeld(key);
    const bool made = fd == kNoSocket;
    if (madeInAdvance) *madeInAdvance = !made;
    if (made) fd = Connect(host, port, stopping);
    if (fd == kNoSocket) return fd;
    std::lock_guard lock(mutex);
    if (made) ++stats.serverConnections;
    open.insert(fd);
    return fd;
}

void Relay::Impl::serveClient(Socket client) {
    std::string fromClient;  // bytes of the client not yet passed on
    Socket server = kNoSocket;
    std::string serverKey;
    int serverPort = 80;
    std::string serverHost;
    // A connection made in advance may have been closed by the server just as the request went
    // out (servers drop idle connections). Until the server's first byte, what was sent is kept
    // to be sent once more, on a new connection, as browsers do.
    bool inAdvance = false;
    std::string unanswered;
    bool tunnel = false;       // a CONNECT tunnel (a secure address): bytes pass as they are
    std::size_t bodyLeft = 0;  // of the request being passed on
    char buffer[65536];
    // Passes on what the client has sent: every complete request head, rewritten for the server,
    // and the bodies after them. False when the connection is to end.
    const auto passOn = [&]() -> bool {
        for (;;) {
            const std::size_t raw = tunnel ? fromClient.size() : std::min(bodyLeft, fromClient.size());
            if (raw > 0 && !SendAll(server, std::string_view(fromClient).substr(0, raw))) return false;
            fromClient.erase(0, raw);
            if (!tunnel) bodyLeft -= raw;
            if (tunnel || bodyLeft > 0) return true;
            const std::size_t end = fromClient.find("\r\n\r\n");
            if (end == std::string::npos) return fromClient.size() <= kMaxHead;
            const std::string_view head = std::string_view(fromClient).substr(0, end + 4);
            if (HeaderValue(head, "Proxy-Authorization") != credentials) {
                // The player learns it must send its credentials, and sends the request again.
                SendAll(client,
                        "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic "
                        "realm=\"relay\"\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                return false;
            }
            if (server == kNoSocket && StartsWithNoCase(head, "CONNECT ")) {
                // "CONNECT host:port HTTP/1.1": the player speaks TLS with the server through it.
                const std::string_view line = head.substr(0, head.find("\r\n"));
                const std::size_t sp = line.find(' ', 8);
                const auto address = ParseHttp("http://" + std::string(line.substr(8, sp - 8)));
                if (!address || address->target != "/") return false;
                fromClient.erase(0, end + 4);
                server = serverFor(address->host, address->port);
                if (server == kNoSocket) {
                    SendAll(client, "HTTP/1.1 502 Server Not Reached\r\nContent-Length: 0\r\n\r\n");
                    return false;
                }
                tunnel = true;
                if (!SendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n")) return false;
                continue;
            }
            auto request = ParseRequest(head);
            fromClient.erase(0, end + 4);
            if (!request) {
                SendAll(client, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                return false;
            }
            if (server == kNoSocket && request->method == "GET" && request->bodyBytes == 0) {
                if (auto answer = playlist(request->canonical)) {
                    std::string answerHead = "HTTP/1.1 200 OK\r\n";
                    if (!answer->contentType.empty()) answerHead += "Content-Type: " + answer->contentType + "\r\n";
                    answerHead += "Content-Length: " + std::to_string(answer->body.size()) + "\r\n";
                    if (request->close) answerHead += "Connection: close\r\n";
                    if (!SendAll(client, answerHead + "\r\n" + answer->body) || request->close) return false;
                    continue;
                }
            }
            // One connection of the client goes to one server: for another, the player opens
            // another connection.
            if (server != kNoSocket && request->address.key() != serverKey) return false;
            if (server == kNoSocket) {
                serverKey = request->address.key();
                serverHost = request->address.host;
                serverPort = request->address.port;
                server = serverFor(serverHost, serverPort, &inAdvance);
                if (server == kNoSocket) {
                    SendAll(client,
                            "HTTP/1.1 502 Server Not Reached\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                    return false;
                }
            }
            {
                std::lock_guard lock(mutex);
                ++stats.requestsPassed;
            }
            if (inAdvance && request->bodyBytes == 0) unanswered += request->forServer;
            if (!SendAll(server, request->forServer) && !inAdvance) return false;
            bodyLeft = request->bodyBytes;
        }
    };
    bool open = true;
    bool serverEnded = false;
    while (open && !stopping) {
        pollfd p[2]{};
        p[0].fd = client;
        p[0].events = POLLIN;
        p[1].fd = server;
        p[1].events = POLLIN;
        if ((server == kNoSocket ? ::poll(p, 1, 200) : ::poll(p, 2, 200)) <= 0) continue;
        if (server != kNoSocket && (p[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::recv(server, buffer, static_cast<int>(sizeof buffer), 0);
            if (n <= 0 && inAdvance && !unanswered.empty() && bodyLeft == 0) {
                // Closed unanswered: once more on a connection of its own.
                inAdvance = false;
                untrack(server);
                server = serverFor(serverHost, serverPort);
                if (server == kNoSocket || !SendAll(server, unanswered)) break;
                unanswered.clear();
                continue;
            }
            inAdvance = false;
            unanswered.clear();
            serverEnded = n <= 0;
            if (n <= 0 || !SendAll(client, std::string_view(buffer, static_cast<std::size_t>(n)))) break;
        }
        if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(client, buffer, static_cast<int>(sizeof buffer), 0);
            if (n <= 0) break;
            fromClient.append(buffer, static_cast<std::size_t>(n));
            open = passOn();
        }
    }
    if (server != kNoSocket) untrack(server);
    if (serverEnded) {
        // The server's answer ends with its connection. The client is told so and read to its
        // own end before the close, so that no reset cuts the last bytes it has still to read.
        ::shutdown(client, SHUT_WR);
        while (WaitFor(client, POLLIN, 1000, stopping) &&
               ::recv(client, buffer, static_cast<int>(sizeof buffer), 0) > 0) {
        }
    }
    untrack(client);
}

Relay::Relay(Near nearPolicy, NearRule isNear) : m(std::make_shared<Impl>()) {
    m->self = m;
    m->nearPolicy = nearPolicy;
    m->isNear = isNear ? isNear : IsNearAddress;
    m->listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m->listener == kNoSocket) return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (::bind(m->listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m->listener, 16) != 0 ||
        ::getsockname(m->listener, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        CloseSocket(m->listener);
        m->listener = kNoSocket;
        return;
    }
    m->port = ntohs(addr.sin_port);
    m->acceptor = std::thread([this] { m->acceptLoop(); });
    m->preparer = std::thread([self = m] {
        self->prepareLoop();
        self->preparerDone = true;
    });
}

Relay::~Relay() {
    if (m->listener == kNoSocket) return;
    {
        std::lock_guard lock(m->mutex);
        m->stopping = true;
        for (const Socket fd : m->open) ::shutdown(fd, SHUT_RDWR);
    }
    m->changed.notify_all();
    m->acceptor.join();  // no client thread starts any more
    // Every thread ends within a step of its polls once stopped, unless a name lookup of the
    // system holds it; that one is let go to end by itself (it holds its share of the relay).
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    const auto finish = [&](std::thread& thread, const std::atomic<bool>& done) {
        while (!done && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (done)
            thread.join();
        else
            thread.detach();
    };
    finish(m->preparer, m->preparerDone);
    for (Impl::Client& client : m->clients) finish(client.thread, *client.done);
    CloseSocket(m->listener);
}

std::string Relay::credentials() const { return m->credentials; }

bool Relay::isRunning() const { return m->listener != kNoSocket; }

std::string Relay::proxyAddress() const {
    return isRunning() ? "http://player:" + m->secret + "@127.0.0.1:" + std::to_string(m->port) : std::string();
}

void Relay::prepare(const std::string& address, const std::string& userAgent) {
    if (!isRunning()) return;
    const auto parsed = ParseHttp(address);
    std::lock_guard lock(m->mutex);
    if (parsed && Canonical(*parsed) == m->preparedAddress && !m->wanted &&
        (m->preparing || (m->held && StillOpen(m->held->fd))))
        return;  // under way, or its connection waits still
    m->wanted = std::make_pair(parsed ? address : std::string(), userAgent);
    m->changed.notify_all();
}

void Relay::setNearPolicy(Near nearPolicy) { m->nearPolicy = nearPolicy; }

bool Relay::isPrepared(const std::string& address) const {
    const auto parsed = ParseHttp(address);
    if (!parsed || !isRunning()) return false;
    std::lock_guard lock(m->mutex);
    if (m->preparing || m->wanted || m->preparedAddress != Canonical(*parsed)) return false;
    if (m->playlists.count(m->preparedAddress)) return true;
    return m->held && m->held->key == parsed->key() && StillOpen(m->held->fd);
}

void Relay::waitUntilPrepared() const {
    std::unique_lock lock(m->mutex);
    m->changed.wait(lock, [this] { return m->stopping || (!m->preparing && !m->wanted); });
}

Stats Relay::stats() const {
    std::lock_guard lock(m->mutex);
    return m->stats;
}

}  // namespace stream_relay
