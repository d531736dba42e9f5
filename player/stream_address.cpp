#include "player/stream_address.h"

#include <array>
#include <cctype>
#include <string>

namespace stream_address {
namespace {

constexpr std::array<std::string_view, 9> kSchemes = {"http", "https", "mms", "mmsh", "mmst",
                                                      "rtmp", "rtsp",  "rtp", "udp"};

bool IsSchemeChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'; }

}  // namespace

std::size_t SchemeLength(std::string_view address) {
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(address[0]))) return 0;
    for (std::size_t i = 0; i < colon; ++i)
        if (!IsSchemeChar(address[i])) return 0;
    return colon;
}

bool IsAllowed(std::string_view address, Origin origin) {
    if (address.empty()) return false;
    for (char c : address)
        if (c == '\0' || c == '\r' || c == '\n') return false;

    if (const std::size_t colon = SchemeLength(address)) {
        std::string scheme(address.substr(0, colon));
        for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (std::string_view allowed : kSchemes)
            if (scheme == allowed) return address.substr(colon).starts_with("://");
        return false;
    }
    if (origin != Origin::User) return false;
    // A local file: an absolute path that names no protocol of the player ("x://", "av:").
    if (address.find("://") != std::string_view::npos) return false;
    if (address[0] == '/') return true;
    if (address.size() >= 3 && std::isalpha(static_cast<unsigned char>(address[0])) && address[1] == ':' &&
        (address[2] == '\\' || address[2] == '/'))
        return true;
    return address.starts_with("\\\\");
}

}  // namespace stream_address
