#include "support/tiny_http.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using ssize_t = long long;
#define poll WSAPoll
#define MSG_NOSIGNAL 0
#define SHUT_RDWR SD_BOTH
#define SHUT_WR SD_SEND
namespace {
int CloseSocket(int fd) { return ::closesocket(static_cast<SOCKET>(fd)); }
struct WinsockStart {
    WinsockStart() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
} g_winsock;
}  // namespace
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
namespace {
int CloseSocket(int fd) { return ::close(fd); }
}  // namespace
#endif

#include <cctype>
#include <chrono>
#include <vector>

namespace {
bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, static_cast<int>(size), MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}
}  // namespace

TinyHttp::TinyHttp(const char* host) : m_host(host) {
    m_listen = static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0));
    int one = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    ::inet_pton(AF_INET, host, &addr.sin_addr);
    addr.sin_port = 0;
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(m_listen, 16);
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { serve(); });
}

TinyHttp::~TinyHttp() {
    m_stop = true;
    ::shutdown(m_listen, SHUT_RDWR);
    CloseSocket(m_listen);
    m_thread.join();
}

std::string TinyHttp::url(const std::string& path) const {
    return "http://" + m_host + ":" + std::to_string(m_port) + path;
}

void TinyHttp::route(const std::string& path, int status, std::string body, std::string contentType) {
    std::lock_guard lock(m_mutex);
    Route route{status, std::move(body), false, 0, 0};
    route.contentType = std::move(contentType);
    m_routes[path] = std::move(route);
}

void TinyHttp::radio(const std::string& path, std::string audio, std::string contentType, std::string title,
                     std::size_t metaInterval) {
    std::lock_guard lock(m_mutex);
    Route r{200, std::move(audio), false, 0, 0};
    r.contentType = std::move(contentType);
    r.icyTitle = std::move(title);
    r.metaInterval = metaInterval;
    m_routes[path] = std::move(r);
}

std::string TinyHttp::WithIcyTitle(const std::string& audio, const std::string& title, std::size_t interval) {
    // A block is its length in 16-byte units, then the text padded with zeros to that length.
    std::string meta = "StreamTitle='" + title + "';";
    meta.append((16 - meta.size() % 16) % 16, '\0');
    std::string out;
    out.reserve(audio.size() + (audio.size() / interval + 1) * (meta.size() + 1));
    for (std::size_t at = 0; at < audio.size(); at += interval) {
        out.append(audio, at, interval);
        if (at + interval <= audio.size()) {
            out += static_cast<char>(meta.size() / 16);
            out += meta;
        }
    }
    return out;
}

void TinyHttp::endlessHead(const std::string& path, std::string headerLine) {
    std::lock_guard lock(m_mutex);
    Route r{200, std::move(headerLine), false, 0, 0};
    r.endless = true;
    r.openHead = true;
    m_routes[path] = r;
}

void TinyHttp::dropNext(const std::string& path, int times) {
    std::lock_guard lock(m_mutex);
    m_routes[path].drops = times;
}

void TinyHttp::handle(std::function<std::optional<Reply>(const std::string& path)> answer) {
    std::lock_guard lock(m_mutex);
    m_handler = std::move(answer);
}

void TinyHttp::silent(const std::string& path) {
    std::lock_guard lock(m_mutex);
    m_routes[path] = Route{200, {}, true, 0, 0};
}

void TinyHttp::slow(const std::string& path, std::string body, std::size_t piece, int pauseMs) {
    std::lock_guard lock(m_mutex);
    m_routes[path] = Route{200, std::move(body), false, piece, pauseMs};
}

void TinyHttp::cut(const std::string& path, std::string body, std::size_t sent, std::string contentType) {
    std::lock_guard lock(m_mutex);
    Route r{200, std::move(body), false, 0, 0};
    r.cutAfter = std::max<std::size_t>(sent, 1);
    r.contentType = std::move(contentType);
    m_routes[path] = r;
}

void TinyHttp::endless(const std::string& path, std::string piece, int pauseMs, std::uint64_t announced) {
    std::lock_guard lock(m_mutex);
    Route r{200, std::move(piece), false, 0, pauseMs};
    r.endless = true;
    r.announced = announced;
    m_routes[path] = r;
}

std::vector<std::string> TinyHttp::requestedPaths() const {
    std::lock_guard lock(m_mutex);
    return m_paths;
}

std::string TinyHttp::lastRequest() const {
    std::lock_guard lock(m_mutex);
    return m_lastRequest;
}

