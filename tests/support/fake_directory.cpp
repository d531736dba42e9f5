#include "support/fake_directory.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string NamesJson(const std::map<std::string, int>& counts) {
    std::string out = "[";
    for (const auto& [name, count] : counts) {
        if (out.size() > 1) out += ",";
        out += "{\"name\":" + Quoted(name) + ",\"iso_3166_1\":\"XX\",\"stationcount\":" + std::to_string(count) + "}";
    }
    return out + "]";
}

}  // namespace

FakeDirectory::FakeDirectory(std::vector<Station> stations) : m_stations(std::move(stations)) {
    m_http.handle([this](const std::string& path) -> std::optional<TinyHttp::Reply> {
        const std::string route = path.substr(0, path.find('?'));
        const auto p = Parameters(path);
        auto get = [&](const char* key) {
            const auto found = p.find(key);
            return found == p.end() ? std::string() : found->second;
        };
        if (route == "/json/stations/search") {
            {
                std::lock_guard lock(m_mutex);
                if (m_slow.count(get("name"))) return TinyHttp::Reply{200, "", "application/json", 0, 0, true};
            }
            std::vector<Station> found;
            for (const Station& s : m_stations) {
                if (Lower(s.name).find(Lower(get("name"))) == std::string::npos) continue;
                if (!get("country").empty() && s.country != get("country")) continue;
                if (!get("language").empty() && s.language != get("language")) continue;
                if (!get("tag").empty() && ("," + s.tags + ",").find("," + get("tag") + ",") == std::string::npos)
                    continue;
                found.push_back(s);
            }
            std::stable_sort(found.begin(), found.end(),
                             [](const Station& a, const Station& b) { return a.clicks > b.clicks; });
            const std::size_t offset =
                std::min(found.size(), static_cast<std::size_t>(std::stoul("0" + get("offset"))));
            const std::size_t limit = get("limit").empty() ? 100000 : std::stoul(get("limit"));
            found = std::vector<Station>(found.begin() + static_cast<long>(offset),
                                         found.begin() + static_cast<long>(std::min(found.size(), offset + limit)));
            return TinyHttp::Reply{200, Json(found)};
        }
        std::map<std::string, int> counts;
        for (const Station& s : m_stations) {
            if (route == "/json/countries") ++counts[s.country];
            if (route == "/json/languages") ++counts[s.language];
            if (route == "/json/tags")
                for (std::size_t at = 0; at <= s.tags.size();) {
                    const std::size_t end = std::min(s.tags.find(',', at), s.tags.size());
                    if (end > at) ++counts[s.tags.substr(at, end - at)];
                    at = end + 1;
                }
        }
        if (route == "/json/countries" || route == "/json/languages" || route == "/json/tags")
            return TinyHttp::Reply{200, NamesJson(counts)};
        if (route.rfind("/json/url/", 0) == 0)
            return TinyHttp::Reply{200, "{\"ok\":true,\"message\":\"retrieved station url\"}"};
        return std::nullopt;
    });
}

void FakeDirectory::slowName(const std::string& name) {
    std::lock_guard lock(m_mutex);
    m_slow.insert(name);
}

int FakeDirectory::searches() const {
    const auto all = m_http.requestedPaths();
    return static_cast<int>(std::count_if(
        all.begin(), all.end(), [](const std::string& p) { return p.rfind("/json/stations/search", 0) == 0; }));
}

int FakeDirectory::reports(const std::string& uuid) const {
    const auto all = m_http.requestedPaths();
    return static_cast<int>(std::count(all.begin(), all.end(), "/json/url/" + uuid));
}

std::string FakeDirectory::Json(const std::vector<Station>& stations) {
    std::string out = "[";
    for (const Station& s : stations) {
        if (out.size() > 1) out += ",";
        out += "{\"changeuuid\":\"c-" + s.uuid + "\",\"stationuuid\":" + Quoted(s.uuid) +
               ",\"name\":" + Quoted(s.name) + ",\"url\":" + Quoted(s.url) + ",\"url_resolved\":" + Quoted(s.url) +
               ",\"homepage\":\"\",\"favicon\":" + Quoted(s.favicon) + ",\"tags\":" + Quoted(s.tags) +
               ",\"country\":" + Quoted(s.country) + ",\"countrycode\":\"XX\",\"language\":" + Quoted(s.language) +
               ",\"votes\":3,\"codec\":" + Quoted(s.codec) + ",\"bitrate\":" + std::to_string(s.bitrate) +
               ",\"hls\":0,\"lastcheckok\":1," + "\"clickcount\":" + std::to_string(s.clicks) +
               ",\"geo_lat\":null,\"has_extended_info\":false}";
    }
    return out + "]";
}

std::map<std::string, std::string> FakeDirectory::Parameters(const std::string& path) {
    std::map<std::string, std::string> out;
    const std::size_t q = path.find('?');
    if (q == std::string::npos) return out;
    auto decode = [](const std::string& s) {
        std::string d;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '%' && i + 2 < s.size()) {
                d += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                d += s[i] == '+' ? ' ' : s[i];
            }
        }
        return d;
    };
    for (std::size_t at = q + 1; at <= path.size();) {
        const std::size_t end = std::min(path.find('&', at), path.size());
        const std::string pair = path.substr(at, end - at);
        const std::size_t eq = pair.find('=');
        if (eq != std::string::npos) out[pair.substr(0, eq)] = decode(pair.substr(eq + 1));
        at = end + 1;
    }
    return out;
}
