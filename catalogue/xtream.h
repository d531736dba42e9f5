#pragma once
// A provider account on an Xtream Codes panel (server, user name, password) read as a playlist:
// its answers (player_api.php: the account, the live channels, films and series with their categories)
// are turned into an M3U text that a source keeps as its copy, so that an account's channels
// are shown, found, numbered and played as a playlist's are. The account's guide is the panel's
// xmltv.php; its address is kept with a mark in place of the password, filled in only when it
// is fetched, so the password is never written into the list of sources.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/playlist_sources.h"

namespace xtream {

struct Account {
    std::string server;  // "http(s)://host[:port]", as ServerOf gives it
    std::string user, password;
};

// The panel's base address from what the user typed: "host:port", a whole "…/player_api.php"
// or "…/get.php?…" address, with or without its scheme; "" for what is no web address.
std::string ServerOf(std::string_view typed);
// player_api.php for the account, with `action` ("" for the account itself).
std::string ApiAddress(const Account& account, std::string_view action);

// The account's guide for the list of sources: the password stands as a mark naming the
// source's id. FillSecret puts the password back (`lookup` gives it by id; "" when it knows
// none); an address without the mark comes back as it is.
std::string GuideAddress(const Account& account, std::string_view sourceId);
bool HasSecretMark(std::string_view address);
std::string FillSecret(std::string_view address, const std::function<std::string(const std::string& id)>& lookup);

// What the panel says of the account, kept with the source ("status;expires;max;active").
struct State {
    std::string status;         // "Active", "Expired", "Banned", …
    std::int64_t expires = 0;   // seconds since 1970; 0: never
    int maxConnections = 0;     // how many streams at once; 0: not said
    int activeConnections = 0;  // in use when it was asked
};
std::string Write(const State& state);
State ReadState(std::string_view text);

enum class Problem { None, WrongCredentials, Expired, Disabled, NotAPanel };
struct Login {
    Problem problem = Problem::NotAPanel;
    State state;
};
// The account's answer (player_api.php without an action) and its HTTP status, judged at `now`.
Login ReadLogin(std::string_view body, long status, std::int64_t now);

// The panel's lists as they came (JSON arrays), made into one M3U text: live channels under
// their categories (number, logo, guide id, archive), then films under "Films: <category>".
// Series come last under "Series: <category>", each one row that IsSeriesAddress knows.
struct Answers {
    std::string liveCategories, live, filmCategories, films, seriesCategories, series;
};
std::string PlaylistOf(const Account& account, const Answers& answers);

// Asks the panel for the account and its lists with `fetch` (no validators: a panel's answers
// carry none worth keeping). On success `playlist` holds the M3U text; else `failure` says why,
// in words for the user.
struct Downloaded {
    std::string playlist;
    State state;
    std::string failure;
    bool cancelled = false;
};
Downloaded Download(const Account& account, const sources::Fetcher& fetch, std::int64_t now);

// A series' row: its address asks the panel for the series' seasons and episodes.
bool IsSeriesAddress(std::string_view address);
struct Episode {
    int season = 0, number = 0;
    std::string title;
    std::string address;  // the episode's stream, made of the series address's server and account
};
// The episodes in the panel's answer for the series at `seriesAddress`, by season and number.
std::vector<Episode> EpisodesOf(std::string_view seriesAddress, std::string_view body);

}  // namespace xtream
