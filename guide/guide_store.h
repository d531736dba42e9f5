#pragma once
// The guide as the program keeps it between runs: the kept schedules in a cache file of the
// user's data folder, with where they came from and when that was last changed; and the tvg-id
// of each imported channel, by its address, since the favourites file has no place for it.
#include <atomic>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "guide/xmltv.h"

namespace guide {

struct Cache {
    std::string source;        // the guide's address
    std::string lastModified;  // its Last-Modified, sent back as If-Modified-Since
    GuideData data;
};

// The most channel keys (tvg-ids and names) a cache holds; no list of ours has more.
inline constexpr std::size_t kMaxCachedKeys = 1000000;

// The cache file's text, and back. With `wanted`, only the schedules of those channels are
// kept, so memory follows our list and not the file. Text that is not a cache, or a cache out
// of its bounds (over kMaxCachedKeys keys, a schedule over kMaxProgrammesPerChannel, a title
// over kMaxTitleBytes, a description over kMaxDescBytes), gives nothing; so does a `cancel` set while reading.
std::string WriteCache(const Cache& cache);
std::optional<Cache> ReadCache(std::string_view text, const Wanted* wanted = nullptr,
                               const std::atomic<bool>* cancel = nullptr);

// The per-user files.
std::filesystem::path CachePath();  // "Guide.cache"
std::filesystem::path IdsPath();    // "GuideIds.txt"
// The cache of the last run (see ReadCache); one that is refused is deleted, to be fetched anew.
std::optional<Cache> LoadCache(const Wanted* wanted = nullptr, const std::atomic<bool>* cancel = nullptr);
bool SaveCache(const Cache& cache);

// Stream address -> tvg-id, one "address<TAB>tvg-id" line each (UTF-8).
using IdMap = std::map<std::string, std::string>;
IdMap LoadIds();
bool SaveIds(const IdMap& ids);

}  // namespace guide
