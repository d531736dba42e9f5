// The stream check on libcurl's multi interface: at most `concurrency` transfers at a time,
// each ended as soon as its first bytes say what it is.
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>

#include <sys/socket.h>
#include <unistd.h>

#include "base/text.h"
#include "services/curl_reason.h"
#include "services/stream_check.h"

namespace stream_check {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string_view SkipLeadingSpace(std::string_view s) {
    if (StartsWith(s, "\xEF\xBB\xBF")) s.remove_prefix(3);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    return s;
}

std::string SchemeOf(std::string_view address) {
    const auto colon = address.find("://");
    if (colon == std::string_view::npos) return {};
    return text::AsciiLower(address.substr(0, colon));
}

}  // namespace

std::string Sniff(std::string_view contentType, bool icyHeaders, std::string_view bytes) {
    const std::string type = text::AsciiLower(contentType.substr(0, contentType.find(';')));
    const auto u = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    // Containers by their first bytes.
    if (bytes.size() > 188 && u(0) == 0x47 && u(188) == 0x47) return "MPEG-TS stream";
    if (!bytes.empty() && bytes.size() <= 188 && u(0) == 0x47 && type == "video/mp2t") return "MPEG-TS stream";
    static constexpr unsigned char kAsf[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11};
    if (bytes.size() >= sizeof kAsf && std::memcmp(bytes.data(), kAsf, sizeof kAsf) == 0)
        return "Windows Media (ASF) stream";
    const std::string_view text = SkipLeadingSpace(bytes);
    if (StartsWith(text, "#EXTM3U"))
        return text.find("#EXT-X-") != std::string_view::npos ? "HLS playlist" : "M3U playlist";
    if (StartsWith(text::AsciiLower(text.substr(0, 10)), "[playlist]")) return "PLS playlist";
    if (StartsWith(text::AsciiLower(text.substr(0, 4)), "<asx")) return "ASX playlist";
    if (bytes.size() >= 8 && bytes.substr(4, 4) == "ftyp") return "MP4 video";
    if (StartsWith(bytes, "FLV")) return "FLV stream";
    if (StartsWith(bytes, "OggS")) return icyHeaders ? "ICY radio (Ogg)" : "Ogg stream";
    if (StartsWith(bytes, "fLaC")) return "FLAC audio";
    if (bytes.size() >= 12 && StartsWith(bytes, "RIFF") && bytes.substr(8, 4) == "WAVE") return "WAV audio";
    const bool mpegAudio = StartsWith(bytes, "ID3") || (bytes.size() >= 2 && u(0) == 0xFF && (u(1) & 0xE0) == 0xE0);
    // By the head of the answer.
    if (icyHeaders) return "ICY radio (" + (type.empty() ? std::string("audio") : type) + ")";
    if (type == "application/vnd.apple.mpegurl" || type == "application/x-mpegurl" || type == "audio/x-mpegurl" ||
        type == "audio/mpegurl")
        return "M3U playlist";
    if (type == "audio/x-scpls") return "PLS playlist";
    if (type == "video/x-ms-asf" || type == "application/vnd.ms-asf" || type == "video/x-ms-wmv" ||
        type == "audio/x-ms-wma")
        return "Windows Media (ASF) stream";
    if (StartsWith(type, "audio/")) return "audio (" + type + ")";
    if (StartsWith(type, "video/")) return "video (" + type + ")";
    if (mpegAudio) return "MPEG audio";
    return {};
}

namespace {

// One address under way.
struct Probe {
    std::size_t index = 0;
    CURL* easy = nullptr;
    std::string contentType;
    bool icy = false;
    std::string bytes;
    std::size_t maxBytes = 0;
    std::string found;              // what the bytes were recognised as; ends the transfer
    curl_slist* headers = nullptr;  // the entry's own request headers, when it has any
    Probe() = default;
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;
    ~Probe() { curl_slist_free_all(headers); }
};

std::size_t OnHeader(char* ptr, std::size_t size, std::size_t count, void* user) {
    auto* p = static_cast<Probe*>(user);
    const std::size_t n = size * count;
    const std::string line = text::AsciiLower(std::string_view(ptr, n));
    if (StartsWith(line, "icy-") || StartsWith(line, "icy ")) p->icy = true;
    if (StartsWith(line, "content-type:")) {
        p->contentType = text::TrimBlanks(std::string_view(ptr + 13, n - 13), " \t\r\n");
    }
    // A redirect starts a new head: what the earlier answer said no longer holds.
    if (StartsWith(line, "http/")) {
        p->contentType.clear();
        p->icy = false;
    }
    return n;
}

std::size_t OnData(char* ptr, std::size_t size, std::size_t count, void* user) {
    auto* p = static_cast<Probe*>(user);
    const std::size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(p->easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) return 0;  // an error page: its body says nothing of the stream
    const std::size_t take = std::min(n, p->maxBytes - p->bytes.size());
    p->bytes.append(ptr, take);
    // Enough to tell most formats; a short first piece may still be a playlist's start.
    if (p->bytes.size() >= 512 || p->bytes.size() >= p->maxBytes) {
        p->found = Sniff(p->contentType, p->icy, p->bytes);
        if (!p->found.empty() || p->bytes.size() >= p->maxBytes) return 0;
    }
    return n;
}

std::string StatusReason(long status) {
    switch (status) {
        case 400: return "HTTP 400 Bad Request";
        case 401: return "HTTP 401 Unauthorized";
        case 403: return "HTTP 403 Forbidden";
        case 404: return "HTTP 404 Not Found";
        case 410: return "HTTP 410 Gone";
        case 500: return "HTTP 500 Internal Server Error";
        case 502: return "HTTP 502 Bad Gateway";
        case 503: return "HTTP 503 Service Unavailable";
        default: return "HTTP " + std::to_string(status);
    }
}

Result Judge(const Probe& p, CURLcode code, long timeoutSeconds) {
    long status = 0;
    curl_easy_getinfo(p.easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) return {Verdict::Dead, StatusReason(status)};
    std::string found = p.found.empty() ? Sniff(p.contentType, p.icy, p.bytes) : p.found;
    if (!found.empty()) return {Verdict::Alive, found};
    const std::string seconds = std::to_string(timeoutSeconds);
    switch (code) {
        case CURLE_OK:
        case CURLE_WRITE_ERROR: break;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT: return {Verdict::Dead, fetch::CurlReason(code)};
        case CURLE_OPERATION_TIMEDOUT:
            if (status == 0) return {Verdict::Dead, "no answer within " + seconds + " s"};
            if (p.bytes.empty()) return {Verdict::Dead, "answered but sent no data within " + seconds + " s"};
            break;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION: return {Verdict::Dead, fetch::CurlReason(code)};
        case CURLE_UNSUPPORTED_PROTOCOL: return {Verdict::Dead, "redirected to an address the player does not open"};
        case CURLE_TOO_MANY_REDIRECTS: return {Verdict::Dead, "too many redirects"};
        default:
            if (status == 0) return {Verdict::Dead, curl_easy_strerror(code)};
            break;
    }
    if (p.bytes.empty()) return {Verdict::Dead, "the answer is empty"};
    const std::string type = text::AsciiLower(p.contentType);
    if (StartsWith(type, "text/html")) return {Verdict::Dead, "a web page, not a stream"};
    return {Verdict::Unknown,
            "unrecognised content" + (p.contentType.empty() ? std::string() : " (" + p.contentType + ")")};
}

}  // namespace

