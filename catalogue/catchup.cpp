#include "catalogue/catchup.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <vector>

#include "base/text.h"

namespace catchup {
namespace {

constexpr int kDefaultDays = 7;

std::string Number(std::int64_t n) { return std::to_string(n); }

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text::AsciiLower(text.substr(text.size() - end.size())) == end;
}

std::tm Utc(std::int64_t t) {
    const std::time_t at = static_cast<std::time_t>(t);
    std::tm out{};
#ifdef _WIN32
    gmtime_s(&out, &at);
#else
    gmtime_r(&at, &out);
#endif
    return out;
}

std::string TwoDigits(int n) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", n);
    return buffer;
}

// Every placeholder of a template filled in.
std::string Fill(std::string_view templ, std::int64_t start, std::int64_t stop, std::int64_t now) {
    const std::tm at = Utc(start);
    const std::int64_t duration = stop - start;
    const std::array<std::pair<const char*, std::string>, 22> values = {{
        {"${start}", Number(start)},
        {"${end}", Number(stop)},
        {"${now}", Number(now)},
        {"${timestamp}", Number(now)},
        {"${duration}", Number(duration)},
        {"${offset}", Number(now - start)},
        {"{utc}", Number(start)},
        {"{start}", Number(start)},
        {"{utcend}", Number(stop)},
        {"{end}", Number(stop)},
        {"{lutc}", Number(now)},
        {"{now}", Number(now)},
        {"{timestamp}", Number(now)},
        {"{duration:60}", Number(duration / 60)},
        {"{duration}", Number(duration)},
        {"{offset}", Number(now - start)},
        {"{Y}", Number(at.tm_year + 1900)},
        {"{m}", TwoDigits(at.tm_mon + 1)},
        {"{d}", TwoDigits(at.tm_mday)},
        {"{H}", TwoDigits(at.tm_hour)},
        {"{M}", TwoDigits(at.tm_min)},
        {"{S}", TwoDigits(at.tm_sec)},
    }};
    std::string out;
    out.reserve(templ.size() + 32);
    std::size_t i = 0;
    while (i < templ.size()) {
        bool filled = false;
        if (templ[i] == '{' || templ[i] == '$')
            for (const auto& [name, value] : values)
                if (templ.substr(i).rfind(name, 0) == 0) {
                    out += value;
                    i += std::string_view(name).size();
                    filled = true;
                    break;
                }
        if (!filled) out += templ[i++];
    }
    return out;
}

std::string_view WithoutQuery(std::string_view address, std::string_view& query) {
    const auto at = address.find('?');
    query = at == std::string_view::npos ? std::string_view() : address.substr(at);
    return address.substr(0, at);
}

std::optional<std::string> Flussonic(std::string_view live, std::int64_t start, std::int64_t stop) {
    std::string_view query;
    const std::string_view path = WithoutQuery(live, query);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos || path.find("://") == std::string_view::npos) return std::nullopt;
    const std::string_view folder = path.substr(0, slash + 1), file = path.substr(slash + 1);
    std::string archived;
    if (file == "mpegts" || EndsWith(file, ".ts"))
        archived = "timeshift_abs-" + Number(start) + ".ts";
    else if (EndsWith(file, ".m3u8"))
        archived =
            std::string(file.substr(0, file.size() - 5)) + "-" + Number(start) + "-" + Number(stop - start) + ".m3u8";
    else
        archived = "index-" + Number(start) + "-" + Number(stop - start) + ".m3u8";
    return std::string(folder) + archived + std::string(query);
}

