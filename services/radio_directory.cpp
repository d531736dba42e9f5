#include "services/radio_directory.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <set>

#include "base/file_io.h"
#include "base/json_reader.h"
#include "base/program_files.h"
#include "base/text.h"
#include "services/fetch.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/socket.h>
#endif

namespace radio_directory {

namespace {

constexpr std::size_t kMaxStations = 10000;  // of one answer; a page asks for 100
constexpr std::size_t kMaxFieldBytes = 2048;

// A field as a row and a favourites line can hold it: no control bytes, no field separator,
// bounded.
std::string Tidy(std::string_view text) {
    std::string out = text::TrimBlanks(text::WithoutControlBytes(text.substr(0, kMaxFieldBytes)));
    std::replace(out.begin(), out.end(), '|', '/');
    return out;
}

// An address with its bytes beyond ASCII written as %XX (as a browser sends them), so that it
// passes through the catalogue's code page unchanged.
std::string AsciiAddress(std::string_view address) {
    return text::PercentEncoded(Tidy(address), [](unsigned char b) { return b < 0x80; });
}

bool Playable(std::string_view address) {
    return text::StartsWithAsciiNoCase(address, "http://") || text::StartsWithAsciiNoCase(address, "https://");
}

// The objects of a top-level array, their scalar members by name; anything nested deeper is
// passed by.
class ArrayOfObjects : public json::Handler {
public:
    explicit ArrayOfObjects(std::function<void(const std::string& key, std::string_view value, bool isNumber)> member,
                            std::function<void()> objectEnd)
        : m_member(std::move(member)), m_objectEnd(std::move(objectEnd)) {}
    bool topIsArray = false;

    void beginObject(int) override {}
    void endObject(int depth) override {
        if (depth == 1 && topIsArray) m_objectEnd();
    }
    void beginArray(int depth) override {
        if (depth == 0) topIsArray = true;
    }
    void endArray(int) override {}
    void key(int depth, std::string_view name) override {
        if (depth == 2) m_key.assign(name);
    }
    void string(int depth, std::string_view text) override { scalar(depth, text, false); }
    void number(int depth, std::string_view text) override { scalar(depth, text, true); }
    void boolean(int, bool) override {}
    void null(int) override {}

private:
    void scalar(int depth, std::string_view text, bool isNumber) {
        if (depth == 2 && topIsArray) m_member(m_key, text, isNumber);
    }
    std::function<void(const std::string&, std::string_view, bool)> m_member;
    std::function<void()> m_objectEnd;
    std::string m_key;
};

// Reads `json` through `handler`: true when it is a JSON array; else `problem` says why.
bool ReadArray(std::string_view json, ArrayOfObjects& handler, std::string* problem) {
    const json::Result read = json::Read(json, handler);
    const std::string why = !read.ok              ? read.problem + " at byte " + std::to_string(read.offset)
                            : !handler.topIsArray ? std::string("the answer is not a list")
                                                  : std::string();
    if (problem) *problem = why;
    return why.empty();
}

std::string ListPath(const char* list) {
    return std::string("/json/") + list +
           "?order=stationcount&reverse=true&hidebroken=true&limit=" + std::to_string(kListLength);
}

}  // namespace

std::string FormatOf(const Station& station) {
    std::string out = text::AsciiUpper(station.codec);
    if (out == "UNKNOWN") out.clear();
    if (station.bitrate > 0) {
        if (!out.empty()) out += " \xC2\xB7 ";
        out += std::to_string(station.bitrate) + " kbps";
    }
    return out;
}

std::vector<Station> ReadStations(std::string_view json, std::string* problem, std::size_t limit) {
    limit = std::min(limit, kMaxStations);
    std::vector<Station> out;
    Station station;
    std::string url;
    ArrayOfObjects handler(
        [&](const std::string& key, std::string_view value, bool isNumber) {
            if (isNumber) {
                if (key == "bitrate")
                    station.bitrate = static_cast<int>(std::clamp<long long>(json::ToInteger(value), 0, 100000));
                else if (key == "clickcount")
                    station.clicks = json::ToInteger(value);
                else if (key == "votes")
                    station.votes = json::ToInteger(value);
                return;
            }
            if (key == "stationuuid")
                station.uuid = Tidy(value);
            else if (key == "name")
                station.name = Tidy(value);
            else if (key == "url_resolved")
                station.address = AsciiAddress(value);
            else if (key == "url")
                url = AsciiAddress(value);
            else if (key == "favicon")
                station.logo = AsciiAddress(value);
            else if (key == "country")
                station.country = Tidy(value);
            else if (key == "countrycode")
                station.countryCode = Tidy(value);
            else if (key == "language")
                station.language = Tidy(value);
            else if (key == "tags")
                station.tags = Tidy(value);
            else if (key == "codec")
                station.codec = Tidy(value);
        },
        [&] {
            if (station.address.empty() || !Playable(station.address)) station.address = url;
            if (!Playable(station.logo)) station.logo.clear();
            if (!station.uuid.empty() && !station.name.empty() && Playable(station.address) && out.size() < limit)
                out.push_back(std::move(station));
            station = Station{};
            url.clear();
        });
    if (!ReadArray(json, handler, problem)) out.clear();
    return out;
}

std::vector<Named> ReadNames(std::string_view json, std::string* problem) {
    std::vector<Named> out;
    Named named;
    ArrayOfObjects handler(
        [&](const std::string& key, std::string_view value, bool isNumber) {
            if (key == "name" && !isNumber)
                named.name = Tidy(value);
            else if (key == "stationcount" && isNumber)
                named.stations = json::ToInteger(value);
        },
        [&] {
            if (!named.name.empty() && out.size() < kMaxStations) out.push_back(std::move(named));
            named = Named{};
        });
    if (!ReadArray(json, handler, problem)) out.clear();
    return out;
}

std::string StationsPath(const Query& query) {
    std::string path = "/json/stations/search?";
    if (!query.name.empty()) path += "name=" + text::UrlEncode(query.name) + "&";
    if (!query.country.empty()) path += "country=" + text::UrlEncode(query.country) + "&countryExact=true&";
    if (!query.language.empty()) path += "language=" + text::UrlEncode(query.language) + "&languageExact=true&";
    if (!query.tag.empty()) path += "tag=" + text::UrlEncode(query.tag) + "&tagExact=true&";
    path += "order=clickcount&reverse=true&hidebroken=true&offset=" + std::to_string(std::max(0, query.offset)) +
            "&limit=" + std::to_string(std::clamp(query.limit, 1, 1000));
    return path;
}

std::string CountriesPath() { return ListPath("countries"); }
std::string LanguagesPath() { return ListPath("languages"); }
std::string TagsPath() { return ListPath("tags"); }
std::string ClickPath(const std::string& uuid) { return "/json/url/" + text::UrlEncode(uuid); }

std::vector<std::string> ParseServers(std::string_view setting) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < setting.size()) {
        const std::size_t end = std::min(setting.find_first_of(" ,\t\r\n", at), setting.size());
        std::string server(setting.substr(at, end - at));
        while (!server.empty() && server.back() == '/') server.pop_back();
        if (Playable(server) && std::find(out.begin(), out.end(), server) == out.end()) out.push_back(server);
        at = end + 1;
    }
    return out;
}

