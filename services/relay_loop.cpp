// The relay's serving loop: one thread, one poll over every connection, and the resolver thread.
#include "services/relay_internals.h"

namespace stream_relay {

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
    for (int i = 0; i < 64; ++i) {
        const Socket fd = ::accept(listener, nullptr, nullptr);
        if (fd == kNoSocket) {
            // Out of descriptors the waiting connection stays queued: taking a pause keeps the
            // loop from spinning on it until some are free.
            if (OutOfDescriptors()) acceptPausedUntil = Clock::now() + std::chrono::milliseconds(250);
            return;
        }
        if (!SetBlocking(fd, false)) {
            CloseSocket(fd);
            continue;
        }
        SetNoDelay(fd);
        auto made = std::make_unique<Conn>();
        Conn& c = *made;
        c.id = ++lastConnId;
        c.client = fd;
        c.accepted = Clock::now();
        conns.push_back(std::move(made));
        // The player sends its request as soon as it is connected: read at once, it carries its
        // credentials before any other connection can push it out. Connections that never send
        // them (anyone else on this machine) are the only ones that give way, and only when
        // kMaxWaiting of them wait.
        readClient(c);
        std::size_t served = 0, waiting = 0;
        for (const auto& k : conns)
            if (!k->done) ++(k->requested ? served : waiting);
        Conn* leaving = nullptr;
        if (c.requested && served > kMaxClients) {
            leaving = &c;  // every place taken by requests: the newcomer is turned away
        } else if (waiting > kMaxWaiting) {
            // The oldest connection without a request gives way (closed now, dropped from the
            // list with the others that ended), once a last look finds no request arrived on it.
            for (auto& k : conns) {
                if (k->requested || k->done) continue;
                readClient(*k);
                if (!k->requested && !k->done) {
                    leaving = k.get();
                    break;
                }
            }
        }
        if (!leaving) continue;
        close(*leaving);
        leaving->done = true;
    }
}

void Relay::Impl::readClient(Conn& c) {
    char buffer[65536];
    const ssize_t n = ::recv(c.client, buffer, static_cast<int>(sizeof buffer), 0);
    if (n < 0 && WouldBlock()) return;
    if (n <= 0) {
        c.done = true;
        return;
    }
    if (c.draining || c.closeAfterWrite || c.serverEnded) return;  // read to its end only
    c.in.append(buffer, static_cast<std::size_t>(n));
    fromClient(c);
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
            if (events & (POLLIN | POLLHUP | POLLERR)) readClient(*c);
        }
    }
    for (auto& c : conns) close(*c);
}

}  // namespace stream_relay
