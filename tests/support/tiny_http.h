#pragma once
// A small HTTP/1.0 server on 127.0.0.1 in its own thread, for tests of code that blocks while
// it fetches. Routes answer with a status and body; a silent route accepts and never answers.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TinyHttp {
public:
    // Listens on `host`, a numeric IPv4 address of the loopback interface (127.0.0.1 by default).
    explicit TinyHttp(const char* host = "127.0.0.1");
    ~TinyHttp();
    int port() const { return m_port; }
    const std::string& host() const { return m_host; }
    std::string url(const std::string& path) const;

    void route(const std::string& path, int status, std::string body, std::string contentType = "text/html");
    void silent(const std::string& path);
    // Sends the body in pieces of `piece` bytes with `pauseMs` between them.
    void slow(const std::string& path, std::string body, std::size_t piece, int pauseMs);
    // Sends `piece` again and again, `pauseMs` apart, until the client hangs up; the head
    // announces `announced` bytes (none when 0).
    void endless(const std::string& path, std::string piece, int pauseMs, std::uint64_t announced = 0);

    // Announces the whole of `body` (with an ETag and Last-Modified), sends its first `sent`
    // bytes and hangs up: a download that breaks off.
    void cut(const std::string& path, std::string body, std::size_t sent, std::string contentType = "text/html");

    // The next `times` requests of the path are read and their connections closed unanswered (a
    // server that dropped an idle connection just as the request came); then it answers.
    void dropNext(const std::string& path, int times);

    // An ICY radio station: no length in the head, `audio` sent at once as a station's burst on
    // connect, with `title` as now-playing metadata every `metaInterval` bytes for clients that
    // ask for it ("Icy-MetaData: 1"); then the connection ends.
    void radio(const std::string& path, std::string audio, std::string contentType, std::string title,
               std::size_t metaInterval = 16000);
    // `audio` with a metadata block naming `title` after every `interval` bytes of it, as an
    // ICY station sends it to a client that asked for metadata.
    static std::string WithIcyTitle(const std::string& audio, const std::string& title, std::size_t interval);

    // Answers computed from the request's path (query included) for paths without a route of
    // their own; nothing from `answer` is a 404.
    struct Reply {
        int status = 200;
        std::string body;
        std::string contentType = "application/json";
        std::size_t piece = 0;  // with `pauseMs`: sent slowly, as slow() sends
        int pauseMs = 0;
        bool silent = false;
    };
    void handle(std::function<std::optional<Reply>(const std::string& path)> answer);

    // Starts an answer and then sends `headerLine` for ever, never ending the head.
    void endlessHead(const std::string& path, std::string headerLine);

    std::string lastRequest() const;                             // the request line and headers of the last request
    int maxOpenConnections() const { return m_maxOpen; }         // the most connections open at once
    int connections() const { return m_connections; }            // accepted, with a request or not
    int requests() const { return m_requests; }                  // complete request heads read
    std::uint64_t bodyBytesSent() const { return m_bodyBytes; }  // of answers, heads not counted
    std::vector<std::string> requestedPaths() const;
    // What every answer with a body says of its date.
    static constexpr const char* kLastModified = "Mon, 07 Dec 2026 20:00:00 GMT";
    static int ClosedPort();  // a port on which nothing listens

private:
    std::string m_host;
    struct Route {
        int status = 200;
        std::string body;
        bool silent = false;
        std::size_t piece = 0;
        int pauseMs = 0;
        bool endless = false;
        std::uint64_t announced = 0;
        bool openHead = false;  // the head never ends
        int drops = 0;          // requests still to be closed unanswered
        std::string contentType = "text/html";
        std::string icyTitle{};  // an ICY station's now-playing title
        std::size_t metaInterval = 0;
        std::size_t cutAfter = 0;  // bytes of the body sent before hanging up (0: all)
    };
    void serve();
    void answer(int fd);

    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_open{0}, m_maxOpen{0}, m_connections{0}, m_requests{0};
    std::atomic<std::uint64_t> m_bodyBytes{0};
    std::vector<std::string> m_paths;
    mutable std::mutex m_mutex;
    std::map<std::string, Route> m_routes;
    std::function<std::optional<Reply>(const std::string&)> m_handler;
    std::string m_lastRequest;
    std::thread m_thread;
};
