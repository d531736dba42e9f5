#include "catalogue/update_document.h"

#include "base/text.h"
#include "catalogue/catalogue_writer.h"

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

std::string EncodeUpdateDocument(const std::vector<LineFields>& entries) {
    return EncodeUpdateDocument(entries, [](const LineFields& f) { return f; });
}

std::string UpdatePagePath(bool resellerBuild) { return resellerBuild ? "/update/Data.htm" : "/TV/Data.htm"; }

}  // namespace catalogue
