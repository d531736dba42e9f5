// The relay's HTTP: request heads, addresses, playlists and their variants, the near rule.
#include "services/relay_internals.h"

namespace stream_relay {

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

}  // namespace stream_relay
