// libFuzzer target: any bytes as an M3U or PLS playlist, and as the list of playlist sources.
// Reading never fails on them, and what is read survives an export and a second reading; a new
// source's id is always one the list reads back.
#include <cstdint>
#include <string_view>

#include "catalogue/playlist.h"
#include "catalogue/playlist_sources.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const playlist::Playlist list = playlist::Read(text, "http://lists.example/a/b/list.m3u");
    FUZZ_CHECK(list.entries.size() <= playlist::kMaxEntries);
    for (const playlist::Entry& e : list.entries) {
        FUZZ_CHECK(!e.address.empty());
        // No control byte reaches a stored line (some would come out of the codec as a line break).
        for (const std::string* field : {&e.name, &e.address, &e.group, &e.language})
            for (const char c : *field) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
    const playlist::Playlist again = playlist::Read(playlist::WriteM3u(list.entries), "");
    FUZZ_CHECK(again.problem == playlist::Problem::None || list.entries.empty());
    FUZZ_CHECK(again.entries.size() == list.entries.size());
    for (std::size_t i = 0; i < again.entries.size(); ++i) {
        FUZZ_CHECK(again.entries[i].address == list.entries[i].address);
        FUZZ_CHECK(again.entries[i].name == list.entries[i].name);
    }
    std::vector<sources::Source> kept = sources::ReadSources(text);
    const std::size_t count = kept.size();
    kept.push_back({sources::NewId(kept), "New", "http://new.example/list.m3u", {}, {}, 0, {}, {}, {}});
    FUZZ_CHECK(sources::ReadSources(sources::WriteSources(kept)).size() == count + 1);
    return 0;
}
