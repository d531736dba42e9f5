#pragma once
// The favourites file: one coded catalogue line per favourite, in list order, CR LF after each.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_line.h"
#include "catalogue/catalogue_writer.h"

namespace catalogue {

// The favourites of a Favorites.txt text. Lines without "|" are skipped, and so are lines
// with fewer than four fields or too long for the codec (they can only come from a file
// edited outside the program); the rest of the list is kept.
std::vector<Channel> ParseFavorites(std::string_view encodedText);

// The favourites file of `favorites`. Throws std::overflow_error when one is too long for the
// codec.
std::string EncodeFavorites(const std::vector<LineFields>& favorites);
// The same for any rows, each giving its fields through `toFields`.
template <typename Rows, typename ToFields>
std::string EncodeFavorites(const Rows& rows, ToFields toFields) {
    std::string text;
    AppendEncodedLines(text, rows, toFields);
    return text;
}

// The largest favourites file the program reads.
inline constexpr std::uintmax_t kMaxFavoritesBytes = std::uintmax_t{64} * 1024 * 1024;

}  // namespace catalogue