namespace {

struct Sockets {
    std::size_t open = 0;
    Stats* stats = nullptr;
};

curl_socket_t OpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
    auto* sockets = static_cast<Sockets*>(user);
    const curl_socket_t fd = ::socket(address->family, address->socktype, address->protocol);
    if (fd != CURL_SOCKET_BAD) {
        ++sockets->open;
        sockets->stats->mostConnectionsAtOnce = std::max(sockets->stats->mostConnectionsAtOnce, sockets->open);
    }
    return fd;
}

int CloseSocket(void* user, curl_socket_t fd) {
    --static_cast<Sockets*>(user)->open;
    return ::close(fd);
}

}  // namespace

Stats Check(const std::vector<std::string>& addresses, const Options& options,
            const std::function<void(std::size_t, const Result&)>& done, const std::atomic<bool>& cancel) {
    Stats stats;
    Sockets sockets{0, &stats};
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    const std::size_t concurrency = std::max<std::size_t>(1, options.concurrency);
    CURLM* multi = curl_multi_init();
    curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(concurrency));
    std::deque<std::unique_ptr<Probe>> running;
    std::size_t next = 0;
    const auto startMore = [&] {
        while (running.size() < concurrency && next < addresses.size()) {
            const std::size_t index = next++;
            const std::string& address = addresses[index];
            const std::string scheme = SchemeOf(address);
            if (scheme == "mms" || scheme == "mmsh" || scheme == "mmst" || scheme == "rtsp" || scheme == "rtmp" ||
                scheme == "rtp" || scheme == "udp") {
                done(index, {Verdict::Unknown, scheme + " streams cannot be checked without playing them"});
                continue;
            }
            if (scheme != "http" && scheme != "https") {
                done(index, {Verdict::Dead, "not a stream address"});
                continue;
            }
            auto probe = std::make_unique<Probe>();
            probe->index = index;
            probe->maxBytes = options.maxBytes;
            CURL* easy = curl_easy_init();
            probe->easy = easy;
            curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
            curl_easy_setopt(easy, CURLOPT_USERAGENT, "Mozilla");
            // The headers its playlist asks for (a User-Agent of its own among them overrides the one above).
            if (index < options.headers.size())
                for (const std::string& line : options.headers[index])
                    probe->headers = curl_slist_append(probe->headers, line.c_str());
            if (probe->headers) curl_easy_setopt(easy, CURLOPT_HTTPHEADER, probe->headers);
            curl_easy_setopt(easy, CURLOPT_PROXY, "");
            curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
            curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
            curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
            curl_easy_setopt(easy, CURLOPT_TIMEOUT, options.timeoutSeconds);
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);  // a live stream's connection is never reused
            curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
            curl_easy_setopt(easy, CURLOPT_HEADERDATA, probe.get());
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnData);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, probe.get());
            curl_easy_setopt(easy, CURLOPT_PRIVATE, probe.get());
            curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
            curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &sockets);
            curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
            curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, &sockets);
            curl_multi_add_handle(multi, easy);
            running.push_back(std::move(probe));
        }
    };
    startMore();
    while (!running.empty() && !cancel.load()) {
        int active = 0;
        curl_multi_perform(multi, &active);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg != CURLMSG_DONE) continue;
            Probe* probe = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &probe);
            Result result = Judge(*probe, msg->data.result, options.timeoutSeconds);
            const char* effective = nullptr;
            if (curl_easy_getinfo(probe->easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
                result.answeredBy = effective;
            curl_multi_remove_handle(multi, probe->easy);
            curl_easy_cleanup(probe->easy);
            const std::size_t index = probe->index;
            running.erase(
                std::find_if(running.begin(), running.end(), [&](const auto& p) { return p.get() == probe; }));
            done(index, result);
        }
        startMore();
        if (!running.empty()) curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
    for (const auto& probe : running) {
        curl_multi_remove_handle(multi, probe->easy);
        curl_easy_cleanup(probe->easy);
    }
    curl_multi_cleanup(multi);
    return stats;
}

}  // namespace stream_check
