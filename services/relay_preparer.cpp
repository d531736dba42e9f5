// What the relay makes ready before a zap: the connection to the row's server, its playlists, and
// the connections kept waiting for the servers kept warm.
#include "services/relay_internals.h"

namespace stream_relay {

void Relay::Impl::dropPreparation() {
    if (held) letGo(*held);
    held.reset();
    playlists.clear();
    preparedAddress.clear();
}

// A connection made in advance and not used: a warm server without one waiting keeps it as the
// one for its next zap (a preparation may have taken it from there), so that letting a
// preparation go never leaves that zap to open cold. Any other is closed.
void Relay::Impl::letGo(const Held& connection) {
    if (!stopping && warm.count(connection.key) && !spares.count(connection.key) &&
        Clock::now() < connection.made + kPreparedLifetime && StillOpen(connection.fd)) {
        spares[connection.key] = connection;
        warmChanged = true;  // its time runs out sooner than the warm thread may wait
        changed.notify_all();
        return;
    }
    CloseSocket(connection.fd);
}

void Relay::Impl::prepareLoop() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        if (!wanted) {
            changed.wait(lock, [this] { return stopping || wanted.has_value(); });
            continue;
        }
        const auto [address, userAgent] = *wanted;
        wanted.reset();
        abandon = false;
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
        auto made = Clock::now();
        if (const auto spare = spares.find(parsed->key()); spare != spares.end()) {
            fd = spare->second.fd;
            made = spare->second.made;
            spares.erase(spare);
            if (!StillOpen(fd)) {
                CloseSocket(fd);
                fd = kNoSocket;
            }
        }
        lock.unlock();
        if (fd == kNoSocket && (fd = Connect(parsed->host, parsed->port, abandon)) != kNoSocket) {
            ++connections;
            made = Clock::now();
        }
        const bool nearServer = fd != kNoSocket && nearPolicy == Relay::Near::Skip && isNear(PeerAddress(fd));
        if (nearServer) {
            // Preparing it would save less than the relay's hop costs: the player asks it itself.
            CloseSocket(fd);
            fd = kNoSocket;
        } else if (fd != kNoSocket) {
            // The connection serves from now on, while the playlists come.
            lock.lock();
            held = Held{parsed->key(), fd, made};
            lock.unlock();
        }
        if (!nearServer && LooksLikePlaylist(*parsed)) {
            ++connections;
            const Relay::NearRule skipNear = nearPolicy == Relay::Near::Skip ? isNear : nullptr;
            if (auto top = FetchPlaylist(*parsed, userAgent, skipNear, abandon)) {
                std::size_t variants = 0;
                for (const std::string& reference : VariantPlaylists(top->body)) {
                    if (variants == kMaxVariants || abandon) break;
                    const std::string variant = Resolve(preparedAddress, reference);
                    const auto variantAddress = variant.empty() ? std::nullopt : ParseHttp(variant);
                    if (!variantAddress || fetched.count(variant)) continue;
                    ++variants;
                    ++connections;
                    if (auto media = FetchPlaylist(*variantAddress, userAgent, skipNear, abandon))
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
            // Overtaken by another preparation while it ran: its connection goes with it.
            changed.notify_all();
            continue;
        }
        playlists = std::move(fetched);
        if (!held && playlists.empty())
            preparedAddress.clear();  // the server did not answer, or its connection is used
        changed.notify_all();
    }
    dropPreparation();
}

// Keeps a connection waiting for each warm server, and closes what is past its time.
void Relay::Impl::warmLoop() {
    std::unique_lock lock(mutex);
    while (!stopping) {
        warmChanged = false;
        auto next = Clock::time_point::max();
        const std::string key = tendWarm(Clock::now(), next);
        if (!key.empty()) {
            refill(lock, key);
            continue;
        }
        const auto woken = [this] { return stopping || warmChanged; };
        if (next == Clock::time_point::max())
            changed.wait(lock, woken);
        else
            changed.wait_until(lock, next, woken);
    }
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

}  // namespace stream_relay
