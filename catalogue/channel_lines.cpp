#include "catalogue/channel_lines.h"

#include <algorithm>

namespace catalogue {

std::size_t CountLines(std::string_view encodedText) {
    return static_cast<std::size_t>(std::count(encodedText.begin(), encodedText.end(), '\n')) + 1;
}

std::vector<Channel> DecodeChannels(std::string_view encodedText) {
    std::vector<Channel> out;
    ForEachChannelLine(encodedText, [&](const LineFields& f) { out.push_back(Channel::From(f)); });
    return out;
}

}  // namespace catalogue
