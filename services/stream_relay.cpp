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
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <system_error>
#include <thread>

namespace stream_relay {
namespace {

using Clock = std::chrono::steady_clock;

// A server that accepts and says nothing for this long is given up, in advance or not.
constexpr int kConnectTimeoutMs = 5000;
constexpr int kPlaylistTimeoutMs = 5000;
// A connection made in advance and not used by then is closed: servers drop idle connections.
constexpr auto kPreparedLifetime = std::chrono::seconds(20);
// A server the player opened a stream from is kept warm this long after (one connection made in
// advance for the next zap to it, as a browser keeps one), for this many servers at most.
constexpr auto kWarmFor = std::chrono::seconds(60);
constexpr std::size_t kMaxWarm = 4;
// A warm server that could not be reached is tried again after this long.
constexpr auto kWarmRetry = std::chrono::seconds(5);
constexpr std::size_t kMaxHead = std::size_t{64} << 10;
constexpr std::size_t kMaxPlaylist = std::size_t{2} << 20;
constexpr std::size_t kMaxVariants = 4;
// The most connections served at once (the player opens two or three), and how long a new one
// has to send its first request head.
constexpr std::size_t kMaxClients = 16;
constexpr auto kHeadDeadline = std::chrono::seconds(5);

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

}  // namespace

std::optional<RequestHead> ParseRequestHead(std::string_view head) {
    // Lines end in CR LF and hold no other control byte than a tab: a lone CR or LF would end a
    // line for one server and not for another.
    for (std::size_t i = 0; i < head.size(); ++i) {
        const auto c = static_cast<unsigned char>(head[i]);
        if (c == '\r' && i + 1 < head.size() && head[i + 1] == '\n') {
            ++i;
            continue;
        }
        if ((c < 0x20 && c != '\t') || c == 0x7F) return std::nullopt;
    }
    const std::size_t lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const std::size_t sp1 = line.find(' ');
    const std::size_t sp2 = line.rfind(' ');
    if (sp1 == std::string_view::npos || sp2 <= sp1) return std::nullopt;
    RequestHead request;
    request.method = std::string(line.substr(0, sp1));
    if (request.method.empty() ||
        !std::all_of(request.method.begin(), request.method.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
        return std::nullopt;
    const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = line.substr(sp2 + 1);
    auto address = ParseHttp(target);
    if (!address || (version != "HTTP/1.1" && version != "HTTP/1.0")) return std::nullopt;
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

namespace {}  // namespace

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
    // A name or an IPv4 address; in brackets, an IPv6 address (with a zone, perhaps). Anything
    // else would not read back the same from the address the relay writes.
    const bool bracketed = !authority.empty() && authority.front() == '[';
    for (const char c : out.host) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~';
        if (!plain && !(bracketed && (c == ':' || c == '%'))) return std::nullopt;
    }
    if (bracketed && out.host.find(':') == std::string::npos) return std::nullopt;
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
    if (std::any_of(reference.begin(), reference.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; }))
        return {};                                                  // never sent as it stands
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
    // A target duration of an hour is already absurd; "nan", "inf" and 1e300 are no durations.
    if (!(seconds > 0)) seconds = 0;
    seconds = std::min(seconds, 3600.0);
    return std::max(1000, static_cast<int>(seconds * 500));
}

namespace {

// A resolved server address, ready for a connect.
struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = AF_INET;
};

std::vector<Endpoint> Endpoints(const addrinfo* found) {
    std::vector<Endpoint> out;
    for (const addrinfo* ai = found; ai; ai = ai->ai_next) {
        if (ai->ai_addrlen > sizeof(sockaddr_storage)) continue;
        Endpoint e;
        std::memcpy(&e.address, ai->ai_addr, ai->ai_addrlen);
        e.length = static_cast<socklen_t>(ai->ai_addrlen);
        e.family = ai->ai_family;
        out.push_back(e);
    }
    return out;
}

// The addresses of a host; with `numericOnly`, only when the host is written as an address
// (then nothing is looked up and the answer is immediate).
std::optional<std::vector<Endpoint>> Lookup(const std::string& host, int port, bool numericOnly) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    if (numericOnly) hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        if (numericOnly) return std::nullopt;
        return std::vector<Endpoint>{};
    }
    auto out = Endpoints(found);
    ::freeaddrinfo(found);
    return out;
}

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

bool WouldBlock() {
#ifdef _WIN32
    return WSAGetLastError() == WSAEWOULDBLOCK;
#else
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
#endif
}

