#include "localisation/format.h"

#include "localisation/unicode_case.h"

#include "base/line_reader.h"
#include "base/text.h"

namespace localisation {
namespace {

// Position of `needle` in `haystack` from `from`, ASCII letter case ignored.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from = 0) {
    if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
    const std::string h = text::FoldCase(haystack), n = text::FoldCase(needle);
    return h.find(n, from);
}

}  // namespace

void ScanGroups(std::string_view text, const std::function<bool(const LanguageGroup&)>& visit) {
    const std::string folded = text::FoldCase(text);
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = folded.find("<language_group", pos);
        if (open == std::string::npos) return;
        const std::size_t close = folded.find("</language_group>", open);
        if (close == std::string::npos) return;
        pos = close + 17;
        const std::string_view group = text.substr(open, close - open);
        const std::string_view foldedGroup = std::string_view(folded).substr(open, close - open);
        const std::size_t nameStart = foldedGroup.find("<language_name>");
        const std::size_t nameEnd = foldedGroup.find("</language_name>");
        if (nameStart == std::string::npos || nameEnd == std::string::npos || nameEnd < nameStart + 15) return;
        LanguageGroup g;
        g.name = std::string(group.substr(nameStart + 15, nameEnd - nameStart - 15));
        const std::size_t itemsStart = foldedGroup.find("<translation_items>");
        const std::size_t itemsEnd = foldedGroup.find("</translation_items>");
        if (itemsStart != std::string::npos && itemsEnd != std::string::npos && itemsEnd >= itemsStart + 19)
            g.items = std::string(group.substr(itemsStart + 19, itemsEnd - itemsStart - 19));
        if (!visit(g)) return;
    }
}

std::vector<std::string> GroupNames(std::string_view text) {
    std::vector<std::string> names;
    ScanGroups(text, [&](const LanguageGroup& g) {
        names.push_back(g.name);
        return true;
    });
    return names;
}

std::optional<std::vector<std::string>> FindItems(std::string_view text, std::string_view language) {
    std::optional<std::vector<std::string>> found;
    // Language names are UTF-8 text: "FRANÇAIS" finds "Français".
    const std::string wanted = FoldUtf8(language);
    ScanGroups(text, [&](const LanguageGroup& g) {
        if (FoldUtf8(g.name) != wanted) return true;
        if (g.items) {
            const auto lines = text::SplitAtCrLf(*g.items);
            found = std::vector<std::string>(lines.begin(), lines.end());
        }
        return false;  // the first group of that name decides
    });
    return found;
}

std::optional<std::string> LineKey(std::string_view line) {
    if (line.empty()) return std::nullopt;
    const std::size_t gt = line.find('>');
    const std::string_view head = line.substr(0, gt);
    if (head.size() <= 2) return std::nullopt;
    const std::size_t lt = head.find('<');
    return std::string(lt == std::string_view::npos ? head : head.substr(lt + 1));
}

std::string LookUp(const std::vector<std::string>& lines, std::string_view key) {
    const std::string wanted = text::FoldCase(key);
    for (const std::string& line : lines) {
        const auto lineKey = LineKey(line);
        if (!lineKey || text::FoldCase(*lineKey) != wanted) continue;
        const std::string open = "<" + std::string(key) + ">";
        const std::string close = "</" + std::string(key) + ">";
        const std::size_t start = FindNoCase(line, open);
        if (start == std::string::npos) return {};
        const std::size_t textStart = start + open.size();
        const std::size_t end = FindNoCase(line, close, textStart);
        if (end == std::string::npos) return {};
        return line.substr(textStart, end - textStart);
    }
    return {};
}

}  // namespace localisation
