#include "catalogue/channel_list.h"

#include <algorithm>
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

}  // namespace

void GatheredLanguages::AddPart(std::string_view part) {
    std::string folded = text::FoldCase(part);
    std::reverse(folded.begin(), folded.end());
    parts_.push_back(Part{std::string(part), std::move(folded)});
}

std::string GatheredLanguages::Finish() const {
    // A part is left out when an earlier part ends with it, that is when its reversed
    // spelling starts an earlier part's. In sorted order the parts a reversed spelling
    // starts follow it in one run (equal ones first, earliest first), so a walk from the end
    // with a stack gives each part the earliest arrival among the parts it starts.
    const std::size_t n = parts_.size();
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int c = parts_[a].reversedFolded.compare(parts_[b].reversedFolded);
        return c != 0 ? c < 0 : a < b;
    });

    std::vector<bool> kept(n, true);
    struct Pending {
        std::size_t part;
        std::size_t earliest;  // earliest arrival among this part and the parts it starts
    };
    std::vector<Pending> stack;
    for (std::size_t k = n; k-- > 0;) {
        const std::size_t i = order[k];
        const std::string& prefix = parts_[i].reversedFolded;
        std::size_t earliestLonger = n;
        while (!stack.empty() && parts_[stack.back().part].reversedFolded.starts_with(prefix)) {
            earliestLonger = std::min(earliestLonger, stack.back().earliest);
            stack.pop_back();
        }
        const bool repeat = k > 0 && parts_[order[k - 1]].reversedFolded == prefix;  // met before
        if (repeat || earliestLonger < i) kept[i] = false;
        stack.push_back({i, std::min(earliestLonger, i)});
    }

    std::string gathered;
    for (std::size_t i = 0; i < n; ++i)
        if (kept[i]) gathered.append(parts_[i].spelling).push_back('|');
    return gathered;
}

void GatheredLanguages::Add(std::string_view language) {
    if (language.find('/') == std::string_view::npos) {
        // A single language is added even when it is empty, as the original list did; the
        // empty entry is dropped when the box is filled.
        AddPart(language);
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = language.find('/', start);
        const std::string_view part =
            language.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (!part.empty()) AddPart(part);
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
    std::vector<Channel> channels;
    ChannelListResult result =
        FilterChannels(encodedText, query, [&](const LineFields& f) { channels.push_back(Channel::From(f)); });
    result.channels = std::move(channels);
    return result;
}

ChannelListResult FilterChannels(std::string_view encodedText, const ChannelQuery& query,
                                 const ListedChannel& onListed) {
    ChannelListResult result;
    const bool filterAll = query.languageFilter == "All";
    const std::string foldedFilter = text::FoldCase(query.languageFilter);
    GatheredLanguages gathered;
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
        if (listed) onListed(f);
        if (query.gatherLanguages && gatheredValues.find(f.language) == gatheredValues.end()) {
            gatheredValues.emplace(f.language);
            gathered.Add(f.language);
        }
    });

    if (query.gatherLanguages) {
        result.gathered = gathered.Finish();
        result.languages = SortedLanguages(result.gathered);
        std::string key = text::FoldCase(query.languageFilter);
        key.push_back('|');
        result.filterIsGathered = text::ContainsFolded(text::FoldCase(result.gathered), key);
    }
    return result;
}

namespace {
bool LinesFitInMemory(std::uint64_t lines, std::uint64_t size) {
    // The rows' texts take about the file's size again; the rest of the budget is theirs.
    return lines * kRowBytes <= 3 * size + kMemoryAllowanceBytes;
}
}  // namespace

bool FitsInMemory(std::string_view encodedText) {
    return LinesFitInMemory(CountLines(encodedText), encodedText.size());
}

std::optional<ChannelListResult> LoadChannels(const std::filesystem::path& dataFile, const ChannelQuery& query,
                                              const ListedChannel& onListed,
                                              const std::function<void(std::size_t)>& lines) {
    std::optional<std::string> text = base::ReadFileCapped(dataFile, kMaxCatalogueBytes);
    if (!text) return std::nullopt;
    const std::size_t count = CountLines(*text);
    if (!LinesFitInMemory(count, text->size())) {
        ChannelListResult refused;
        refused.tooLarge = true;
        return refused;
    }
    if (lines) lines(count);
    return FilterChannels(*text, query, onListed);
}

std::optional<ChannelListResult> LoadChannels(const std::filesystem::path& dataFile, const ChannelQuery& query) {
    std::vector<Channel> channels;
    auto result = LoadChannels(dataFile, query, [&](const LineFields& f) { channels.push_back(Channel::From(f)); });
    if (result) result->channels = std::move(channels);
    return result;
}

}  // namespace catalogue
