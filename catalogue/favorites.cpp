#include "catalogue/favorites.h"

#include "catalogue/catalogue_writer.h"
#include "catalogue/channel_lines.h"

namespace catalogue {

std::vector<Channel> ParseFavorites(std::string_view encodedText) { return DecodeChannels(encodedText); }

std::string EncodeFavorites(const std::vector<LineFields>& favorites) {
    std::string text;
    AppendEncodedLines(text, favorites);
    return text;
}

}  // namespace catalogue