int PollAll(std::vector<pollfd>& polled, int timeoutMs) {
#ifdef _WIN32
    return ::WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), timeoutMs);
#else
    return ::poll(polled.data(), static_cast<nfds_t>(polled.size()), timeoutMs);
#endif
}

bool OutOfDescriptors() {
#ifdef _WIN32
    return WSAGetLastError() == WSAEMFILE || WSAGetLastError() == WSAENOBUFS;
#else
    return errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
#endif
}

}  // namespace

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
    bool warmChanged = false;  // a server was used or its connection taken: the preparer looks
    Stats stats;
    std::atomic<bool> preparerDone{false}, resolverDone{false};
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
    void dropPreparation();  // with `mutex` held
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
    void fromServer(Conn& c);
    void openServer(Conn& c);
    void connectNext(Conn& c);
    void serverReached(Conn& c);
    void failServer(Conn& c);
    static bool flush(Socket fd, std::string& pending);
    static void close(Conn& c);
};

void Relay::Impl::dropPreparation() {
    if (held) CloseSocket(held->fd);
    held.reset();
    playlists.clear();
    preparedAddress.clear();
}

void Relay::Impl::prepareLoop() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        if (!wanted) {
            // Idle: a connection made in advance that nobody used is closed after a while; a
            // warm server without one gets one.
            warmChanged = false;
            auto next = Clock::time_point::max();
            const std::string key = tendWarm(Clock::now(), next);
            if (!key.empty()) {
                refill(lock, key);
                continue;
            }
            const auto woken = [this] { return stopping || wanted.has_value() || warmChanged; };
            if (next == Clock::time_point::max())
                changed.wait(lock, woken);
            else
                changed.wait_until(lock, next, woken);
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
        // The connection that waits for the player's first request to the server, then the
        // playlists (each over a connection of its own) unless the server proved near.
        std::map<std::string, Playlist> fetched;
        std::size_t connections = 0;
        // The warm server's connection serves; else one is made.
        Socket fd = kNoSocket;
        if (const auto spare = spares.find(parsed->key()); spare != spares.end()) {
            fd = spare->second.fd;
            spares.erase(spare);
            if (!StillOpen(fd)) {
                CloseSocket(fd);
                fd = kNoSocket;
            }
        }
        lock.unlock();
        if (fd == kNoSocket && (fd = Connect(parsed->host, parsed->port, stopping)) != kNoSocket) ++connections;
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
    for (auto& [key, spare] : spares) CloseSocket(spare.fd);
    spares.clear();
}

std::string Relay::Impl::tendWarm(Clock::time_point now, Clock::time_point& next) {
    if (held && now >= held->made + kPreparedLifetime) {
        CloseSocket(held->fd);
        held.reset();
    }
    if (held) next = std::min(next, held->made + kPreparedLifetime);
    for (auto it = spares.begin(); it != spares.end();) {
        const auto server = warm.find(it->first);
        if (now >= it->second.made + kPreparedLifetime || server == warm.end()) {
            CloseSocket(it->second.fd);
            it = spares.erase(it);
        } else {
            next = std::min(next, it->second.made + kPreparedLifetime);
            ++it;
        }
    }
    std::string wanting;
    for (auto it = warm.begin(); it != warm.end();) {
        if (now >= it->second.used + kWarmFor) {
            it = warm.erase(it);
            continue;
        }
        next = std::min(next, it->second.used + kWarmFor);
        const bool waiting = spares.count(it->first) || (held && held->key == it->first);  // one is enough
        if (!it->second.nearby && !waiting) {
            if (now >= it->second.retryAt)
                wanting = it->first;
            else
                next = std::min(next, it->second.retryAt);
        }
        ++it;
    }
    return wanting;
}

// Makes the connection a warm server waits with; `lock` is let go while it connects.
void Relay::Impl::refill(std::unique_lock<std::mutex>& lock, const std::string& key) {
    const Warm server = warm.at(key);
    lock.unlock();
    Socket fd = Connect(server.host, server.port, stopping);
    const bool nearServer = fd != kNoSocket && nearPolicy == Relay::Near::Skip && isNear(PeerAddress(fd));
    lock.lock();
    if (fd != kNoSocket) ++stats.serverConnections;
    const auto it = warm.find(key);
    if (nearServer || fd == kNoSocket || it == warm.end() || stopping || spares.count(key)) {
        if (fd != kNoSocket) CloseSocket(fd);
        if (it != warm.end()) {
            if (nearServer) it->second.nearby = true;  // it costs less than the relay's hop: never kept
            if (fd == kNoSocket) it->second.retryAt = Clock::now() + kWarmRetry;
        }
        return;
    }
    spares[key] = Held{key, fd, Clock::now()};
    ++stats.warmConnections;
    changed.notify_all();
}

