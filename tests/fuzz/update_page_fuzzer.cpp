// libFuzzer target: any bytes as a downloaded update page, through the block extraction, and
// the editor's find-and-replace on what it yields.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text.h"
#include "catalogue/update_document.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    std::string block;
    const catalogue::BlockResult result = catalogue::ExtractDataBlock(page, block);
    if (result == catalogue::BlockResult::Found) {
        FUZZ_CHECK(page.find(block) != std::string_view::npos);
        FUZZ_CHECK(block.size() + 13 <= page.size());  // "<data>" and "</data>" lie outside it
    } else {
        FUZZ_CHECK(block.empty());
    }
    // Find and replace: the first bytes are the text to find, the rest the text searched.
    const std::size_t cut = size < 4 ? size : 4;
    const std::string replaced = text::ReplaceNoCase(page.substr(cut), page.substr(0, cut), "|");
    if (cut == 0) FUZZ_CHECK(replaced.empty());
    FUZZ_CHECK(text::ReplaceNoCase(page, "", "x") == page);
    return 0;
}
