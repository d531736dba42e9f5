#pragma once
// The guide as the program keeps it between runs: the kept schedules in a cache file of the
// user's data folder, with where they came from and when that was last changed; and the tvg-id
// of each imported channel, by its address, since the favourites file has no place for it.
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

// The cache file's text, and back. Reading text that is not a cache gives nothing.
std::string WriteCache(const Cache& cache);
std::optional<Cache> ReadCache(std::string_view text);

// The per-user files.
std::filesystem::path CachePath();  // "Guide.cache"
std::filesystem::path IdsPath();    // "GuideIds.txt"
std::optional<Cache> LoadCache();
bool SaveCache(const Cache& cache);

// Stream address -> tvg-id, one "address<TAB>tvg-id" line each (UTF-8).
using IdMap = std::map<std::string, std::string>;
IdMap LoadIds();
bool SaveIds(const IdMap& ids);

}  // namespace guide