Socket Relay::Impl::takeHeld(const std::string& key) {
    std::lock_guard lock(mutex);
    Socket fd = kNoSocket;
    if (held && held->key == key) {
        fd = held->fd;
        held.reset();
    } else if (const auto spare = spares.find(key); spare != spares.end()) {
        fd = spare->second.fd;
        spares.erase(spare);
    } else {
        return kNoSocket;
    }
    if (warm.count(key)) {
        warmChanged = true;  // another for the next zap to this server
        changed.notify_all();
    }
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

void Relay::Impl::resolveLoop() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        if (lookups.empty()) {
            changed.wait(lock, [this] { return stopping || !lookups.empty(); });
            continue;
        }
        const LookupJob job = lookups.front();
        lookups.pop_front();
        lock.unlock();
        auto found = Lookup(job.host, job.port, false);
        lock.lock();
        resolved.push_back({job.id, found ? std::move(*found) : std::vector<Endpoint>{}});
        waker.wake();
    }
}

void Relay::Impl::failServer(Conn& c) {
    c.toClient += "HTTP/1.1 502 Server Not Reached\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    c.closeAfterWrite = true;
    c.link = Conn::Link::None;
    c.in.clear();
}

void Relay::Impl::connectNext(Conn& c) {
    while (c.nextCandidate < c.candidates.size()) {
        if (c.server != kNoSocket) CloseSocket(c.server);
        c.server = kNoSocket;
        const Endpoint& e = c.candidates[c.nextCandidate++];
        const Socket fd = ::socket(e.family, SOCK_STREAM, 0);
        if (fd == kNoSocket) continue;
        if (!SetBlocking(fd, false)) {
            CloseSocket(fd);
            continue;
        }
        SetNoDelay(fd);
        c.server = fd;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&e.address), static_cast<int>(e.length)) == 0) {
            serverReached(c);
            return;
        }
        if (ConnectPending()) {
            c.link = Conn::Link::Connecting;
            c.connectDeadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
            return;
        }
    }
    if (c.server != kNoSocket) CloseSocket(c.server);
    c.server = kNoSocket;
    failServer(c);
}

void Relay::Impl::serverReached(Conn& c) {
    c.link = Conn::Link::Open;
    {
        std::lock_guard lock(mutex);
        ++stats.serverConnections;
    }
    if (c.tunnelReplyPending) {
        c.tunnelReplyPending = false;
        c.toClient += "HTTP/1.1 200 Connection established\r\n\r\n";
    }
}

// A connection to the request's server: the one made in advance, or a new one.
void Relay::Impl::openServer(Conn& c) {
    c.server = takeHeld(HttpAddress{c.serverHost, c.serverPort, "/"}.key());
    if (c.server != kNoSocket && SetBlocking(c.server, false)) {
        c.inAdvance = !c.tunnel;
        c.link = Conn::Link::Open;
        if (c.tunnelReplyPending) {
            c.tunnelReplyPending = false;
            c.toClient += "HTTP/1.1 200 Connection established\r\n\r\n";
        }
        return;
    }
    if (c.server != kNoSocket) CloseSocket(c.server);
    c.server = kNoSocket;
    c.candidates.clear();
    c.nextCandidate = 0;
    if (auto numeric = Lookup(c.serverHost, c.serverPort, true)) {
        c.candidates = std::move(*numeric);
        connectNext(c);
        return;
    }
    c.link = Conn::Link::Resolving;
    std::lock_guard lock(mutex);
    lookups.push_back({c.id, c.serverHost, c.serverPort});
    changed.notify_all();
}