std::optional<std::string> Xtream(std::string_view live, std::int64_t start, std::int64_t stop) {
    // scheme://host[:port][/live]/<user>/<pass>/<id>[.ext]
    const auto scheme = live.find("://");
    if (scheme == std::string_view::npos) return std::nullopt;
    const auto pathAt = live.find('/', scheme + 3);
    if (pathAt == std::string_view::npos) return std::nullopt;
    std::string_view query;
    const std::string_view path = WithoutQuery(live.substr(pathAt + 1), query);
    std::vector<std::string_view> parts = text::Split(path, '/');
    if (!parts.empty() && parts.front() == "live") parts.erase(parts.begin());
    if (parts.size() != 3 || parts[0].empty() || parts[1].empty() || parts[2].empty()) return std::nullopt;
    std::string id(parts[2]);
    if (id.find('.') == std::string::npos) id += ".ts";
    const std::tm at = Utc(start);
    const std::string when = Number(at.tm_year + 1900) + "-" + TwoDigits(at.tm_mon + 1) + "-" + TwoDigits(at.tm_mday) +
                             ":" + TwoDigits(at.tm_hour) + "-" + TwoDigits(at.tm_min);
    const std::int64_t minutes = (stop - start + 59) / 60;
    return std::string(live.substr(0, pathAt)) + "/timeshift/" + std::string(parts[0]) + "/" + std::string(parts[1]) +
           "/" + Number(minutes) + "/" + when + "/" + id + std::string(query);
}

}  // namespace

Archive FromAttributes(std::string_view kind, std::string_view days, std::string_view source) {
    Archive out;
    const std::string k = text::AsciiLower(text::TrimBlanks(kind, " \t"));
    if (k == "default")
        out.kind = Kind::Default;
    else if (k == "append")
        out.kind = Kind::Append;
    else if (k == "shift" || k == "timeshift")
        out.kind = Kind::Shift;
    else if (k == "flussonic" || k == "flussonic-hls" || k == "flussonic-ts" || k == "fs")
        out.kind = Kind::Flussonic;
    else if (k == "xc")
        out.kind = Kind::Xc;
    out.source = text::WithoutControlBytes(source);
    if ((out.kind == Kind::Default || out.kind == Kind::Append) && out.source.empty()) out.kind = Kind::None;
    if (out.kind == Kind::None) return {};
    int d = 0;
    for (const char c : text::TrimBlanks(days, " \t")) {
        if (c < '0' || c > '9' || d > 3650) break;
        d = d * 10 + (c - '0');
    }
    out.days = d;
    return out;
}

std::string Write(const Archive& archive) {
    if (!archive.declared()) return {};
    static const char* const kNames[] = {"", "default", "append", "shift", "flussonic", "xc"};
    return std::string(kNames[static_cast<int>(archive.kind)]) + ";" + std::to_string(archive.days) + ";" +
           archive.source;
}

Archive Read(std::string_view text) {
    const auto first = text.find(';');
    if (first == std::string_view::npos) return {};
    const auto second = text.find(';', first + 1);
    if (second == std::string_view::npos) return {};
    return FromAttributes(text.substr(0, first), text.substr(first + 1, second - first - 1), text.substr(second + 1));
}

std::optional<std::string> AddressFor(const Archive& archive, std::string_view live, std::int64_t start,
                                      std::int64_t stop, std::int64_t now) {
    if (!archive.declared() || start <= 0 || stop <= start || start >= now) return std::nullopt;
    const int days = archive.days > 0 ? archive.days : kDefaultDays;
    if (now - start > std::int64_t{days} * 86400) return std::nullopt;
    switch (archive.kind) {
        case Kind::Default: return Fill(archive.source, start, stop, now);
        case Kind::Append: return std::string(live) + Fill(archive.source, start, stop, now);
        case Kind::Shift: {
            const char joint = live.find('?') == std::string_view::npos ? '?' : '&';
            return std::string(live) + joint + "utc=" + Number(start) + "&lutc=" + Number(now);
        }
        case Kind::Flussonic:
            if (!archive.source.empty()) return Fill(archive.source, start, stop, now);
            return Flussonic(live, start, stop);
        case Kind::Xc:
            if (!archive.source.empty()) return Fill(archive.source, start, stop, now);
            return Xtream(live, start, stop);
        case Kind::None: break;
    }
    return std::nullopt;
}

}  // namespace catchup
