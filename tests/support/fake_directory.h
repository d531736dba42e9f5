#pragma once
// A radio directory on 127.0.0.1 that speaks the directory's JSON API, for the tests: a search
// by name (letter case ignored), narrowed exactly by country, language and tag, ordered by
// clicks, with offset and limit; the lists of countries, languages and tags; the play report.
// Every request is counted by its path; a search for a name in `slowNames` never answers.
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "support/tiny_http.h"

class FakeDirectory {
public:
    struct Station {
        std::string uuid, name, url, favicon, country, language, tags, codec;
        int bitrate = 128;
        long long clicks = 0;
    };
    explicit FakeDirectory(std::vector<Station> stations);
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_http.port()); }
    TinyHttp& http() { return m_http; }

    void slowName(const std::string& name);  // a search for this name is never answered
    int searches() const;                    // search requests received
    int reports(const std::string& uuid) const;
    std::vector<std::string> paths() const { return m_http.requestedPaths(); }

    static std::string Json(const std::vector<Station>& stations);  // as the directory writes them
    // Query parameters of a path, percent-decoded.
    static std::map<std::string, std::string> Parameters(const std::string& path);

private:
    std::vector<Station> m_stations;
    mutable std::mutex m_mutex;
    std::set<std::string> m_slow;
    TinyHttp m_http;
};