// Handles what the client has sent: every complete request head, rewritten for the server,
// and the bodies after them.
void Relay::Impl::fromClient(Conn& c) {
    while (!c.closeAfterWrite && !c.done) {
        if (c.tunnel) {
            c.toServer += c.in;
            c.in.clear();
            return;
        }
        if (c.bodyLeft > 0) {
            const std::size_t n = std::min(c.bodyLeft, c.in.size());
            c.toServer.append(c.in, 0, n);
            c.in.erase(0, n);
            c.bodyLeft -= n;
            if (c.bodyLeft > 0) return;
        }
        const std::size_t end = c.in.find("\r\n\r\n");
        if (end == std::string::npos) {
            if (c.in.size() > kMaxHead) c.done = true;
            return;
        }
        const std::string_view head = std::string_view(c.in).substr(0, end + 4);
        if (HeaderValue(head, "Proxy-Authorization") != credentials) {
            // The player learns it must send its credentials, and sends the request again.
            c.toClient +=
                "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic "
                "realm=\"relay\"\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            c.closeAfterWrite = true;
            return;
        }
        c.requested = true;
        if (c.link == Conn::Link::None && StartsWithNoCase(head, "CONNECT ")) {
            // "CONNECT host:port HTTP/1.1": the player speaks TLS with the server through it.
            const std::string_view line = head.substr(0, head.find("\r\n"));
            const std::size_t sp = line.find(' ', 8);
            const auto address = ParseHttp("http://" + std::string(line.substr(8, sp - 8)));
            if (!address || address->target != "/") {
                c.done = true;
                return;
            }
            c.in.erase(0, end + 4);
            c.tunnel = true;
            c.tunnelReplyPending = true;
            c.serverHost = address->host;
            c.serverPort = address->port;
            c.serverKey = address->key();
            openServer(c);
            continue;
        }
        auto request = ParseRequestHead(head);
        c.in.erase(0, end + 4);
        if (!request) {
            c.toClient += "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            c.closeAfterWrite = true;
            return;
        }
        if (c.link == Conn::Link::None && request->method == "GET" && request->bodyBytes == 0) {
            if (auto answer = playlist(request->canonical)) {
                std::string answerHead = "HTTP/1.1 200 OK\r\n";
                if (!answer->contentType.empty()) answerHead += "Content-Type: " + answer->contentType + "\r\n";
                answerHead += "Content-Length: " + std::to_string(answer->body.size()) + "\r\n";
                if (request->close) answerHead += "Connection: close\r\n";
                c.toClient += answerHead + "\r\n" + answer->body;
                if (request->close) c.closeAfterWrite = true;
                continue;
            }
        }
        // One connection of the client goes to one server: for another, the player opens
        // another connection.
        if (c.link != Conn::Link::None && request->address.key() != c.serverKey) {
            c.done = true;
            return;
        }
        if (c.link == Conn::Link::None) {
            c.serverKey = request->address.key();
            c.serverHost = request->address.host;
            c.serverPort = request->address.port;
            openServer(c);
            if (c.closeAfterWrite) return;  // not reached
        }
        {
            std::lock_guard lock(mutex);
            ++stats.requestsPassed;
        }
        if (c.inAdvance && request->bodyBytes == 0) c.unanswered += request->forServer;
        c.toServer += request->forServer;
        c.bodyLeft = request->bodyBytes;
    }
}

// Writes what waits for a socket, as much as it takes now. False when the socket is gone.
bool Relay::Impl::flush(Socket fd, std::string& pending) {
    while (!pending.empty()) {
        const ssize_t n =
            ::send(fd, pending.data(), static_cast<int>(std::min<std::size_t>(pending.size(), 1 << 20)), MSG_NOSIGNAL);
        if (n < 0 && WouldBlock()) return true;
        if (n <= 0) return false;
        pending.erase(0, static_cast<std::size_t>(n));
    }
    return true;
}

void Relay::Impl::fromServer(Conn& c) {
    char buffer[65536];
    const ssize_t n = ::recv(c.server, buffer, static_cast<int>(sizeof buffer), 0);
    if (n < 0 && WouldBlock()) return;
    if (n <= 0 && c.inAdvance && !c.unanswered.empty() && c.bodyLeft == 0) {
        // Closed unanswered: once more on a connection of its own.
        CloseSocket(c.server);
        c.server = kNoSocket;
        c.inAdvance = false;
        c.toServer = std::move(c.unanswered);
        c.unanswered.clear();
        c.link = Conn::Link::None;
        openServer(c);
        return;
    }
    c.inAdvance = false;
    c.unanswered.clear();
    if (n <= 0) {
        CloseSocket(c.server);
        c.server = kNoSocket;
        c.link = Conn::Link::None;
        c.serverEnded = true;
        return;
    }
    c.toClient.append(buffer, static_cast<std::size_t>(n));
}

void Relay::Impl::close(Conn& c) {
    if (c.server != kNoSocket) CloseSocket(c.server);
    if (c.client != kNoSocket) CloseSocket(c.client);
    c.server = c.client = kNoSocket;
}

