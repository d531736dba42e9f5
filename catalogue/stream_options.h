#pragma once
// What a stream's server asks of its clients beyond the address: the HTTP headers a playlist
// names for an entry (#EXTVLCOPT:http-user-agent= / http-referrer= / http-origin=, #EXTHTTP:{…},
// and the "address|User-Agent=…&Referer=…" form). Kept as one line of text, "Name=value&…"
// with each value percent-encoded, the form that follows the "|": in a playlist's rows, beside
// a favourite, and back into an export. A header whose name is not a plain token, or whose value
// holds a line break or another control byte, is refused: it would add headers of its own.
#include <string>
#include <string_view>
#include <vector>

namespace stream_options {

struct Header {
    std::string name, value;
    bool operator==(const Header&) const = default;
};
using Headers = std::vector<Header>;

inline constexpr std::size_t kMaxHeaders = 16;
inline constexpr std::size_t kMaxValueBytes = 2048;

// A token for a name; a value of UTF-8 text without line breaks or other control bytes.
bool Acceptable(const Header& header);
// Sets `name` to `value` (one header of a name, the last said holds); false when refused.
bool Set(Headers& headers, std::string_view name, std::string_view value);
// The value of a header by its name (letter case aside); "" when not set.
std::string Value(const Headers& headers, std::string_view name);

std::string Write(const Headers& headers);  // "Name=value&…", values percent-encoded
Headers Read(std::string_view text);        // what Write gives; refused headers left out

// An entry's address with the "|Name=value&…" form cut off into `headers` (added to them).
// An address without the form (or with nothing before the "|") comes back as it is.
std::string SplitAddress(std::string_view address, Headers& headers);

// One playlist line's options, added to `headers`: "#EXTVLCOPT:http-user-agent=…" (also
// http-referrer, http-origin) and "#EXTHTTP:{"Name":"value",…}". False for a line that is
// neither (another VLC option, a damaged JSON object).
bool ReadPlaylistLine(std::string_view line, Headers& headers);
// The same headers as playlist lines ("#EXTVLCOPT:…\n", "#EXTHTTP:{…}\n"), for an export.
std::string PlaylistLines(const Headers& headers);

}  // namespace stream_options
