#include "catalogue/channel_lines.h"

#include <cstring>

namespace catalogue {

std::size_t CountLines(std::string_view encodedText) {
    // memchr finds line feeds many bytes at a time; counting byte by byte is several times slower.
    std::size_t lines = 1;
    const char* at = encodedText.data();
    const char* const end = at + encodedText.size();
    while (at < end) {
        const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
        if (!found) break;
        ++lines;
        at = static_cast<const char*>(found) + 1;
    }
    return lines;
}

std::vector<Channel> DecodeChannels(std::string_view encodedText) {
    std::vector<Channel> out;
    ForEachChannelLine(encodedText, [&](const LineFields& f) { out.push_back(Channel::From(f)); });
    return out;
}

}  // namespace catalogue
