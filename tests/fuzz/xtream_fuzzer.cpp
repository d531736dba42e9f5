// libFuzzer target: any bytes as a provider's panel's answers. The account's answer is judged
// without fault; a list made into a playlist reads back with every entry's address on the
// panel's server, under its own kind of path, and nothing from the answer breaks out of it.
#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/playlist.h"
#include "catalogue/xtream.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const xtream::Login login = xtream::ReadLogin(text, 200, 1'800'000'000);
    const xtream::State state = xtream::ReadState(xtream::Write(login.state));
    FUZZ_CHECK(state.expires == login.state.expires && state.maxConnections == login.state.maxConnections);

    const xtream::Account account{"http://panel.test:8080", "u", "p"};
    // The same bytes as each list: categories and streams.
    const xtream::Answers answers{std::string(text), std::string(text), std::string(text), std::string(text)};
    const playlist::Playlist list = playlist::Read(xtream::PlaylistOf(account, answers), {});
    FUZZ_CHECK(list.problem == playlist::Problem::None);
    for (const playlist::Entry& e : list.entries) {
        const bool live = e.address.rfind("http://panel.test:8080/live/u/p/", 0) == 0;
        const bool film = e.address.rfind("http://panel.test:8080/movie/u/p/", 0) == 0;
        FUZZ_CHECK(live || film);
        FUZZ_CHECK(e.address.find_first_of(" \t\r\n\"|") == std::string::npos);
    }
    return 0;
}
