#pragma once
// The community radio directory (radio-browser): tens of thousands of stations behind a free
// JSON API with several mirrors. What is asked (a search, a page of it, the lists of
// countries, languages and tags, a play's report), how its answers are read, which mirror is
// asked (found through DNS, picked at random, the next one on a failure), and the lists kept
// per user for a day. Text is UTF-8 as the directory sends it.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace radio_directory {

inline constexpr int kPageSize = 100;
inline constexpr std::size_t kMaxAnswerBytes = std::size_t{8} << 20;
inline constexpr std::int64_t kListsMaxAgeSeconds = std::int64_t{24} * 60 * 60;
inline constexpr int kListLength = 300;  // countries, languages and tags asked for, by station count

struct Station {
    std::string uuid, name;
    std::string address;  // url_resolved, else url
    std::string logo;     // favicon
    std::string country, countryCode, language, tags, codec;
    int bitrate = 0;  // kbit/s, 0 when not known
    long long clicks = 0, votes = 0;
};

// "MP3 · 128 kbps", "AAC", "" when neither is known.
std::string FormatOf(const Station& station);

struct Named {
    std::string name;
    long long stations = 0;
};

// Reads a search's answer: a JSON array of station objects. Stations without a uuid, a name or
// an http(s) address are left out, and so is every station past the first `limit` (the page's
// size: a mirror that answers more than it was asked for is not given the memory).
// Empty (with `problem` set) when the text is not such an array.
std::vector<Station> ReadStations(std::string_view json, std::string* problem, std::size_t limit = 10000);
// Reads a list of countries, languages or tags: an array of {"name", "stationcount"} objects;
// names left empty by the directory are left out.
std::vector<Named> ReadNames(std::string_view json, std::string* problem);

// A search: by name, narrowed by country, language and tag (each exact, "" for any), in the
// directory's order of popularity (clicks), without the stations its checks found broken.
struct Query {
    std::string name, country, language, tag;
    int offset = 0;
    int limit = kPageSize;
    bool operator==(const Query&) const = default;
};
std::string StationsPath(const Query& query);
std::string CountriesPath();
std::string LanguagesPath();
std::string TagsPath();
std::string ClickPath(const std::string& uuid);  // the report of a play

// Base addresses from a setting: blank- or comma-separated, "http(s)://host[:port]" each.
std::vector<std::string> ParseServers(std::string_view setting);
// The directory's mirrors named by DNS: the SRV records of "_api._tcp.radio-browser.info", else
// the names behind the addresses of "all.api.radio-browser.info", as "https://name". Empty when
// DNS gives nothing. Blocks for a few seconds at most.
std::vector<std::string> ServersFromDns();

// Asks the directory through one mirror after another: the one that answered last, then the
// others in turn. A mirror that cannot be reached, answers with an error, slowly (past
// `timeoutSeconds`) or with text that is not the answer asked for is passed over.
class Client {
public:
    struct Options {
        std::vector<std::string> servers;  // in the order to try them (shuffled by the caller)
        std::string userAgent;
        long timeoutSeconds = 10;
    };
    explicit Client(Options options) : m_options(std::move(options)) {}

    struct Answer {
        std::string body;
        std::string failure;  // in words for the user; empty for an answer
        bool cancelled = false;
        bool ok() const { return failure.empty() && !cancelled; }
    };
    // GETs `path`; `check` gives "" for a body that is the answer asked for, else why not.
    Answer get(const std::string& path, const std::atomic<bool>* cancel,
               const std::function<std::string(std::string_view body)>& check) const;
    const std::vector<std::string>& servers() const { return m_options.servers; }

private:
    Options m_options;
    mutable std::size_t m_current = 0;
};

// The server list in a random order (each client spreads its load over the mirrors).
void Shuffle(std::vector<std::string>& servers);

// The lists of countries, languages and tags, kept per user for a day.
struct Lists {
    std::vector<Named> countries, languages, tags;
    std::int64_t fetchedAt = 0;  // seconds since 1970
};
std::string WriteLists(const Lists& lists);
std::optional<Lists> ReadLists(std::string_view text);  // nothing for a file that is not ours
std::filesystem::path ListsPath();
// The kept lists when they are younger than a day at `now` (and not from the future).
std::optional<Lists> LoadLists(std::int64_t now);
bool SaveLists(const Lists& lists);

}  // namespace radio_directory
