#pragma once
// A TCP relay on 127.0.0.1 that holds every piece of data for a fixed time in each direction:
// a link with a round trip of twice that, for the benchmarks. (Where the kernel offers netem, a
// network namespace with `tc qdisc ... netem delay` does the same; this machine's kernel has no
// netem, and a relay needs no privileges.) Pieces keep their order; throughput is not limited.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class LatencyProxy {
public:
    LatencyProxy(int upstreamPort, std::chrono::milliseconds oneWay) : m_upstream(upstreamPort), m_delay(oneWay) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(m_listen, 64);
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_accept = std::thread([this] { acceptLoop(); });
    }
    ~LatencyProxy() {
        m_stop = true;
        m_accept.join();
        while (m_live > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::close(m_listen);
    }
    LatencyProxy(const LatencyProxy&) = delete;
    LatencyProxy& operator=(const LatencyProxy&) = delete;
    int port() const { return m_port; }

private:
    // Both sockets of one relayed connection, closed when its last thread lets go.
    struct Connection {
        Connection(int c, int s) : client(c), server(s) {}
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;
        int client, server;
        ~Connection() {
            ::close(client);
            ::close(server);
        }
    };
    // One direction of one connection: a reader queues pieces with their due time, a writer
    // sends each when it is due.
    struct Pipe {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<std::pair<std::chrono::steady_clock::time_point, std::string>> pieces;
        bool ended = false;
    };

    void acceptLoop() {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            const int client = ::accept(m_listen, nullptr, nullptr);
            if (client < 0) continue;
            // Each connection on its own: connections made at once all wait one round trip.
            ++m_live;
            std::thread([this, client] {
                connectFor(client);
                --m_live;
            }).detach();
        }
    }

    void connectFor(int client) {
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(m_upstream));
        // The connection itself takes a round trip on such a link.
        std::this_thread::sleep_for(2 * m_delay);
        if (m_stop || ::connect(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(client);
            ::close(server);
            return;
        }
        // A piece goes on when it is due, never held back for the acknowledgement of the one
        // before (Nagle's algorithm): the link adds its delay and nothing else.
        const int yes = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        auto connection = std::make_shared<Connection>(client, server);
        relay(connection, client, server);
        relay(connection, server, client);
    }

    void relay(const std::shared_ptr<Connection>& connection, int from, int to) {
        auto pipe = std::make_shared<Pipe>();
        m_live += 2;
        std::thread([this, connection, from, pipe] {
            char buffer[64 * 1024];
            for (;;) {
                pollfd p{from, POLLIN, 0};
                if (m_stop) break;
                if (::poll(&p, 1, 100) <= 0) continue;
                const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
                std::lock_guard lock(pipe->mutex);
                if (n <= 0) {
                    pipe->ended = true;
                    pipe->ready.notify_one();
                    break;
                }
                pipe->pieces.emplace_back(std::chrono::steady_clock::now() + m_delay,
                                          std::string(buffer, static_cast<std::size_t>(n)));
                pipe->ready.notify_one();
            }
            --m_live;
        }).detach();
        std::thread([this, connection, to, pipe] {
            for (;;) {
                std::unique_lock lock(pipe->mutex);
                pipe->ready.wait_for(lock, std::chrono::milliseconds(100),
                                     [&] { return !pipe->pieces.empty() || pipe->ended || m_stop; });
                if (pipe->pieces.empty()) {
                    if (pipe->ended || m_stop) break;
                    continue;
                }
                auto [due, data] = std::move(pipe->pieces.front());
                pipe->pieces.pop_front();
                lock.unlock();
                std::this_thread::sleep_until(due);
                if (::send(to, data.data(), data.size(), MSG_NOSIGNAL) < 0) break;
            }
            // The far side learns of the end once everything before it has arrived.
            ::shutdown(to, SHUT_WR);
            --m_live;
        }).detach();
    }

    int m_listen = -1, m_port = 0, m_upstream;
    std::chrono::milliseconds m_delay;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_live{0};  // relay threads still running
    std::thread m_accept;
};

}  // namespace bench