std::vector<std::string> ServersFromDns() {
    std::set<std::string> names;
#ifndef _WIN32
    // The SRV records first: the directory's own list of its mirrors. A short wait, one retry.
    struct __res_state state {};
    if (res_ninit(&state) == 0) {
        state.retrans = 2;
        state.retry = 1;
        unsigned char answer[8192];
        const int length = res_nquery(&state, "_api._tcp.radio-browser.info", ns_c_in, ns_t_srv, answer,
                                      static_cast<int>(sizeof answer));
        ns_msg message{};
        if (length > 0 && ns_initparse(answer, length, &message) == 0) {
            const int count = ns_msg_count(message, ns_s_an);
            for (int i = 0; i < count; ++i) {
                ns_rr record{};
                if (ns_parserr(&message, ns_s_an, i, &record) != 0 || ns_rr_type(record) != ns_t_srv) continue;
                if (ns_rr_rdlen(record) < 7) continue;
                char target[NS_MAXDNAME];
                // Priority, weight and port (6 bytes), then the target's name.
                if (ns_name_uncompress(ns_msg_base(message), ns_msg_end(message), ns_rr_rdata(record) + 6, target,
                                       sizeof target) < 0)
                    continue;
                if (target[0] != '\0') names.insert(target);
            }
        }
        res_nclose(&state);
    }
#endif
    if (names.empty()) {
#ifdef _WIN32
        WSADATA winsock{};
        const bool started = WSAStartup(MAKEWORD(2, 2), &winsock) == 0;
#endif
        // Else the names behind the addresses of the round-robin name.
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo("all.api.radio-browser.info", "443", &hints, &found) == 0) {
            for (const addrinfo* a = found; a; a = a->ai_next) {
                char host[NI_MAXHOST];
                if (getnameinfo(a->ai_addr, static_cast<socklen_t>(a->ai_addrlen), host, sizeof host, nullptr, 0,
                                NI_NAMEREQD) == 0)
                    names.insert(host);
            }
            freeaddrinfo(found);
        }
#ifdef _WIN32
        if (started) WSACleanup();
#endif
    }
    std::vector<std::string> out;
    for (const std::string& name : names) {
        // Only a plain host name goes into an address.
        if (std::all_of(name.begin(), name.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.';
            }))
            out.push_back("https://" + name);
    }
    return out;
}

