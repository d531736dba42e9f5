#pragma once
// What a provider's playlist says of a channel beyond the favourites line's four fields: its
// logo, its number in the provider's list, its group and the headers its server asks for, and
// the full name and language of a favourite whose line (in the system's code page) cannot hold
// them. Kept per user by stream address ("ChannelExtras.txt", UTF-8, one
// "address<TAB>logo<TAB>number<TAB>group" line each, with "<TAB>options" when there are any and
// "<TAB>options<TAB>name<TAB>language" when there is a full text, and "<TAB>archive" after
// those when the channel has one), so an export gives back the playlist that was imported and a
// Cyrillic favourite keeps its name in a Western code page.
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace catalogue {

struct ChannelExtras {
    std::string logo, number, group;
    std::string options;         // stream_options::Write's form
    std::string tvgId;           // the guide's id of the channel: shown rows only, not kept in the file
    std::string name, language;  // a favourite's full texts, where its line holds less of them
    std::string catchup;         // its archive, catchup::Write's form
    bool empty() const {
        return logo.empty() && number.empty() && group.empty() && options.empty() && name.empty() && language.empty() &&
               catchup.empty();
    }
};
using ExtrasMap = std::map<std::string, ChannelExtras>;  // by stream address

std::string WriteExtras(const ExtrasMap& extras);
// Lines that are not four, five, seven or eight fields with an address are skipped. A file that is
// not UTF-8 (written before it was) is read in the system's code page.
ExtrasMap ReadExtras(std::string_view text);

std::filesystem::path ExtrasPath();
ExtrasMap LoadExtras();  // none when the file is missing, unreadable or over 64 MiB
bool SaveExtras(const ExtrasMap& extras);

}  // namespace catalogue
