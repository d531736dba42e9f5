#include "catalogue/update_document.h"

#include "base/text.h"

namespace catalogue {

BlockResult ExtractDataBlock(std::string_view page, std::string& block) {
    const std::string folded = text::FoldCase(page);
    const std::size_t open = folded.find("<data>");
    if (open == std::string::npos) return BlockResult::NoMarker;
    const std::size_t start = open + 6;
    const std::size_t close = folded.find("</data>", start);
    if (close == std::string::npos) return BlockResult::Unfinished;
    block.assign(page.substr(start, close - start));
    return BlockResult::Found;
}

std::string UpdatePagePath(bool resellerBuild) { return resellerBuild ? "/update/Data.htm" : "/TV/Data.htm"; }

std::string ReplaceNoCase(std::string_view text, std::string_view find, std::string_view replacement) {
    if (find.empty()) return std::string(text);
    const std::string foldedText = text::FoldCase(text);
    const std::string foldedFind = text::FoldCase(find);
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = foldedText.find(foldedFind, from);
        if (at == std::string::npos) break;
        out.append(text.substr(from, at - from)).append(replacement);
        from = at + find.size();
    }
    out.append(text.substr(from));
    return out;
}

}  // namespace catalogue
