#pragma once
// Playlists as other players write them: the extended M3U (#EXTM3U, #EXTINF with tvg-id,
// tvg-name, tvg-language, tvg-logo, group-title, radio, and the header's url-tvg/x-tvg-url),
// plain M3U and M3U8, and PLS. Reading gives the entries in UTF-8 whatever their script (a
// playlist that is not UTF-8 is read in the system's code page), addresses resolved against
// the playlist's own address; writing gives extended M3U in UTF-8.
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace playlist {

inline constexpr std::size_t kMaxBytes = std::size_t{64} << 20;  // a larger file is refused
inline constexpr std::size_t kMaxLineBytes = std::size_t{64} << 10;
// The most entries kept of one playlist; those after it are counted, not stored, so that a file
// of millions of tiny lines costs no more than one of ordinary entries.
inline constexpr std::size_t kMaxEntries = 200000;

struct Entry {
    std::string name;     // tvg-name, else the text after the comma of #EXTINF, else Title of PLS
    std::string address;  // resolved
    std::string tvgId;
    std::string language;  // tvg-language; several are joined with "/"
    std::string group;     // group-title
    std::string logo;      // tvg-logo
    bool radio = false;    // radio="true"
    long duration = -1;    // #EXTINF's or Length's seconds; -1 for a live stream
    std::string number;    // tvg-chno: the channel's number in its provider's list
    // The headers its server asks for (#EXTVLCOPT, #EXTHTTP, "address|User-Agent=…"), as
    // stream_options::Write gives them; "" for none.
    std::string options;
    // Its archive (catchup / catchup-type, catchup-days, catchup-source), as catchup::Write
    // gives it; "" for none.
    std::string catchup;
};

enum class Problem { None, TooLarge, LineTooLong, Cancelled };

struct Playlist {
    std::vector<Entry> entries;
    std::string guideAddress;  // url-tvg or x-tvg-url of the header (the first of a list)
    std::string guideList;     // the whole of it ("a,b" names two guides)
    Problem problem = Problem::None;
    std::size_t problemLine = 0;  // 1-based, for LineTooLong
    std::size_t leftOut = 0;      // entries past kMaxEntries
};

// Reads M3U or PLS (told apart by content: "[playlist]" first for PLS). `baseAddress` is where
// the playlist came from (a web address or a local path), for relative entries; empty leaves
// them as they are. Names, addresses and attributes come without control bytes (a tab or a line
// break becomes a space), as the catalogue stores them.
// `progress`, when given, follows the reading from another thread (the bytes read so far) and
// may end it (Problem::Cancelled).
struct Progress {
    std::atomic<std::size_t> bytesRead{0}, bytesTotal{0};
    std::atomic<bool> cancel{false};
};
Playlist Read(std::string_view text, std::string_view baseAddress, Progress* progress = nullptr);

// An entry address resolved against the playlist's address.
std::string Resolve(std::string_view address, std::string_view baseAddress);

// The program's category for an entry: its group-title when that names one of the program's
// categories (TV, Radio, Video, XXX; letter case aside), else "Radio" for a radio entry or one
// whose address names an audio file type (.mp3, .aac, .ogg, ...), else "TV".
std::string CategoryFor(const Entry& entry);

// Extended M3U, UTF-8, from entries in UTF-8, with the guide's address
// in the header when given. Reading it back gives the same entries and guide address.
std::string WriteM3u(const std::vector<Entry>& entries, std::string_view guideAddress = {});

}  // namespace playlist
