#pragma once
// The operator's check of a catalogue: is each address a stream that answers? Every address is
// asked once, several at a time, and the first bytes of the answer are recognised (MPEG-TS,
// playlists, ICY and audio answers, Windows Media, common containers). Nothing is played, and
// at most a few tens of kilobytes are read an address.
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace stream_check {

enum class Verdict { Alive, Dead, Unknown };

struct Result {
    Result() = default;
    Result(Verdict v, std::string why) : verdict(v), reason(std::move(why)) {}
    Verdict verdict = Verdict::Unknown;
    std::string reason;      // what was found, or why the address is dead, in words for the operator
    std::string answeredBy;  // the address that answered last, after redirects
};

// What the start of an answer is: "MPEG-TS stream", "HLS playlist", "ICY radio (audio/mpeg)"
// and the like; empty when nothing in the head or the bytes says it is media.
std::string Sniff(std::string_view contentType, bool icyHeaders, std::string_view firstBytes);

struct Options {
    std::size_t concurrency = 8;                   // addresses asked at once
    long timeoutSeconds = 10;                      // for each address, from its start
    std::size_t maxBytes = std::size_t{64} << 10;  // read from each address at most
    // Request headers of each address ("Name: value" lines, by the address's place; none when
    // missing), as its playlist asks for them.
    std::vector<std::vector<std::string>> headers;
};

struct Stats {
    std::size_t mostConnectionsAtOnce = 0;  // sockets open at the same time, as the client saw them
};

// Checks every address, `done` told of each as it ends (on the calling thread, in the order the
// checks end). Returns when all are done or `cancel` is set (within 50 ms); addresses not
// reached by then are not told.
Stats Check(const std::vector<std::string>& addresses, const Options& options,
            const std::function<void(std::size_t index, const Result& result)>& done, const std::atomic<bool>& cancel);

}  // namespace stream_check
