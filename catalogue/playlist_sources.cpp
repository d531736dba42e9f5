#include "catalogue/playlist_sources.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "base/file_io.h"
#include "base/program_files.h"
#include "base/text.h"
#include "catalogue/playlist.h"
#include "catalogue/xtream.h"

namespace sources {

namespace {
// A list of sources is small: validators over kMaxValidatorBytes are not kept, so even
// thousands of sources stay far below this.
constexpr std::uintmax_t kMaxListBytes = std::uintmax_t{16} << 20;
constexpr std::size_t kMaxValidatorBytes = 4096;
constexpr long kMaxId = 999'999'999;  // nine digits, as the list reads them
constexpr std::int64_t kDaySeconds = std::int64_t{24} * 60 * 60;

bool AllDigits(std::string_view s) {
    return !s.empty() && s.size() <= 9 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Nothing when `list` read as a playlist with at least one entry; else why not, for the user.
std::string PlaylistProblem(const playlist::Playlist& list) {
    switch (list.problem) {
        case playlist::Problem::None: break;
        case playlist::Problem::TooLarge: return "it is larger than 64 MiB, which no playlist needs";
        case playlist::Problem::LineTooLong:
            return "its line " + std::to_string(list.problemLine) + " is longer than 64 KiB";
        case playlist::Problem::Cancelled: return "its reading was cancelled";
    }
    if (list.entries.empty()) return "it holds no channels";
    return {};
}

Refreshed Failed(std::string why) { return {Refreshed::Outcome::Failed, std::move(why)}; }

// A file origin (UTF-8, as the list stores it) as a path, whatever the system's code page.
std::filesystem::path PathOf(const std::string& origin) {
    return std::filesystem::path(std::u8string(origin.begin(), origin.end()));
}
}  // namespace

std::string WriteSources(const std::vector<Source>& list) {
    std::string out;
    for (const Source& s : list) {
        for (const std::string* field : {&s.id, &s.name, &s.origin, &s.etag, &s.lastModified}) {
            text::AppendWithoutControlBytes(out, *field);  // a tab or a line break becomes a space
            out += '\t';
        }
        out += std::to_string(s.refreshedAt);
        if (!s.guides.empty() || s.isAccount()) {
            out += '\t';
            text::AppendWithoutControlBytes(out, s.guides);
        }
        if (s.isAccount())
            for (const std::string* field : {&s.user, &s.account}) {
                out += '\t';
                text::AppendWithoutControlBytes(out, *field);
            }
        out += '\n';
    }
    return out;
}

std::vector<Source> ReadSources(std::string_view text) {
    std::vector<Source> list;
    std::set<std::string, std::less<>> ids;
    for (const std::string_view line : text::Split(text, '\n')) {
        const auto f = text::Split(line.substr(0, line.find('\r')), '\t');
        // Read as they would be written: a field of control bytes alone is an empty one.
        if ((f.size() != 6 && f.size() != 7 && f.size() != 9) || !AllDigits(f[0]) ||
            text::WithoutControlBytes(f[2]).empty() || !ids.insert(std::string(f[0])).second)
            continue;
        Source s{std::string(f[0]),
                 text::WithoutControlBytes(f[1]),
                 text::WithoutControlBytes(f[2]),
                 text::WithoutControlBytes(f[3]),
                 text::WithoutControlBytes(f[4]),
                 0,
                 f.size() >= 7 ? WebGuides(text::WithoutControlBytes(f[6])) : std::string(),
                 f.size() == 9 ? text::WithoutControlBytes(f[7]) : std::string(),
                 f.size() == 9 ? text::WithoutControlBytes(f[8]) : std::string()};
        std::from_chars(f[5].data(), f[5].data() + f[5].size(), s.refreshedAt);
        if (s.name.empty()) s.name = NameFor(s.origin);
        list.push_back(std::move(s));
    }
    return list;
}

std::filesystem::path SourcesPath() { return program_files::UserDataFolder() / "PlaylistSources.txt"; }

std::filesystem::path CopyPath(const Source& source) {
    return program_files::UserDataFolder() / "Playlists" / (source.id + ".m3u");
}

Loaded LoadSourcesReport() {
    Loaded out;
    std::error_code ec;
    if (!std::filesystem::exists(SourcesPath(), ec) && !ec) return out;
    if (const auto text = base::ReadFileCapped(SourcesPath(), kMaxListBytes)) {
        out.list = ReadSources(*text);
        return out;
    }
    // There but unreadable (too large, or no permission): read as empty it would be overwritten
    // by the next save, every source gone. It is set aside under a name of its own.
    for (int n = 1; n < 1000; ++n) {
        std::filesystem::path aside = SourcesPath();
        aside.replace_filename("PlaylistSources.unread" + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".txt");
        if (std::filesystem::exists(aside, ec) || ec) continue;
        std::filesystem::rename(SourcesPath(), aside, ec);
        if (ec) break;
        out.setAside = aside;
        return out;
    }
    out.unreadable = true;  // not even set aside: nothing may be saved over it
    return out;
}

std::vector<Source> LoadSources() { return LoadSourcesReport().list; }

bool SaveSources(const std::vector<Source>& list) {
    std::error_code ec;
    std::filesystem::create_directories(SourcesPath().parent_path(), ec);
    return bool(base::ReplaceFileAtomically(SourcesPath(), WriteSources(list)));
}

std::string NewId(const std::vector<Source>& list) {
    std::set<long> taken;
    for (const Source& s : list) {
        long id = 0;
        const auto [end, error] = std::from_chars(s.id.data(), s.id.data() + s.id.size(), id);
        if (error == std::errc() && end == s.id.data() + s.id.size()) taken.insert(id);
    }
    const long highest = taken.empty() ? 0 : *taken.rbegin();
    if (highest < kMaxId) return std::to_string(highest + 1);
    // The highest id is the largest the list reads (a hand-edited list): the lowest free one.
    long id = 1;
    while (taken.count(id)) ++id;
    return std::to_string(id);
}

std::string WebGuides(std::string_view named) {
    std::string out;
    for (std::string_view part : text::Split(named, named.find(',') != std::string_view::npos ? ',' : ' ')) {
        const std::size_t first = part.find_first_not_of(" \t");
        if (first == std::string_view::npos) continue;
        part = part.substr(first, part.find_last_not_of(" \t") - first + 1);
        if (!IsWebAddress(part) || part.find_first_of(" \t") != std::string_view::npos) continue;
        if (!out.empty()) out += ' ';
        out += part;
    }
    return out;
}

bool IsWebAddress(std::string_view origin) {
    return text::StartsWithAsciiNoCase(origin, "http://") || text::StartsWithAsciiNoCase(origin, "https://");
}

std::string NameFor(std::string_view origin) {
    std::string_view name = origin;
    if (IsWebAddress(origin)) {
        name = name.substr(name.find("//") + 2);
        name = name.substr(0, name.find_first_of("?#"));
        while (!name.empty() && name.back() == '/') name.remove_suffix(1);
        // The last part of the path, else the host.
        if (const auto slash = name.rfind('/'); slash != std::string_view::npos) name = name.substr(slash + 1);
    } else if (const auto slash = name.find_last_of("/\\"); slash != std::string_view::npos) {
        name = name.substr(slash + 1);
    }
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) {
        const std::string type = text::AsciiLower(name.substr(dot + 1));
        if (type == "m3u" || type == "m3u8" || type == "pls") name = name.substr(0, dot);
    }
    return name.empty() ? std::string("Playlist") : text::WithoutControlBytes(name);
}

bool IsStale(const Source& source, std::int64_t now) {
    return now - source.refreshedAt >= kDaySeconds || now < source.refreshedAt;
}

Refreshed Refresh(Source& source, const Fetcher& fetch, std::int64_t now, playlist::Playlist* read,
                  std::string_view password) {
    const std::filesystem::path copy = CopyPath(source);
    std::error_code ec;
    // A source never refreshed has no copy of its own: a file there is left from another.
    const bool haveCopy = source.refreshedAt != 0 && std::filesystem::is_regular_file(copy, ec);
    std::string text, etag, lastModified;
    if (source.isAccount()) {
        xtream::Downloaded got = xtream::Download({source.origin, source.user, std::string(password)}, fetch, now);
        if (got.cancelled) return {Refreshed::Outcome::Cancelled, {}};
        if (!got.failure.empty()) return Failed(std::move(got.failure));
        source.account = xtream::Write(got.state);
        text = std::move(got.playlist);
    } else if (IsWebAddress(source.origin)) {
        Fetched got = fetch(source.origin, haveCopy ? source.etag : std::string(),
                            haveCopy ? source.lastModified : std::string());
        if (got.cancelled) return {Refreshed::Outcome::Cancelled, {}};
        if (!got.failure.empty()) return Failed("it could not be downloaded: " + got.failure);
        if (got.status == 304 && haveCopy) {
            source.refreshedAt = now;
            return {Refreshed::Outcome::Unchanged, {}};
        }
        if (got.status < 200 || got.status >= 300)
            return Failed("the address answered with an error (HTTP status " + std::to_string(got.status) + ")");
        text = std::move(got.body);
        etag = std::move(got.etag);
        lastModified = std::move(got.lastModified);
    } else {
        if (source.origin.find("://") != std::string::npos)
            return Failed("only web addresses (http, https) and files are read");
        auto read = base::ReadFileCapped(PathOf(source.origin), playlist::kMaxBytes);
        if (!read) {
            const bool tooLarge = std::filesystem::file_size(PathOf(source.origin), ec) > playlist::kMaxBytes && !ec;
            return Failed(tooLarge ? "it is larger than 64 MiB, which no playlist needs" : "the file cannot be read");
        }
        text = std::move(*read);
        if (haveCopy) {
            if (auto before = base::ReadFileCapped(copy, playlist::kMaxBytes); before && *before == text) {
                source.refreshedAt = now;
                return {Refreshed::Outcome::Unchanged, {}};
            }
        }
    }
    // A plain M3U takes any line for an address: a web page in place of the playlist (a
    // provider's error or log-in page) would read as a list of nonsense entries.
    const std::size_t first = text.find_first_not_of(" \t\r\n", text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
    if (first != std::string::npos && text[first] == '<') return Failed("it is a web page, not a playlist");
    playlist::Playlist list = playlist::Read(text, source.origin);
    if (std::string why = PlaylistProblem(list); !why.empty()) return Failed(std::move(why));
    std::filesystem::create_directories(copy.parent_path(), ec);
    // An account's copy holds its password (in the addresses): the user's alone.
    if (const auto written =
            source.isAccount() ? base::ReplaceOwnerOnlyFile(copy, text) : base::ReplaceFileAtomically(copy, text);
        !written)
        return Failed("its copy could not be saved: " + written.error);
    // A server's validators are small; larger ones (they would swell the list of sources) are not
    // kept, and the next refresh asks without them.
    const bool keepValidators = etag.size() <= kMaxValidatorBytes && lastModified.size() <= kMaxValidatorBytes;
    source.etag = keepValidators ? std::move(etag) : std::string();
    source.lastModified = keepValidators ? std::move(lastModified) : std::string();
    source.refreshedAt = now;
    if (read) *read = std::move(list);
    return {Refreshed::Outcome::Replaced, {}};
}

}  // namespace sources
