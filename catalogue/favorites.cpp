#include "catalogue/favorites.h"

#include "base/line_reader.h"
#include "catalogue/catalogue_line.h"
#include "catalogue/codec.h"

namespace catalogue {

std::vector<Channel> ParseFavorites(std::string_view encodedText) {
    std::vector<Channel> out;
    std::string decoded;
    text::ForEachLine(encodedText, [&](std::string_view encoded) {
        if (encoded.size() > modGenDec::kMaxLineLength) return;
        decoded.assign(encoded);
        modGenDec::DecodeInPlace(decoded.data(), decoded.size());
        LineFields f;
        if (SplitLine(decoded, f) != LineKind::Channel) return;
        out.push_back(
            Channel{std::string(f.name), std::string(f.address), std::string(f.category), std::string(f.language)});
    });
    return out;
}

}  // namespace catalogue
