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

// A logo is small: one that takes longer than this (a server sending a trickle) is not had.
inline constexpr long kConnectSeconds = 5;
inline constexpr long kTotalSeconds = 15;

// Whose list names the logo: the user's own (a file, the catalogue, the favourites) or a list
// from the internet (a web playlist, the radio directory). A far list's logo is not fetched from
// this computer or its local network (stream_relay::IsNearAddress), as the relay's rule is for
// its streams: a list from the internet must not make the program send requests to the user's
// router or local services.
enum class Origin { Own, Far };

// The logo's bytes: from the disk cache, else fetched (blocking: call it off the GUI thread)
// and kept. Nothing for an address that is not fetchable, a failed or broken-off fetch, an
// error page, one over the size limit or the time limit, or a far list's logo on a near server.
std::optional<std::string> Get(const std::string& address, const std::atomic<bool>* cancel = nullptr,
                               Origin origin = Origin::Own);

// Tests only: a smaller bound for the disk cache (0 restores the default).
void SetMaxCacheBytesForTests(std::uintmax_t bytes);

}  // namespace logo_cache