void Shuffle(std::vector<std::string>& servers) {
    std::random_device seed;
    std::mt19937 random(seed());
    std::shuffle(servers.begin(), servers.end(), random);
}

Client::Answer Client::get(const std::string& path, const std::atomic<bool>* cancel,
                           const std::function<std::string(std::string_view)>& check) const {
    Answer answer;
    const std::vector<std::string>& servers = m_options.servers;
    if (servers.empty()) {
        answer.failure = "no server of the directory was found";
        return answer;
    }
    FetchLimits limits;
    limits.maxBytes = kMaxAnswerBytes;
    limits.pumpEvents = false;
    limits.cancel = cancel;
    limits.userAgent = m_options.userAgent;
    limits.connectSeconds = std::min<long>(m_options.timeoutSeconds, fetch::kConnectTimeoutSeconds);
    limits.totalSeconds = m_options.timeoutSeconds;
    for (std::size_t tried = 0; tried < servers.size(); ++tried) {
        const std::size_t at = (m_current + tried) % servers.size();
        FetchResult fetched = FetchPageReport(servers[at] + path, limits);
        if (fetched.cancelled || (cancel && *cancel)) {
            answer.cancelled = true;
            return answer;
        }
        std::string why;
        if (!fetched.arrived())
            why = fetched.failure;
        else if (!fetched.succeeded())
            why = "the server answered with status " + std::to_string(fetched.status);
        else
            why = check(fetched.body);
        if (why.empty()) {
            m_current = at;
            answer.body = std::move(fetched.body);
            answer.failure.clear();
            return answer;
        }
        answer.failure = why;  // the last server's reason is the one told
    }
    return answer;
}

std::string WriteLists(const Lists& lists) {
    std::string out = "radio-directory-lists 1\t" + std::to_string(lists.fetchedAt) + "\n";
    for (const auto& [tag, names] :
         {std::pair{'c', &lists.countries}, std::pair{'l', &lists.languages}, std::pair{'t', &lists.tags}})
        for (const Named& n : *names) {
            out += tag;
            out += '\t';
            out += n.name;
            out += '\t';
            out += std::to_string(n.stations);
            out += '\n';
        }
    return out;
}

std::optional<Lists> ReadLists(std::string_view text) {
    constexpr std::string_view kHead = "radio-directory-lists 1\t";
    if (text.substr(0, kHead.size()) != kHead) return std::nullopt;
    Lists lists;
    std::size_t at = kHead.size();
    std::size_t end = std::min(text.find('\n', at), text.size());
    lists.fetchedAt = json::ToInteger(text.substr(at, end - at), -1);
    if (lists.fetchedAt < 0) return std::nullopt;
    for (at = end + 1; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        const std::string_view line = text.substr(at, end - at);
        const std::size_t first = line.find('\t');
        const std::size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
        if (line.size() < 2 || first != 1 || second == std::string_view::npos) continue;
        Named named{std::string(line.substr(2, second - 2)), json::ToInteger(line.substr(second + 1))};
        if (named.name.empty()) continue;
        switch (line[0]) {
            case 'c': lists.countries.push_back(std::move(named)); break;
            case 'l': lists.languages.push_back(std::move(named)); break;
            case 't': lists.tags.push_back(std::move(named)); break;
            default: break;
        }
    }
    return lists;
}

std::filesystem::path ListsPath() { return program_files::UserDataFolder() / "RadioDirectory.cache"; }

std::optional<Lists> LoadLists(std::int64_t now) {
    const auto text = base::ReadFileCapped(ListsPath(), std::uintmax_t{4} << 20);
    if (!text) return std::nullopt;
    std::optional<Lists> lists = ReadLists(*text);
    if (!lists || lists->fetchedAt > now || now - lists->fetchedAt >= kListsMaxAgeSeconds) return std::nullopt;
    return lists;
}

bool SaveLists(const Lists& lists) {
    std::error_code ec;
    std::filesystem::create_directories(ListsPath().parent_path(), ec);
    return bool(base::ReplaceFileAtomically(ListsPath(), WriteLists(lists)));
}

}  // namespace radio_directory
