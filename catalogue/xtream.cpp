#include "catalogue/xtream.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

#include "base/json_reader.h"
#include "base/text.h"
#include "catalogue/catchup.h"
#include "catalogue/playlist.h"

namespace xtream {

namespace {

constexpr std::string_view kSecretMark = "{account-secret:";

// The fields of a panel's list element that a playlist needs; the others are passed by.
enum Field {
    kName,
    kStreamId,
    kNum,
    kIcon,
    kEpgId,
    kCategoryId,
    kArchive,
    kArchiveDays,
    kContainer,
    kCategoryName,
    kSeriesId,
    kCover
};
constexpr std::array<std::string_view, 12> kFieldNames{"name",          "stream_id",           "num",
                                                       "stream_icon",   "epg_channel_id",      "category_id",
                                                       "tv_archive",    "tv_archive_duration", "container_extension",
                                                       "category_name", "series_id",           "cover"};
using Record = std::array<std::string, kFieldNames.size()>;

// A handler that wants only plain values (strings, numbers, booleans as "1"/"0"), with their depth.
class PlainValues : public json::Handler {
public:
    void beginArray(int) override {}
    void endArray(int) override {}
    void string(int depth, std::string_view text) override { keep(depth, text); }
    void number(int depth, std::string_view text) override { keep(depth, text); }
    void boolean(int depth, bool value) override { keep(depth, value ? "1" : "0"); }
    void null(int) override {}

protected:
    virtual void keep(int depth, std::string_view text) = 0;
};

// Each object of a list (the elements of the top array, or the members of a top object, as
// some panels answer) as a Record of its plain values; nested values are passed by.
class Records : public PlainValues {
public:
    explicit Records(std::function<void(Record&)> each) : m_each(std::move(each)) {}
    void beginObject(int depth) override {
        if (depth == 1) m_record = Record{};
    }
    void endObject(int depth) override {
        if (depth == 1) m_each(m_record);
    }
    void key(int depth, std::string_view name) override {
        if (depth != 2) return;
        m_field = -1;
        for (std::size_t i = 0; i < kFieldNames.size(); ++i)
            if (kFieldNames[i] == name) m_field = static_cast<int>(i);
    }

private:
    void keep(int depth, std::string_view text) override {
        if (depth == 2 && m_field >= 0) m_record[static_cast<std::size_t>(m_field)] = text;
    }
    std::function<void(Record&)> m_each;
    Record m_record;
    int m_field = -1;
};

bool ReadRecords(std::string_view json, const std::function<void(Record&)>& each) {
    Records handler(each);
    return json::Read(json, handler).ok;
}

// The values of the account's "user_info" object.
class UserInfo : public PlainValues {
public:
    std::unordered_map<std::string, std::string> values;
    bool found = false;
    void beginObject(int depth) override {
        if (depth == 1 && m_outer == "user_info") found = true;
    }
    void endObject(int) override {}
    void key(int depth, std::string_view name) override {
        if (depth == 1) m_outer = name;
        if (depth == 2) m_inner = name;
    }

private:
    void keep(int depth, std::string_view text) override {
        if (depth == 2 && m_outer == "user_info") values[m_inner] = text;
    }
    std::string m_outer, m_inner;
};

std::string Clean(std::string_view text) { return text::TrimBlanks(text::WithoutControlBytes(text)); }

// A path piece of a stream's address: the panel's own ids are digits, a container a word.
bool SafePiece(std::string_view piece) {
    if (piece.empty() || piece.size() > 32) return false;
    for (const char c : piece)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    return true;
}

// "<kind>: <category>" for a film's or a series' row, "Other" for a category the panel left out.
std::string GroupOf(std::string_view kind, const std::unordered_map<std::string, std::string>& categories,
                    const std::string& id) {
    const auto found = categories.find(id);
    return std::string(kind) + ": " +
           (found == categories.end() || found->second.empty() ? std::string("Other") : found->second);
}

std::unordered_map<std::string, std::string> Categories(std::string_view json) {
    std::unordered_map<std::string, std::string> out;
    ReadRecords(json, [&](Record& r) {
        if (!r[kCategoryId].empty()) out[r[kCategoryId]] = Clean(r[kCategoryName]);
    });
    return out;
}

}  // namespace

std::string ServerOf(std::string_view typed) {
    std::string server = Clean(typed);
    if (server.empty() || server.find_first_of(" \"<>\\") != std::string::npos) return {};
    if (server.find("://") == std::string::npos) server = "http://" + server;
    if (!sources::IsWebAddress(server)) return {};
    // The panel's own pages, pasted whole: only the host (and port, and any path before them) is kept.
    for (const std::string_view page : {"/player_api.php", "/get.php", "/xmltv.php", "/panel_api.php"})
        if (const auto at = text::FoldCase(server).find(page); at != std::string::npos) server.resize(at);
    if (const auto query = server.find_first_of("?#"); query != std::string::npos) server.resize(query);
    while (!server.empty() && server.back() == '/') server.pop_back();
    const std::size_t scheme = server.find("://");
    return scheme != std::string::npos && server.size() > scheme + 3 ? server : std::string();
}

std::string ApiAddress(const Account& account, std::string_view action) {
    std::string out = account.server + "/player_api.php?username=" + text::UrlEncode(account.user) +
                      "&password=" + text::UrlEncode(account.password);
    if (!action.empty()) out.append("&action=").append(action);
    return out;
}

std::string GuideAddress(const Account& account, std::string_view sourceId) {
    return account.server + "/xmltv.php?username=" + text::UrlEncode(account.user) +
           "&password=" + std::string(kSecretMark) + std::string(sourceId) + "}";
}

bool HasSecretMark(std::string_view address) { return address.find(kSecretMark) != std::string_view::npos; }

std::string FillSecret(std::string_view address, const std::function<std::string(const std::string& id)>& lookup) {
    const std::size_t at = address.find(kSecretMark);
    if (at == std::string_view::npos) return std::string(address);
    const std::size_t end = address.find('}', at);
    if (end == std::string_view::npos) return std::string(address);
    const std::string id(address.substr(at + kSecretMark.size(), end - at - kSecretMark.size()));
    return std::string(address.substr(0, at)) + text::UrlEncode(lookup(id)) + std::string(address.substr(end + 1));
}

std::string Write(const State& state) {
    // The status is the panel's word: a ';' in it would split the fields.
    std::string status = text::WithoutControlBytes(state.status).substr(0, 32);
    std::replace(status.begin(), status.end(), ';', ' ');
    return status + ';' + std::to_string(state.expires) + ';' + std::to_string(state.maxConnections) + ';' +
           std::to_string(state.activeConnections);
}

State ReadState(std::string_view text) {
    const auto f = text::Split(text, ';');
    State out;
    if (f.size() != 4) return out;
    out.status = std::string(f[0]);
    out.expires = json::ToInteger(f[1]);
    out.maxConnections = static_cast<int>(json::ToInteger(f[2]));
    out.activeConnections = static_cast<int>(json::ToInteger(f[3]));
    return out;
}

Login ReadLogin(std::string_view body, long status, std::int64_t now) {
    Login out;
    // Panels answer a wrong password either with auth 0 or with a refusal.
    if (status == 401 || status == 403) {
        out.problem = Problem::WrongCredentials;
        return out;
    }
    UserInfo info;
    if (status < 200 || status >= 300 || !json::Read(body, info).ok || !info.found) return out;  // not a panel
    const auto value = [&](const char* name) {
        const auto found = info.values.find(name);
        return found == info.values.end() ? std::string() : found->second;
    };
    out.state.status = Clean(value("status"));
    out.state.expires = json::ToInteger(value("exp_date"));
    out.state.maxConnections = static_cast<int>(json::ToInteger(value("max_connections")));
    out.state.activeConnections = static_cast<int>(json::ToInteger(value("active_cons")));
    if (json::ToInteger(value("auth")) != 1) {
        out.problem = Problem::WrongCredentials;
    } else if (text::EqualsAsciiNoCase(out.state.status, "Expired") ||
               (out.state.expires > 0 && out.state.expires < now)) {
        out.problem = Problem::Expired;
    } else if (!out.state.status.empty() && !text::EqualsAsciiNoCase(out.state.status, "Active")) {
        out.problem = Problem::Disabled;
    } else {
        out.problem = Problem::None;
    }
    return out;
}

std::string PlaylistOf(const Account& account, const Answers& answers) {
    const std::string user = text::UrlEncode(account.user), password = text::UrlEncode(account.password);
    std::vector<playlist::Entry> entries;
    const auto add = [&](Record& r, std::string_view kind, std::string_view extension, std::string group) {
        if (!SafePiece(r[kStreamId]) || !SafePiece(extension)) return;  // no address could be made of it
        playlist::Entry e;
        e.name = Clean(r[kName]);
        e.address = account.server + "/" + std::string(kind) + "/" + user + "/" + password + "/" + r[kStreamId] + "." +
                    std::string(extension);
        e.group = std::move(group);
        e.logo = Clean(r[kIcon]);
        if (kind == "live") {
            e.tvgId = Clean(r[kEpgId]);
            if (const long long number = json::ToInteger(r[kNum]); number > 0) e.number = std::to_string(number);
            if (json::ToInteger(r[kArchive]) == 1)
                e.catchup = catchup::Write(catchup::FromAttributes(
                    "xc", std::to_string(json::ToInteger(r[kArchiveDays])), std::string_view{}));
        }
        entries.push_back(std::move(e));
    };
    const auto live = Categories(answers.liveCategories);
    ReadRecords(answers.live, [&](Record& r) {
        const auto group = live.find(r[kCategoryId]);
        add(r, "live", "ts", group == live.end() ? std::string() : group->second);
    });
    const auto films = Categories(answers.filmCategories);
    ReadRecords(answers.films,
                [&](Record& r) { add(r, "movie", Clean(r[kContainer]), GroupOf("Films", films, r[kCategoryId])); });
    // A series is one row whose address asks the panel for its episodes: thousands of series
    // are not asked for one by one at every refresh, only the one the user opens.
    const auto series = Categories(answers.seriesCategories);
    ReadRecords(answers.series, [&](Record& r) {
        if (!SafePiece(r[kSeriesId])) return;
        playlist::Entry e;
        e.name = Clean(r[kName]);
        e.address = ApiAddress(account, "get_series_info") + "&series_id=" + r[kSeriesId];
        e.group = GroupOf("Series", series, r[kCategoryId]);
        e.logo = Clean(r[kCover]);
        entries.push_back(std::move(e));
    });
    return playlist::WriteM3u(entries);
}

Downloaded Download(const Account& account, const sources::Fetcher& fetch, std::int64_t now) {
    Downloaded out;
    sources::Fetched got = fetch(ApiAddress(account, {}), {}, {});
    if (got.cancelled) {
        out.cancelled = true;
        return out;
    }
    if (!got.failure.empty()) {
        out.failure = "the server could not be reached: " + got.failure;
        return out;
    }
    const Login login = ReadLogin(got.body, got.status, now);
    out.state = login.state;
    switch (login.problem) {
        case Problem::None: break;
        case Problem::WrongCredentials: out.failure = "the user name or the password is wrong"; return out;
        case Problem::Expired: out.failure = "the account has expired"; return out;
        case Problem::Disabled: out.failure = "the account is " + text::AsciiLower(login.state.status); return out;
        case Problem::NotAPanel: out.failure = "the server is not a provider's panel"; return out;
    }
    Answers answers;
    const std::pair<const char*, std::string*> lists[] = {
        {"get_live_categories", &answers.liveCategories},     {"get_live_streams", &answers.live},
        {"get_vod_categories", &answers.filmCategories},      {"get_vod_streams", &answers.films},
        {"get_series_categories", &answers.seriesCategories}, {"get_series", &answers.series}};
    for (const auto& [action, into] : lists) {
        got = fetch(ApiAddress(account, action), {}, {});
        if (got.cancelled) {
            out.cancelled = true;
            return out;
        }
        if (!got.failure.empty()) {
            out.failure = "its channels could not be downloaded: " + got.failure;
            return out;
        }
        // A panel without films or series answers their list with an error or nothing: the live channels
        // still make an account.
        if (got.status >= 200 && got.status < 300) *into = std::move(got.body);
    }
    out.playlist = PlaylistOf(account, answers);
    return out;
}

namespace {

// The episodes of a series' answer: {"episodes": {"1": [{…}, …], "2": […]}}, or the same seasons
// as an array of arrays, or one flat array of episodes; each episode's plain members.
class Episodes : public PlainValues {
public:
    std::vector<std::array<std::string, 5>> found;  // id, episode_num, title, container_extension, season
    std::vector<std::string> seasonKeys;            // the season's key in the map form, per episode
    void beginObject(int depth) override {
        if (m_outer == "episodes" && m_episode < 0 && (depth == 2 || depth == 3)) {
            m_episode = depth;
            m_current = {};
        }
    }
    void endObject(int depth) override {
        if (depth != m_episode) return;
        m_episode = -1;
        if (found.size() < kMaxEpisodes) {
            found.push_back(m_current);
            seasonKeys.push_back(m_seasonKey);
        }
    }
    void key(int depth, std::string_view name) override {
        if (depth == 1) m_outer = name;
        if (depth == 2 && m_episode < 0) m_seasonKey = name;
        if (m_episode >= 0 && depth == m_episode + 1) {
            m_field = -1;
            static constexpr std::array<std::string_view, 5> kNames{"id", "episode_num", "title", "container_extension",
                                                                    "season"};
            for (std::size_t i = 0; i < kNames.size(); ++i)
                if (kNames[i] == name) m_field = static_cast<int>(i);
        }
    }

private:
    void keep(int depth, std::string_view text) override {
        if (m_episode >= 0 && depth == m_episode + 1 && m_field >= 0)
            m_current[static_cast<std::size_t>(m_field)] = text;
    }
    static constexpr std::size_t kMaxEpisodes = 5000;
    std::string m_outer, m_seasonKey;
    int m_episode = -1;  // the depth of the episode being read; -1 outside one
    int m_field = -1;
    std::array<std::string, 5> m_current;
};

// The value of `name` in an address's query, as it stands there (still encoded).
std::string QueryValue(std::string_view address, std::string_view name) {
    const std::size_t query = address.find('?');
    if (query == std::string_view::npos) return {};
    for (const std::string_view pair : text::Split(address.substr(query + 1), '&'))
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=')
            return std::string(pair.substr(name.size() + 1));
    return {};
}

}  // namespace

bool IsSeriesAddress(std::string_view address) {
    return address.find("/player_api.php?") != std::string_view::npos &&
           QueryValue(address, "action") == "get_series_info" && !QueryValue(address, "series_id").empty();
}

std::vector<Episode> EpisodesOf(std::string_view seriesAddress, std::string_view body) {
    std::vector<Episode> out;
    const std::size_t api = seriesAddress.find("/player_api.php?");
    if (api == std::string_view::npos) return out;
    Episodes handler;
    if (!json::Read(body, handler).ok) return out;
    const std::string base = std::string(seriesAddress.substr(0, api)) + "/series/" +
                             QueryValue(seriesAddress, "username") + "/" + QueryValue(seriesAddress, "password") + "/";
    for (std::size_t i = 0; i < handler.found.size(); ++i) {
        const auto& [id, number, title, container, season] = handler.found[i];
        if (!SafePiece(id) || !SafePiece(container)) continue;  // no address could be made of it
        Episode e;
        e.season = static_cast<int>(json::ToInteger(season.empty() ? handler.seasonKeys[i] : season));
        e.number = static_cast<int>(json::ToInteger(number));
        e.title = Clean(title);
        e.address = base;
        e.address.append(id).append(".").append(container);
        out.push_back(std::move(e));
    }
    std::stable_sort(out.begin(), out.end(), [](const Episode& a, const Episode& b) {
        return a.season != b.season ? a.season < b.season : a.number < b.number;
    });
    return out;
}

}  // namespace xtream
