#include "services/logo_cache.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "base/file_io.h"
#include "base/program_files.h"
#include "base/text.h"
#include "services/fetch.h"
#include "services/stream_relay.h"

namespace logo_cache {

namespace {

std::atomic<std::uintmax_t> g_maxCacheBytes{kMaxCacheBytes};

// The cache file of an address: its FNV-1a hash, so any address gives a plain file name.
std::filesystem::path FileOf(const std::string& address) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (const unsigned char c : address) hash = (hash ^ c) * 1099511628211ULL;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.logo", static_cast<unsigned long long>(hash));
    return Folder() / name;
}

// The bytes the folder holds, counted once and then kept up to date; over the bound, the
// oldest files go until three quarters of it are left.
std::mutex g_mutex;
std::optional<std::uintmax_t> g_total;

void Account(std::uintmax_t added) {
    std::lock_guard lock(g_mutex);
    std::error_code ec;
    if (!g_total) {
        std::uintmax_t total = 0;
        for (const auto& entry : std::filesystem::directory_iterator(Folder(), ec))
            if (entry.is_regular_file(ec)) total += entry.file_size(ec);
        g_total = total;
    } else {
        *g_total += added;
    }
    const std::uintmax_t bound = g_maxCacheBytes;
    if (*g_total <= bound) return;
    struct File {
        std::filesystem::path path;
        std::filesystem::file_time_type time;
        std::uintmax_t size;
    };
    std::vector<File> files;
    for (const auto& entry : std::filesystem::directory_iterator(Folder(), ec))
        if (entry.is_regular_file(ec)) files.push_back({entry.path(), entry.last_write_time(ec), entry.file_size(ec)});
    std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.time < b.time; });
    std::uintmax_t total = 0;
    for (const File& f : files) total += f.size;
    for (const File& f : files) {
        if (total <= bound / 4 * 3) break;
        if (std::filesystem::remove(f.path, ec)) total -= f.size;
    }
    g_total = total;
}

}  // namespace

bool Fetchable(const std::string& address) {
    return text::StartsWithAsciiNoCase(address, "http://") || text::StartsWithAsciiNoCase(address, "https://");
}

std::filesystem::path Folder() { return program_files::UserDataFolder() / "Logos"; }

std::optional<std::string> Get(const std::string& address, const std::atomic<bool>* cancel, Origin origin) {
    if (!Fetchable(address)) return std::nullopt;
    const std::filesystem::path file = FileOf(address);
    if (auto kept = base::ReadFileCapped(file, kMaxLogoBytes)) return kept;
    FetchLimits limits;
    limits.maxBytes = kMaxLogoBytes;
    limits.pumpEvents = false;
    limits.cancel = cancel;
    limits.connectSeconds = kConnectSeconds;
    limits.totalSeconds = kTotalSeconds;
    if (origin == Origin::Far) limits.refuseAddress = stream_relay::IsNearAddress;
    FetchResult fetched = FetchPageReport(address, limits);
    if (!fetched.succeeded() || fetched.body.empty()) return std::nullopt;
    std::error_code ec;
    std::filesystem::create_directories(Folder(), ec);
    if (base::ReplaceFileAtomically(file, fetched.body)) Account(fetched.body.size());
    return std::move(fetched.body);
}

void SetMaxCacheBytesForTests(std::uintmax_t bytes) { g_maxCacheBytes = bytes ? bytes : kMaxCacheBytes; }

}  // namespace logo_cache
