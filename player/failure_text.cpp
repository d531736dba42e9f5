#include "player/failure_text.h"

#include "localisation/added_messages.h"

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

// A failure said by a message: its English text kept for logs, the key for the pane.
Failure Said(Kind kind, const char* key) { return {kind, std::string(localisation::EnglishText(key)), key, {}}; }

}  // namespace

Failure Describe(int mpvError, const std::vector<std::string>& log, bool tookLong) {
    // The most telling line wins, whatever its place: the server's own answer first, then what
    // the connection met, then what the demuxer made of the bytes.
    for (const std::string& line : log) {
        const std::string status = HttpStatus(line);
        if (!status.empty()) {
            std::string text(localisation::EnglishText("MSG_FAILHTTP"));
            text.replace(text.find("%1"), 2, status);
            return {Kind::HttpStatus, text, "MSG_FAILHTTP", status};
        }
    }
    struct Rule {
        std::string_view part;
        Kind kind;
        const char* key;
    };
    static constexpr Rule kRules[] = {
        {"Failed to resolve hostname", Kind::HostNotFound, "MSG_FAILUNKNOWNHOST"},
        {"Name or service not known", Kind::HostNotFound, "MSG_FAILUNKNOWNHOST"},
        {"Temporary failure in name resolution", Kind::HostNotFound, "MSG_FAILUNKNOWNHOST"},
        {"Connection refused", Kind::Refused, "MSG_FAILREFUSED"},
        {"timed out", Kind::Timeout, "MSG_FAILTIMEOUT"},
        {"Network is unreachable", Kind::Unreachable, "MSG_FAILUNREACHABLE"},
        {"No route to host", Kind::Unreachable, "MSG_FAILUNREACHABLE"},
        {"Connection reset", Kind::Closed, "MSG_FAILCLOSED"},
        {"certificate", Kind::Secure, "MSG_FAILCERTIFICATE"},
        {"TLS", Kind::Secure, "MSG_FAILSECURE"},
        {"Failed to recognize file format", Kind::Unsupported, "MSG_FAILFORMAT"},
        {"Invalid data found", Kind::Unsupported, "MSG_FAILFORMAT"},
        {"No video or audio streams selected", Kind::Nothing, "MSG_FAILNOTHING"},
    };
    for (const Rule& rule : kRules)
        for (const std::string& line : log)
            if (Contains(line, rule.part)) return Said(rule.kind, rule.key);
    switch (mpvError) {
        case MPV_ERROR_UNKNOWN_FORMAT: return Said(Kind::Unsupported, "MSG_FAILFORMAT");
        case MPV_ERROR_NOTHING_TO_PLAY: return Said(Kind::Nothing, "MSG_FAILNOTHING");
        case MPV_ERROR_UNSUPPORTED: return Said(Kind::Unsupported, "MSG_FAILDECODE");
        default: break;
    }
    if (tookLong) return Said(Kind::Timeout, "MSG_FAILTIMEOUT");
    return Said(Kind::Other, "MSG_FAILOTHER");
}

}  // namespace failure_text