void Relay::Impl::accept(std::vector<std::unique_ptr<Conn>>& conns, Clock::time_point& acceptPausedUntil) {
    for (int i = 0; i < 16; ++i) {
        const Socket fd = ::accept(listener, nullptr, nullptr);
        if (fd == kNoSocket) {
            // Out of descriptors the waiting connection stays queued: taking a pause keeps the
            // loop from spinning on it until some are free.
            if (OutOfDescriptors()) acceptPausedUntil = Clock::now() + std::chrono::milliseconds(250);
            return;
        }
        const auto live =
            static_cast<std::size_t>(std::count_if(conns.begin(), conns.end(), [](const auto& c) { return !c->done; }));
        if (live >= kMaxClients) {
            // Full: the oldest connection that has not made a request yet gives way (closed now,
            // dropped from the list with the others that ended); when every one has (the
            // player's own), the newcomer is turned away.
            auto idle =
                std::find_if(conns.begin(), conns.end(), [](const auto& c) { return !c->requested && !c->done; });
            if (idle == conns.end()) {
                CloseSocket(fd);
                continue;
            }
            close(**idle);
            (*idle)->done = true;
        }
        if (!SetBlocking(fd, false)) {
            CloseSocket(fd);
            continue;
        }
        SetNoDelay(fd);
        auto c = std::make_unique<Conn>();
        c->id = ++lastConnId;
        c->client = fd;
        c->accepted = Clock::now();
        conns.push_back(std::move(c));
    }
}

