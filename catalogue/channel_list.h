#pragma once
// The work behind the main window's channel list: read Data.txt, decode every line, keep the
// channels of one category that match the language filter, and gather the category's
// languages for the language box.
#include <cstdint>
#include <filesystem>
#include <functional>
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
    bool tooLarge = false;               // refused whole: more lines than memory allows (no channels)
};

// The largest catalogue file the program reads; a larger one is refused as unreadable.
inline constexpr std::uintmax_t kMaxCatalogueBytes = std::uintmax_t{512} * 1024 * 1024;

// What a channel row costs in the program's lists beyond its text: the row's five texts and
// the list's own bookkeeping (160 bytes measured on the editor's list), with room for the
// sort's merge buffer on most lists.
inline constexpr std::uint64_t kRowBytes = 224;
// The memory a catalogue may take: four times its size plus 100 MB.
inline constexpr std::uint64_t kMemoryAllowanceBytes = std::uint64_t{100} * 1024 * 1024;

// Whether the lists can hold every line of the catalogue text within its memory budget
// (4 x its size + 100 MB). A catalogue of ordinary lines always can; one of millions of tiny
// lines (a hostile or broken page) cannot and is refused whole.
bool FitsInMemory(std::string_view encodedText);

// Called with each listed channel, in file order; the views live until the next call.
using ListedChannel = std::function<void(const LineFields&)>;

// Filters the catalogue text (the raw, encoded bytes of Data.txt): the listed channels go to
// `onListed` (and `channels` stays empty), so a list can be filled without a copy of them all.
ChannelListResult FilterChannels(std::string_view encodedText, const ChannelQuery& query,
                                 const ListedChannel& onListed);
// The same, the listed channels collected in `channels`.
ChannelListResult FilterChannels(std::string_view encodedText, const ChannelQuery& query);

// Gathers languages for the language box: every language once, each followed by "|", in the
// order first met. A part is left out when "part|" already occurs in the gathered text, letter
// case ignored, that is when it equals or ends a language met before it ("lish" after
// "English", "German" after "Swiss German"; not the other way round). Parts are collected
// first and the rule is applied once at the end, over the reversed spellings in sorted order,
// so many distinct languages cost n log n rather than a search of the whole text each.
class GatheredLanguages {
public:
    // Adds `language` (one field 3 value): split at "/", empty parts dropped; a value without
    // "/" is one part even when empty.
    void Add(std::string_view language);
    // The gathered text.
    std::string Finish() const;

private:
    void AddPart(std::string_view part);
    struct Part {
        std::string spelling;        // as first met
        std::string reversedFolded;  // folded case, reversed
    };
    std::vector<Part> parts_;  // in the order met, repeats included
};

// Sorted language list of a gathered text, empty entries left out.
std::vector<std::string> SortedLanguages(std::string_view gathered);

// Reads and filters the catalogue file. Nothing when the file is missing, is not a regular
// file, cannot be read, or is larger than kMaxCatalogueBytes; `tooLarge` when it does not fit.
// `lines` (when given) learns the file's line count first, a bound on the rows to come.
std::optional<ChannelListResult> LoadChannels(const std::filesystem::path& dataFile, const ChannelQuery& query,
                                              const ListedChannel& onListed,
                                              const std::function<void(std::size_t lines)>& lines = {});
std::optional<ChannelListResult> LoadChannels(const std::filesystem::path& dataFile, const ChannelQuery& query);

}  // namespace catalogue
