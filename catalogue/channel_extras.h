#pragma once
// What a provider's playlist says of a channel beyond the favourites line's four fields: its
// logo, its number in the provider's list, its group and the headers its server asks for. Kept
// per user by stream address ("ChannelExtras.txt", one "address<TAB>logo<TAB>number<TAB>group"
// line each, with "<TAB>options" when there are any, in the catalogue's code page), so an export
// gives back the playlist that was imported.
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace catalogue {

struct ChannelExtras {
    std::string logo, number, group;
    std::string options;  // stream_options::Write's form
    std::string tvgId;    // the guide's id of the channel: shown rows only, not kept in the file
    bool empty() const { return logo.empty() && number.empty() && group.empty() && options.empty(); }
};
using ExtrasMap = std::map<std::string, ChannelExtras>;  // by stream address

std::string WriteExtras(const ExtrasMap& extras);
// Lines that are not four or five fields with an address are skipped.
ExtrasMap ReadExtras(std::string_view text);

std::filesystem::path ExtrasPath();
ExtrasMap LoadExtras();  // none when the file is missing, unreadable or over 64 MiB
bool SaveExtras(const ExtrasMap& extras);

}  // namespace catalogue
