#pragma once
// Prepares a channel before it is chosen, so that choosing it costs fewer round trips.
//
// For the row under the pointer or the keyboard, `Relay::prepare` connects to the server of its
// address and, when the address is an HLS playlist, fetches that playlist and the variant
// playlists it lists. No media is asked for: the connection waits unused, and playlists are
// text. A load of a prepared address then goes through the relay, a small HTTP proxy on the
// loopback interface: it answers the playlists it holds from memory, sends the first request
// that needs the server over the connection made in advance, and passes everything else through
// as it comes, the server's answers and statuses included. Plain http only: a secure address is
// opened by the player itself.
//
// A server the player opened a stream from is kept warm for a minute (`Relay::keepWarm`): a
// connection to it waits, made again once used, so that a zap to any of its channels that was
// not prepared (a touch, an address handed over, a row not rested on) saves its connect too.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stream_relay {

// An http address taken apart: "http://host:port/path?query".
struct HttpAddress {
    std::string host;  // without the brackets of an IPv6 literal
    int port = 80;
    std::string target;       // the path and query, "/" at least
    std::string key() const;  // "host:port", one per server
};
std::optional<HttpAddress> ParseHttp(std::string_view address);

// An address written in a playlist, made absolute against the playlist's own address; empty
// when it cannot be made so safely (another scheme, dot segments).
std::string Resolve(std::string_view base, std::string_view reference);

// One request head of the player (the lines up to the empty one, the empty one included): its
// parts, and the head as the server is to get it (the target in origin form, no proxy headers).
// Nothing for a head the relay refuses: no absolute http address, a space or control byte in
// it, a chunked body.
struct RequestHead {
    std::string method;
    HttpAddress address;
    std::string canonical;
    bool close = false;         // the client asked to close after the answer
    std::size_t bodyBytes = 0;  // what follows the head
    std::string forServer;
};
std::optional<RequestHead> ParseRequestHead(std::string_view head);

// The addresses of the variant playlists a master playlist lists; none for a media playlist.
std::vector<std::string> VariantPlaylists(std::string_view playlist);

// How long a playlist fetched in advance may stand for the server's: a master playlist or one
// that is complete (video on demand) for half a minute, a live one for half its segment length
// (at least a second), after which the server has moved on.
int PlaylistLifetimeMs(std::string_view playlist);

// Whether a server at this address is on this machine or its local network (loopback, the
// private and link-local ranges of IPv4 and IPv6): its connection costs a fraction of a
// millisecond, less than the relay's own hop, so nothing is prepared for it. `address` is a
// numeric IPv4 or IPv6 address.
bool IsNearAddress(std::string_view address);

struct Stats {
    std::size_t serverConnections = 0;   // connections the relay opened to servers, in advance or not
    std::size_t playlistsFetched = 0;    // in advance
    std::size_t answeredFromMemory = 0;  // requests answered with a playlist fetched in advance
    std::size_t preparedUsed = 0;        // requests sent over a connection made in advance
    std::size_t requestsPassed = 0;      // requests passed on to a server
    std::size_t nearServers = 0;         // preparations dropped: the server is near
    std::size_t warmConnections = 0;     // made in advance for a server kept warm
};

class Relay {
public:
    // Whether a server on this machine or its local network is prepared too (see IsNearAddress).
    enum class Near { Skip, Prepare };
    // Which numeric server addresses count as near (IsNearAddress; a test may draw the line
    // elsewhere on its loopback interface).
    using NearRule = bool (*)(std::string_view address);
    // Listens at once on a port of the loopback interface that the system chooses.
    explicit Relay(Near nearPolicy = Near::Skip, NearRule isNear = IsNearAddress);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    bool isRunning() const;
    void setNearPolicy(Near nearPolicy);  // for the preparations from now on
    // "http://player:<secret>@127.0.0.1:<port>", for the player's proxy option. Requests without
    // this run's secret are refused ("407"), so no other program can use the relay.
    std::string proxyAddress() const;
    std::string credentials() const;  // what the player sends as Proxy-Authorization

    // Prepares this address in the background, in place of the one prepared before (its
    // connection is closed, its playlists dropped). An address that is not plain http, or an
    // empty one, only drops the old preparation. `userAgent` is what the player will say, so
    // that a server answers the playlists as it will answer the player.
    void prepare(const std::string& address, const std::string& userAgent = {});
    // Keeps the server of this address warm for a while: a connection to it is made in advance
    // (and made again once used or past its time), so that the next zap to any address of that
    // server costs one round trip less. Nothing is asked for over it until the player asks; a
    // near server (by the near policy) gets none. The player calls this for what it opens.
    void keepWarm(const std::string& address);
    // Whether this address is prepared now: its server's connection is open and unused (made
    // for it, for another address of its server, or for its warm server; also while the
    // playlists of its preparation come), or its playlist is held. A preparation that failed is
    // not.
    bool isPrepared(const std::string& address) const;
    // Returns once the preparation under way (if any) has ended.
    void waitUntilPrepared() const;

    Stats stats() const;

private:
    void stop();
    struct Impl;
    // Shared with the relay's threads: one held up by the system's name lookup may outlive the
    // relay for a moment rather than hold up its end.
    std::shared_ptr<Impl> m;
};

}  // namespace stream_relay