int TinyHttp::ClosedPort() {
    const int fd = static_cast<int>(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    CloseSocket(fd);
    return ntohs(addr.sin_port);
}

void TinyHttp::serve() {
    std::vector<std::thread> workers;
    while (!m_stop) {
        pollfd p{};
        p.fd = static_cast<decltype(p.fd)>(m_listen);
        p.events = POLLIN;
        if (::poll(&p, 1, 100) <= 0) continue;
        const int fd = static_cast<int>(::accept(m_listen, nullptr, nullptr));
        if (fd < 0) continue;
        workers.emplace_back([this, fd] { answer(fd); });
    }
    for (std::thread& t : workers) t.join();
}

void TinyHttp::answer(int fd) {
    // Connections open at once: counted from the accept to the close.
    ++m_connections;
    const int open = ++m_open;
    for (int seen = m_maxOpen.load(); open > seen && !m_maxOpen.compare_exchange_weak(seen, open);) {
    }
    struct Closed {
        std::atomic<int>& open;
        ~Closed() { --open; }
    } closed{m_open};
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && !m_stop) {
        pollfd p{};
        p.fd = static_cast<decltype(p.fd)>(fd);
        p.events = POLLIN;
        if (::poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = ::recv(fd, buffer, static_cast<int>(sizeof buffer), 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    if (request.find("\r\n\r\n") == std::string::npos) {
        CloseSocket(fd);  // closed (or the server stopped) before a whole request came
        return;
    }
    ++m_requests;
    const std::size_t sp1 = request.find(' ');
    const std::size_t sp2 = request.find(' ', sp1 + 1);
    const std::string path = sp1 == std::string::npos ? "" : request.substr(sp1 + 1, sp2 - sp1 - 1);
    Route route{404, "<html>not found</html>", false, 0, 0};
    {
        std::lock_guard lock(m_mutex);
        m_lastRequest = request;
        m_paths.push_back(path);
        if (auto it = m_routes.find(path); it != m_routes.end()) {
            route = it->second;
            if (it->second.drops > 0) --it->second.drops;
        } else if (m_handler) {
            if (const std::optional<Reply> reply = m_handler(path)) {
                route.status = reply->status;
                route.body = reply->body;
                route.contentType = reply->contentType;
                route.piece = reply->piece;
                route.pauseMs = reply->pauseMs;
                route.silent = reply->silent;
            }
        }
    }
    if (route.drops > 0) {
        CloseSocket(fd);
        return;
    }
    if (route.silent) {
        // Says nothing until the client hangs up or the server stops.
        while (!m_stop) {
            pollfd p{};
            p.fd = static_cast<decltype(p.fd)>(fd);
            p.events = POLLIN;
            if (::poll(&p, 1, 20) > 0 && ::recv(fd, buffer, static_cast<int>(sizeof buffer), 0) <= 0) break;
        }
        CloseSocket(fd);
        return;
    }
    if (route.endless) {
        std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n";
        if (route.announced > 0) head += "Content-Length: " + std::to_string(route.announced) + "\r\n";
        if (!route.openHead) head += "\r\n";
        // Until the client gives up (or the server stops): a send to a closed peer fails.
        bool open = SendAll(fd, head.data(), head.size());
        while (open && !m_stop) {
            open = SendAll(fd, route.body.data(), route.body.size());
            if (open && !route.openHead) m_bodyBytes += route.body.size();
            if (route.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(route.pauseMs));
        }
        CloseSocket(fd);
        return;
    }
    if (!route.icyTitle.empty()) {
        std::string lower = request;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool wantsMeta = lower.find("\r\nicy-metadata: 1") != std::string::npos;
        std::string head = "HTTP/1.0 200 OK\r\nContent-Type: " + route.contentType + "\r\nicy-name: Test Radio\r\n";
        if (wantsMeta) head += "icy-metaint: " + std::to_string(route.metaInterval) + "\r\n";
        head += "\r\n";
        const std::string body = wantsMeta ? WithIcyTitle(route.body, route.icyTitle, route.metaInterval) : route.body;
        if (SendAll(fd, head.data(), head.size()) && SendAll(fd, body.data(), body.size())) m_bodyBytes += body.size();
        ::shutdown(fd, SHUT_WR);
        CloseSocket(fd);
        return;
    }
    const std::string head = "HTTP/1.0 " + std::to_string(route.status) + (route.status == 200 ? " OK" : " Error") +
                             "\r\nContent-Type: " + route.contentType + "\r\nLast-Modified: " + kLastModified +
                             "\r\nContent-Length: " + std::to_string(route.body.size()) + "\r\n" +
                             (route.cutAfter > 0 ? "ETag: \"cut\"\r\n" : "") + "\r\n";
    SendAll(fd, head.data(), head.size());
    if (route.cutAfter > 0) {
        const std::size_t sent = std::min(route.cutAfter, route.body.size());
        if (SendAll(fd, route.body.data(), sent)) m_bodyBytes += sent;
    } else if (route.piece == 0) {
        if (SendAll(fd, route.body.data(), route.body.size())) m_bodyBytes += route.body.size();
    } else {
        for (std::size_t at = 0; at < route.body.size() && !m_stop; at += route.piece) {
            const std::size_t piece = std::min(route.piece, route.body.size() - at);
            if (!SendAll(fd, route.body.data() + at, piece)) break;
            m_bodyBytes += piece;
            // The pause ends early when the client hangs up: the connection counts as closed then.
            pollfd p{};
            p.fd = static_cast<decltype(p.fd)>(fd);
            p.events = POLLIN;
            if (::poll(&p, 1, route.pauseMs) > 0 && ::recv(fd, buffer, static_cast<int>(sizeof buffer), 0) <= 0) break;
        }
    }
    ::shutdown(fd, SHUT_WR);
    CloseSocket(fd);
}
