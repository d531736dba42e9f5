#include "player/failure_text.h"

#include <mpv/client.h>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace failure_text {
namespace {

bool Contains(std::string_view line, std::string_view part) {
    return std::search(line.begin(), line.end(), part.begin(), part.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           }) != line.end();
}

// "HTTP error 404 Not Found" -> "404 (Not Found)"; empty when the line is not the server's answer.
std::string HttpStatus(std::string_view line) {
    constexpr std::string_view kMark = "HTTP error ";
    const auto at = line.find(kMark);
    if (at == std::string_view::npos) return {};
    std::string_view rest = line.substr(at + kMark.size());
    if (rest.size() < 3 || !std::isdigit(static_cast<unsigned char>(rest[0])) ||
        !std::isdigit(static_cast<unsigned char>(rest[1])) || !std::isdigit(static_cast<unsigned char>(rest[2])))
        return {};
    std::string status(rest.substr(0, 3));
    std::string_view words = rest.substr(3);
    while (!words.empty() && (words.front() == ' ' || words.front() == '\t')) words.remove_prefix(1);
    while (!words.empty() &&
           (words.back() == ' ' || words.back() == '\r' || words.back() == '\n' || words.back() == '.'))
        words.remove_suffix(1);
    if (!words.empty() && words.size() <= 60) status += " (" + std::string(words) + ")";
    return status;
}

}  // namespace

Failure Describe(int mpvError, const std::vector<std::string>& log, bool tookLong) {
    // The most telling line wins, whatever its place: the server's own answer first, then what
    // the connection met, then what the demuxer made of the bytes.
    for (const std::string& line : log) {
        const std::string status = HttpStatus(line);
        if (!status.empty()) return {Kind::HttpStatus, "The server answered with HTTP status " + status + "."};
    }
    struct Rule {
        std::string_view part;
        Kind kind;
        const char* text;
    };
    static constexpr Rule kRules[] = {
        {"Failed to resolve hostname", Kind::HostNotFound, "The server's name could not be found (unknown host)."},
        {"Name or service not known", Kind::HostNotFound, "The server's name could not be found (unknown host)."},
        {"Temporary failure in name resolution", Kind::HostNotFound,
         "The server's name could not be found (unknown host)."},
        {"Connection refused", Kind::Refused, "The server refused the connection."},
        {"timed out", Kind::Timeout, "The server did not answer in time."},
        {"Network is unreachable", Kind::Unreachable, "The server cannot be reached from this network."},
        {"No route to host", Kind::Unreachable, "The server cannot be reached from this network."},
        {"Connection reset", Kind::Closed, "The server closed the connection."},
        {"certificate", Kind::Secure, "The secure connection to the server failed (its certificate was refused)."},
        {"TLS", Kind::Secure, "The secure connection to the server failed."},
        {"Failed to recognize file format", Kind::Unsupported,
         "The address does not hold a stream the player can read (unknown or damaged format)."},
        {"Invalid data found", Kind::Unsupported,
         "The address does not hold a stream the player can read (unknown or damaged format)."},
        {"No video or audio streams selected", Kind::Nothing, "The stream holds neither sound nor picture."},
    };
    for (const Rule& rule : kRules)
        for (const std::string& line : log)
            if (Contains(line, rule.part)) return {rule.kind, rule.text};
    switch (mpvError) {
        case MPV_ERROR_UNKNOWN_FORMAT:
            return {Kind::Unsupported,
                    "The address does not hold a stream the player can read (unknown or damaged format)."};
        case MPV_ERROR_NOTHING_TO_PLAY: return {Kind::Nothing, "The stream holds neither sound nor picture."};
        case MPV_ERROR_UNSUPPORTED: return {Kind::Unsupported, "The stream is in a format the player cannot decode."};
        default: break;
    }
    if (tookLong) return {Kind::Timeout, "The server did not answer in time."};
    return {Kind::Other, "The stream could not be opened."};
}

}  // namespace failure_text
