// libFuzzer target: any bytes as the relay reads them — a player's request head, and a playlist
// fetched in advance. What goes to a server is one request line and whole header lines, and
// every address taken from a playlist is one the relay would fetch as it stands.
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "services/stream_relay.h"

namespace {
// Only CR LF pairs and tabs among the control bytes.
bool CleanLines(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto head = stream_relay::ParseRequestHead(text)) {
        FUZZ_CHECK(CleanLines(head->forServer));
        FUZZ_CHECK(head->forServer.size() >= 4 &&
                   head->forServer.compare(head->forServer.size() - 4, 4, "\r\n\r\n") == 0);
        FUZZ_CHECK(head->forServer.find("\r\n\r\n") == head->forServer.size() - 4);
        FUZZ_CHECK(head->address.port > 0 && head->address.port <= 65535 && !head->address.host.empty());
        FUZZ_CHECK(stream_relay::ParseHttp(head->canonical).has_value());
    }
    for (const std::string& variant : stream_relay::VariantPlaylists(text)) {
        const std::string address = stream_relay::Resolve("http://tv.example/live/master.m3u8", variant);
        if (address.empty()) continue;
        const auto parsed = stream_relay::ParseHttp(address);
        FUZZ_CHECK(parsed.has_value());
        FUZZ_CHECK(CleanLines(parsed->target) && parsed->target.find(' ') == std::string::npos);
    }
    FUZZ_CHECK(stream_relay::PlaylistLifetimeMs(text) >= 1000);
    return 0;
}
