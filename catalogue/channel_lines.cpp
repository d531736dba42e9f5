#include "catalogue/channel_lines.h"

namespace catalogue {

std::vector<Channel> DecodeChannels(std::string_view encodedText) {
    std::vector<Channel> out;
    ForEachChannelLine(encodedText, [&](const LineFields& f) {
        out.push_back(
            Channel{std::string(f.name), std::string(f.address), std::string(f.category), std::string(f.language)});
    });
    return out;
}

}  // namespace catalogue
