#pragma once
// Which addresses the player pane may open. Catalogues, favourites, playlists and update pages
// come from the web, so their addresses are untrusted: network addresses of the protocols a
// stream viewer needs, nothing else. A local file or a share is opened only when the user
// named it (My Files, the command line).
#include <cstddef>
#include <string_view>

namespace stream_address {

// Where an address came from.
enum class Origin {
    List,  // a catalogue, the favourites, a playlist, an update page: network addresses only
    User,  // picked in My Files or given on the command line: absolute local paths too
};

// True for http, https, mms, mmsh, mmst, rtmp, rtsp, rtp and udp addresses (scheme compared
// without regard to letter case) and, from the user, for absolute local paths ("/...",
// "C:\...", "\\server\...") that the player cannot mistake for one of its own protocols.
bool IsAllowed(std::string_view address, Origin origin);

// The length of the address's scheme ("http" in "HTTP://x"), 0 when it names none. The player
// knows schemes in lower case only, so the pane lowers these characters before it hands the
// address on.
std::size_t SchemeLength(std::string_view address);

}  // namespace stream_address
