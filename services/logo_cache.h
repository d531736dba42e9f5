#pragma once
// Channel logos as a playlist names them (tvg-logo): fetched over http or https only, at most
// kMaxLogoBytes each, and kept per user on disk within kMaxCacheBytes (the oldest go first), so
// a list's logos are fetched once and not at every start.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace logo_cache {

inline constexpr std::size_t kMaxLogoBytes = std::size_t{512} * 1024;
inline constexpr std::uintmax_t kMaxCacheBytes = std::uintmax_t{64} << 20;

bool Fetchable(const std::string& address);  // an http or https address
std::filesystem::path Folder();              // "Logos" in the user's data folder

// The logo's bytes: from the disk cache, else fetched (blocking: call it off the GUI thread)
// and kept. Nothing for an address that is not fetchable, a failed fetch, an error page or one
// over the size limit.
std::optional<std::string> Get(const std::string& address, const std::atomic<bool>* cancel = nullptr);

// Tests only: a smaller bound for the disk cache (0 restores the default).
void SetMaxCacheBytesForTests(std::uintmax_t bytes);

}  // namespace logo_cache
