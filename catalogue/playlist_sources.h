#pragma once
// Playlists kept as sources of channels of their own, per user: each a name, where it comes
// from (a file or a web address), and a copy of its last text, so it shows without the network
// and a refresh that fails keeps what was there. "PlaylistSources.txt" lists them, one
// "id<TAB>name<TAB>origin<TAB>etag<TAB>last-modified<TAB>refreshed" line each (UTF-8), with
// "<TAB>guides" after it for a source whose own guide the user took, and
// "<TAB>guides<TAB>user<TAB>state" for a provider's account (its password is kept elsewhere:
// in the desktop's secret store); each copy is "Playlists/<id>.m3u" in the user's data folder.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace playlist {
struct Playlist;
}

namespace sources {

struct Source {
    std::string id;                  // names its copy: digits only
    std::string name;                // as the menu shows it
    std::string origin;              // a local path or an http(s) address
    std::string etag, lastModified;  // the validators of the copy, for a conditional fetch
    std::int64_t refreshedAt = 0;    // seconds since 1970 of the last refresh that reached it
    std::string guides;              // its own guides' web addresses, blank-separated; "" for none
    // A provider's account: the user name ("" for a playlist; `origin` is then the panel's
    // address) and what the panel said of the account (xtream::Write).
    std::string user, account;
    bool isAccount() const { return !user.empty(); }
};

// The web addresses among a playlist header's guides (url-tvg, x-tvg-url: "a,b"), blank-separated.
std::string WebGuides(std::string_view named);

std::string WriteSources(const std::vector<Source>& list);
// Lines without an id of digits or without an origin are skipped; a repeated id counts once.
std::vector<Source> ReadSources(std::string_view text);

std::filesystem::path SourcesPath();
std::filesystem::path CopyPath(const Source& source);
std::vector<Source> LoadSources();  // none when the file is missing or unreadable
// The same, with what became of a file that is there but cannot be read whole: it is renamed
// aside ("PlaylistSources.unread.txt") so that no save overwrites it; when even that fails,
// `unreadable` says nothing may be saved.
struct Loaded {
    std::vector<Source> list;
    std::filesystem::path setAside;
    bool unreadable = false;
};
Loaded LoadSourcesReport();
bool SaveSources(const std::vector<Source>& list);

// An id no source of `list` has: one past the highest, else (past nine digits) the lowest free.
std::string NewId(const std::vector<Source>& list);
bool IsWebAddress(std::string_view origin);
// A name for a new source: the file's name without its type, else the address's last part.
std::string NameFor(std::string_view origin);
// A day since its last refresh (or a clock set back since then).
bool IsStale(const Source& source, std::int64_t now);

// One answer to a (conditional) fetch of a web source, as the fetch layer gives it.
struct Fetched {
    long status = 0;      // 0: no server answered
    std::string failure;  // why nothing came, in words for the user; empty when an answer came
    std::string body, etag, lastModified;
    bool cancelled = false;
};
// Fetches `address`; the last two are the validators of the copy at hand ("" for none).
using Fetcher =
    std::function<Fetched(const std::string& address, const std::string& etag, const std::string& lastModified)>;

struct Refreshed {
    enum class Outcome { Unchanged, Replaced, Failed, Cancelled };
    Outcome outcome = Outcome::Failed;
    std::string why;  // for Failed, in words for the user
};
// Brings a source's copy up to date from its origin: a web address asked conditionally (a 304
// keeps the copy), a file read again. The copy is replaced whole, and only by a playlist with
// entries; `source`'s validators and time follow what happened. A failure leaves the copy as
// it was. `read`, when given, receives the new copy as read (on Replaced), so it need not be
// read again to be shown. An account is asked with `password`; its copy is readable by the
// user alone (its addresses hold the password, as the panel makes them).
Refreshed Refresh(Source& source, const Fetcher& fetch, std::int64_t now, playlist::Playlist* read = nullptr,
                  std::string_view password = {});

}  // namespace sources
