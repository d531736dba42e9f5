#include "guide/guide_store.h"

#include <charconv>
#include <set>

#include "base/file_io.h"
#include "base/program_files.h"
#include "base/text.h"

namespace guide {
namespace {

constexpr std::string_view kMagic = "guide-cache 1";
constexpr std::uintmax_t kMaxCacheBytes = std::uintmax_t{256} << 20;

// A field of a tab-separated line: tabs and line ends inside it become spaces.
std::string Field(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

std::vector<std::string_view> SplitTabs(std::string_view line) { return text::Split(line, '\t'); }

bool Number(std::string_view s, std::int64_t& out) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

template <typename Each>
void ForEachLine(std::string_view text, Each each) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        each(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

}  // namespace

std::string WriteCache(const Cache& cache) {
    std::string out(kMagic);
    out += "\nsource\t" + Field(cache.source) + "\nmodified\t" + Field(cache.lastModified) + "\n";
    for (const auto& [ours, channel] : cache.data.byId) out += "id\t" + Field(ours) + "\t" + Field(channel) + "\n";
    for (const auto& [ours, channel] : cache.data.byName) out += "name\t" + Field(ours) + "\t" + Field(channel) + "\n";
    // A description has a line of its own after its programme's ("d", the channel, the start),
    // so a reader that does not know it passes it by.
    for (const auto& [channel, schedule] : cache.data.schedules)
        for (const Programme& p : schedule) {
            out += "p\t" + Field(channel) + "\t" + std::to_string(p.start) + "\t" + std::to_string(p.stop) + "\t" +
                   Field(p.title) + "\n";
            if (!p.desc.empty())
                out += "d\t" + Field(channel) + "\t" + std::to_string(p.start) + "\t" + Field(p.desc) + "\n";
        }
    return out;
}

std::optional<Cache> ReadCache(std::string_view text, const Wanted* wanted, const std::atomic<bool>* cancel) {
    if (text.substr(0, kMagic.size()) != kMagic) return std::nullopt;
    Cache cache;
    std::set<std::string, std::less<>> kept;  // the guide channels our keys name
    std::size_t keys = 0, lines = 0;
    bool refused = false;
    ForEachLine(text.substr(kMagic.size()), [&](std::string_view line) {
        if (refused || (++lines % 4096 == 0 && cancel && *cancel)) {
            refused = true;
            return;
        }
        const auto f = SplitTabs(line);
        if (f[0] == "source" && f.size() == 2) cache.source = f[1];
        if (f[0] == "modified" && f.size() == 2) cache.lastModified = f[1];
        if ((f[0] == "id" || f[0] == "name") && f.size() == 3) {
            if (++keys > kMaxCachedKeys) {
                refused = true;
                return;
            }
            const bool id = f[0] == "id";
            if (wanted && !(id ? wanted->ids : wanted->names).count(std::string(f[1]))) return;
            (id ? cache.data.byId : cache.data.byName).emplace(f[1], f[2]);
            kept.emplace(f[2]);
        }
        Programme p;
        if (f[0] == "p" && f.size() == 5 && Number(f[2], p.start) && Number(f[3], p.stop)) {
            if (f[4].size() > kMaxTitleBytes) {
                refused = true;
                return;
            }
            if (!kept.count(f[1])) return;
            Schedule& schedule = cache.data.schedules[std::string(f[1])];
            if (schedule.size() == kMaxProgrammesPerChannel) {
                refused = true;
                return;
            }
            p.title = f[4];
            schedule.push_back(std::move(p));
        }
        std::int64_t start = 0;
        if (f[0] == "d" && f.size() == 4 && Number(f[2], start)) {
            if (f[3].size() > kMaxDescBytes) {
                refused = true;
                return;
            }
            // Its programme is the one just read.
            const auto schedule = cache.data.schedules.find(std::string(f[1]));
            if (schedule != cache.data.schedules.end() && !schedule->second.empty() &&
                schedule->second.back().start == start)
                schedule->second.back().desc = f[3];
        }
    });
    if (refused) return std::nullopt;
    Settle(cache.data);
    return cache;
}

std::filesystem::path CachePath() { return program_files::UserDataFolder() / "Guide.cache"; }
std::filesystem::path IdsPath() { return program_files::UserDataFolder() / "GuideIds.txt"; }

std::optional<Cache> LoadCache(const Wanted* wanted, const std::atomic<bool>* cancel) {
    std::error_code ec;
    if (std::filesystem::file_size(CachePath(), ec) > kMaxCacheBytes && !ec) {
        std::filesystem::remove(CachePath(), ec);
        return std::nullopt;
    }
    const auto text = base::ReadFileCapped(CachePath(), kMaxCacheBytes);
    if (!text) return std::nullopt;
    auto cache = ReadCache(*text, wanted, cancel);
    // A cache that is no cache, or out of its bounds, was not written by us whole: it goes,
    // and the guide is fetched anew.
    if (!cache && !(cancel && *cancel)) std::filesystem::remove(CachePath(), ec);
    return cache;
}

bool SaveCache(const Cache& cache) {
    std::error_code ec;
    std::filesystem::create_directories(CachePath().parent_path(), ec);
    return bool(base::ReplaceFileAtomically(CachePath(), WriteCache(cache)));
}

IdMap LoadIds() {
    IdMap ids;
    const auto text = base::ReadFileCapped(IdsPath(), kMaxCacheBytes);
    if (!text) return ids;
    ForEachLine(*text, [&](std::string_view line) {
        const auto f = SplitTabs(line);
        if (f.size() == 2 && !f[0].empty() && !f[1].empty()) ids[std::string(f[0])] = f[1];
    });
    return ids;
}

bool SaveIds(const IdMap& ids) {
    std::string out;
    for (const auto& [address, id] : ids) out += Field(address) + "\t" + Field(id) + "\n";
    std::error_code ec;
    std::filesystem::create_directories(IdsPath().parent_path(), ec);
    return bool(base::ReplaceFileAtomically(IdsPath(), out));
}

}  // namespace guide
