#include "services/stream_relay.h"

#include "services/relay_internals.h"

namespace stream_relay {

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
    // Four threads whatever comes: serving, name lookups, preparing, keeping servers warm (a
    // warm server's next connection is not held up by a preparation). One the system will not
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
        m->warmer = std::thread([self = m] {
            self->warmLoop();
            self->warmerDone = true;
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
        m->abandon = true;
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
    finish(m->warmer, m->warmerDone);
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
    m->abandon = true;  // what is under way is not waited for
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
    // The preparation's connection, unused, serves any address of its server (the row made
    // ready ahead of the keys is not always the one chosen), also while its playlists come.
    if (m->held && m->held->key == parsed->key() && StillOpen(m->held->fd)) return true;
    if (m->preparing || m->wanted) return false;
    return m->preparedAddress == Canonical(*parsed) && m->playlists.count(m->preparedAddress);
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