void Relay::Impl::serveLoop() {
    std::vector<std::unique_ptr<Conn>> conns;
    std::vector<pollfd> polled;
    std::vector<std::pair<Conn*, int>> slots;  // the connection and which socket (0 client, 1 server)
    Clock::time_point acceptPausedUntil{};
    // Each direction holds at most this much unwritten: reading stops until the other side takes it.
    constexpr std::size_t kMaxPending = std::size_t{1} << 20;
    while (!stopping) {
        const auto now = Clock::now();
        // Deadlines: a client without a request head, a server that does not take the
        // connection, a client that does not end after the server did.
        for (auto& c : conns) {
            if (!c->requested && now - c->accepted > kHeadDeadline) c->done = true;
            if (c->link == Conn::Link::Connecting && now > c->connectDeadline) connectNext(*c);
            if (c->draining && now > c->drainDeadline) c->done = true;
        }
        // Write what waits, then close what ended.
        for (auto& c : conns) {
            if (c->done) continue;
            if (!flush(c->client, c->toClient)) c->done = true;
            if (c->link == Conn::Link::Open && !flush(c->server, c->toServer)) {
                if (!c->inAdvance) c->done = true;
            }
            if (c->toClient.empty() && c->closeAfterWrite) c->done = true;
            if (c->toClient.empty() && c->serverEnded && !c->draining) {
                ::shutdown(c->client, SHUT_WR);
                c->draining = true;
                c->drainDeadline = now + std::chrono::seconds(1);
            }
        }
        for (auto it = conns.begin(); it != conns.end();) {
            if ((*it)->done) {
                close(**it);
                it = conns.erase(it);
            } else {
                ++it;
            }
        }
        polled.clear();
        slots.clear();
        pollfd p{};
        p.fd = waker.fd();
        p.events = POLLIN;
        polled.push_back(p);
        const bool accepting = now >= acceptPausedUntil;
        if (accepting) {
            p.fd = listener;
            polled.push_back(p);
        }
        for (auto& c : conns) {
            p.fd = c->client;
            p.events = 0;
            if (c->toServer.size() < kMaxPending) p.events |= POLLIN;
            if (!c->toClient.empty()) p.events |= POLLOUT;
            polled.push_back(p);
            slots.emplace_back(c.get(), 0);
            if (c->link == Conn::Link::Open || c->link == Conn::Link::Connecting) {
                p.fd = c->server;
                p.events = 0;
                if (c->link == Conn::Link::Connecting) p.events = POLLOUT;
                if (c->link == Conn::Link::Open) {
                    if (c->toClient.size() < kMaxPending) p.events |= POLLIN;
                    if (!c->toServer.empty()) p.events |= POLLOUT;
                }
                polled.push_back(p);
                slots.emplace_back(c.get(), 1);
            }
        }
        const int timeoutMs = accepting ? 100 : 25;
        const int ready = PollAll(polled, timeoutMs);
        if (ready <= 0) continue;
        if (polled[0].revents & POLLIN) {
            waker.drain();
            std::deque<Resolved> results;
            {
                std::lock_guard lock(mutex);
                results.swap(resolved);
            }
            for (Resolved& r : results)
                for (auto& c : conns)
                    if (c->id == r.id && c->link == Conn::Link::Resolving) {
                        c->candidates = std::move(r.endpoints);
                        c->nextCandidate = 0;
                        connectNext(*c);
                    }
        }
        const std::size_t first = accepting ? 2 : 1;
        if (accepting && (polled[1].revents & POLLIN)) accept(conns, acceptPausedUntil);
        for (std::size_t i = first; i < polled.size(); ++i) {
            const short events = polled[i].revents;
            if (!events) continue;
            auto [c, which] = slots[i - first];
            if (c->done) continue;
            if (which == 1) {
                if (c->server != polled[i].fd) continue;  // replaced meanwhile
                if (c->link == Conn::Link::Connecting) {
                    int error = 0;
                    socklen_t length = sizeof error;
                    if (::getsockopt(c->server, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 &&
                        error == 0)
                        serverReached(*c);
                    else
                        connectNext(*c);
                } else if (events & (POLLIN | POLLHUP | POLLERR)) {
                    fromServer(*c);
                }
                continue;
            }
            if (!(events & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t n = ::recv(c->client, buffer, static_cast<int>(sizeof buffer), 0);
            if (n < 0 && WouldBlock()) continue;
            if (n <= 0) {
                c->done = true;
                continue;
            }
            if (c->draining || c->closeAfterWrite || c->serverEnded) continue;  // read to its end only
            c->in.append(buffer, static_cast<std::size_t>(n));
            fromClient(*c);
        }
    }
    for (auto& c : conns) close(*c);
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
    if (::bind(m->listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m->listener, SOMAXCONN) != 0 ||
        ::getsockname(m->listener, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        CloseSocket(m->listener);
        m->listener = kNoSocket;
        return;
    }
    m->port = ntohs(addr.sin_port);
    if (!m->waker.valid() || !SetBlocking(m->listener, false)) {
        CloseSocket(m->listener);
        m->listener = kNoSocket;
        return;
    }
    // Three threads whatever comes: serving, name lookups, preparing. One the system will not
    // give leaves the relay off (the player then asks the servers itself).
    try {
        m->server = std::thread([self = m] { self->serveLoop(); });
        m->resolver = std::thread([self = m] {
            self->resolveLoop();
            self->resolverDone = true;
        });
        m->preparer = std::thread([self = m] {
            self->prepareLoop();
            self->preparerDone = true;
        });
    } catch (const std::system_error&) {
        stop();
        CloseSocket(m->listener);
        m->listener = kNoSocket;
    }
}

void Relay::stop() {
    {
        std::lock_guard lock(m->mutex);
        m->stopping = true;
    }
    m->changed.notify_all();
    m->waker.wake();
    if (m->server.joinable()) m->server.join();  // never blocks: its sockets are non-blocking
    // The others end within a step once stopped, unless a name lookup of the system holds one;
    // that one is let go to end by itself (it holds its share of the relay).
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    const auto finish = [&](std::thread& thread, const std::atomic<bool>& done) {
        if (!thread.joinable()) return;
        while (!done && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (done)
            thread.join();
        else
            thread.detach();
    };
    finish(m->preparer, m->preparerDone);
    finish(m->resolver, m->resolverDone);
}

Relay::~Relay() {
    if (m->listener == kNoSocket) return;
    stop();
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

void Relay::keepWarm(const std::string& address) {
    const auto parsed = ParseHttp(address);
    if (!parsed || !isRunning()) return;
    std::lock_guard lock(m->mutex);
    const std::string key = parsed->key();
    auto& server = m->warm[key];
    server.host = parsed->host;
    server.port = parsed->port;
    server.used = Clock::now();
    if (m->warm.size() > kMaxWarm) {
        // The server used longest ago goes cold (its connection is closed by the preparer).
        const auto oldest = std::min_element(
            m->warm.begin(), m->warm.end(), [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
        m->warm.erase(oldest);
    }
    m->warmChanged = true;
    m->changed.notify_all();
}

bool Relay::isPrepared(const std::string& address) const {
    const auto parsed = ParseHttp(address);
    if (!parsed || !isRunning()) return false;
    std::lock_guard lock(m->mutex);
    if (const auto spare = m->spares.find(parsed->key()); spare != m->spares.end() && StillOpen(spare->second.fd))
        return true;  // a warm server's connection waits
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
