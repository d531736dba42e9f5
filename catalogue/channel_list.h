#pragma once
// The work behind the main window's channel list: read Data.txt, decode every line, keep the
// channels of one category that match the language filter, and gather the category's
// languages for the language box.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_line.h"

namespace catalogue {

struct ChannelQuery {
    std::string category = "TV";         // compared exactly, letter case included
    std::string languageFilter = "All";  // "All" switches the filter off; else a substring, case ignored
    bool gatherLanguages = false;
};

struct ChannelListResult {
    std::vector<Channel> channels;       // in file order, duplicates kept
    std::string gathered;                // every language once, each followed by "|"
    std::vector<std::string> languages;  // gathered languages, sorted, no empty ones
    bool filterIsGathered = false;       // the gathered text holds the filter followed by "|"
    std::size_t skippedLines = 0;        // lines with "|" but under four fields, or too long
};

// The largest catalogue file the program reads; a larger one is refused as unreadable.
inline constexpr std::uintmax_t kMaxCatalogueBytes = std::uintmax_t{512} * 1024 * 1024;

// Filters the catalogue text (the raw, encoded bytes of Data.txt).
ChannelListResult FilterChannels(std::string_view encodedText, const ChannelQuery& query);

// Adds `language` (one field 3 value) to the gathered text the way the language box expects:
// split at "/", empty parts dropped, a part already present (followed by "|", case ignored)
// not added again. `foldedGathered` mirrors `gathered` in folded case.
void GatherLanguage(std::string_view language, std::string& gathered, std::string& foldedGathered);

// Sorted language list of a gathered text, empty entries left out.
std::vector<std::string> SortedLanguages(std::string_view gathered);

// Reads and filters the catalogue file. Nothing when the file is missing, is not a regular
// file, cannot be read, or is larger than kMaxCatalogueBytes.
std::optional<ChannelListResult> LoadChannels(const std::filesystem::path& dataFile, const ChannelQuery& query);

}  // namespace catalogue
