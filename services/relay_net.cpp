// The relay's socket calls: connecting (with the near rule), sending, waiting, looking names up.
#include "services/relay_internals.h"

namespace stream_relay {

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
Socket Connect(const std::string& host, int port, const std::atomic<bool>& stop, Relay::NearRule skipNear) {
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

}  // namespace stream_relay
