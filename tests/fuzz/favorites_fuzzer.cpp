// libFuzzer target: any bytes as Favorites.txt.
#include <cstdint>
#include <string_view>

#include "base/line_reader.h"
#include "catalogue/favorites.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t lines = 0;
    text::ForEachLine(text, [&](std::string_view) { ++lines; });
    const auto favourites = catalogue::ParseFavorites(text);
    FUZZ_CHECK(favourites.size() <= lines);
    for (const auto& f : favourites) FUZZ_CHECK(f.name.find('|') == std::string::npos);
    return 0;
}
