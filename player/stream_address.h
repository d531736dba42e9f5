#pragma once
// Which addresses the player pane may open. Catalogues come from the web, so their addresses
// are untrusted: only the protocols a stream viewer needs, and local files by absolute path.
#include <string_view>

namespace stream_address {

// True for http, https, mms, mmsh, mmst, rtmp, rtsp, rtp and udp addresses (scheme compared
// without regard to letter case) and for absolute local paths ("/...", "C:\...", "\\server\...")
// that the player cannot mistake for one of its own protocols.
bool IsAllowed(std::string_view address);

}  // namespace stream_address
