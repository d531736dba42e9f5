// libFuzzer target: any bytes as a localisation file, through the group scan and the item-line
// reader.
#include <cstdint>
#include <string>
#include <string_view>

#include "localisation/format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto names = localisation::GroupNames(text);
    for (const std::string& name : names) {
        if (auto items = localisation::FindItems(text, name)) {
            for (const std::string& line : *items)
                if (auto key = localisation::LineKey(line)) (void)localisation::LookUp(*items, *key);
            (void)localisation::LookUp(*items, "FORM1_CMDTV");
        }
    }
    return 0;
}
