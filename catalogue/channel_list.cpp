#include "catalogue/channel_list.h"

#include <functional>
#include <unordered_set>

#include "base/file_io.h"
#include "base/text.h"
#include "catalogue/channel_lines.h"
#include "catalogue/sort_array.h"

namespace catalogue {
namespace {

struct ViewHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

bool GatheredHas(std::string_view foldedGathered, std::string_view part) {
    std::string key = text::FoldCase(part);
    key.push_back('|');
    return text::ContainsFolded(foldedGathered, key);
}

void AddPart(std::string_view part, std::string& gathered, std::string& foldedGathered) {
    if (GatheredHas(foldedGathered, part)) return;
    gathered.append(part).push_back('|');
    foldedGathered.append(text::FoldCase(part)).push_back('|');
}

}  // namespace

void GatherLanguage(std::string_view language, std::string& gathered, std::string& foldedGathered) {
    if (language.find('/') == std::string_view::npos) {
        // A single language is added even when it is empty, as the original list did; the
        // empty entry is dropped when the box is filled.
        AddPart(language, gathered, foldedGathered);
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = language.find('/', start);
        const std::string_view part =
            language.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (!part.empty()) AddPart(part, gathered, foldedGathered);
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
}

std::vector<std::string> SortedLanguages(std::string_view gathered) {
    std::vector<std::string> list;
    std::size_t start = 0;
    while (start <= gathered.size()) {
        const std::size_t bar = gathered.find('|', start);
        const std::size_t end = bar == std::string_view::npos ? gathered.size() : bar;
        list.emplace_back(gathered.substr(start, end - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    SortArray(list);
    std::erase_if(list, [](const std::string& s) { return s.empty(); });
    return list;
}

ChannelListResult FilterChannels(std::string_view encodedText, const ChannelQuery& query) {
    ChannelListResult result;
    const bool filterAll = query.languageFilter == "All";
    const std::string foldedFilter = text::FoldCase(query.languageFilter);
    std::string foldedGathered;
    std::string foldedLanguage;
    // Field 3 values already gathered: once all parts of a value are in the gathered text they
    // stay there (it only grows), so a repeated value needs no second search.
    std::unordered_set<std::string, ViewHash, std::equal_to<>> gatheredValues;

    result.skippedLines = ForEachChannelLine(encodedText, [&](const LineFields& f) {
        if (f.category != query.category) return;
        bool listed = filterAll;
        if (!listed) {
            foldedLanguage.assign(f.language);
            for (char& ch : foldedLanguage) ch = static_cast<char>(text::FoldCase(static_cast<unsigned char>(ch)));
            listed = text::ContainsFolded(foldedLanguage, foldedFilter);
        }
        if (listed)
            result.channels.push_back(
                Channel{std::string(f.name), std::string(f.address), std::string(f.category), std::string(f.language)});
        if (query.gatherLanguages && gatheredValues.find(f.language) == gatheredValues.end()) {
            gatheredValues.emplace(f.language);
            GatherLanguage(f.language, result.gathered, foldedGathered);
        }
    });

    if (query.gatherLanguages) {
        result.languages = SortedLanguages(result.gathered);
        result.filterIsGathered = GatheredHas(foldedGathered, query.languageFilter);
    }
    return result;
}

std::optional<ChannelListResult> LoadChannels(const std::filesystem::path& dataFile, const ChannelQuery& query) {
    std::optional<std::string> text = base::ReadFileCapped(dataFile, kMaxCatalogueBytes);
    if (!text) return std::nullopt;
    return FilterChannels(*text, query);
}

}  // namespace catalogue
