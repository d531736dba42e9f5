#pragma once
// XMLTV programme guides, read as a stream (guides run to hundreds of megabytes): only the
// programmes of the channels we list are kept, so memory follows our channel list and not the
// guide's size.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace guide {

struct Programme {
    std::int64_t start = 0, stop = 0;  // seconds since 1970 UTC; stop 0 until known
    std::string title;                 // UTF-8
    std::string desc;                  // what it is about (UTF-8); empty when the guide says nothing
};

// The programmes of one channel, by start.
using Schedule = std::vector<Programme>;

// The name a channel is matched by: letters and digits only, lower case, without a trailing
// "HD", "SD", "FHD" or "UHD" ("BBC One HD" and "bbc-one" are both "bbcone"). Bytes outside
// ASCII are kept as they are.
std::string NormaliseName(std::string_view name);

// An XMLTV time, "YYYYMMDDhhmmss +hhmm" (seconds and the zone may be left out; no zone is UTC).
std::optional<std::int64_t> ParseTime(std::string_view text);

// The channels the reader looks for.
struct Wanted {
    std::set<std::string> ids;    // tvg-id of our channels, as written
    std::set<std::string> names;  // NormaliseName of our channels' names
};

// What a guide gave: the schedules of the matched channels, and how our keys find them.
struct GuideData {
    std::map<std::string, Schedule> schedules;        // by the guide's channel id
    std::map<std::string, std::string> byId, byName;  // our tvg-id / normalised name -> guide channel id
    std::size_t programmesSeen = 0;                   // every programme of the guide, kept or not

    // The schedule for a channel of ours: by its tvg-id, else by its name; nullptr when none.
    const Schedule* find(std::string_view tvgId, std::string_view name) const;
};

// What is on and what follows at `now`: an overlap is settled for the programme that started
// last; `next` is the first programme to start after `now`.
struct NowNext {
    const Programme* now = nullptr;
    const Programme* next = nullptr;
};
NowNext Find(const Schedule& schedule, std::int64_t now);

// Sorts each schedule, drops repeats of a start, and fills missing stops from the next start.
void Settle(GuideData& data);

// The streaming reader: fed the document in pieces of any size.
class XmltvReader {
public:
    explicit XmltvReader(Wanted wanted);
    ~XmltvReader();
    XmltvReader(const XmltvReader&) = delete;
    XmltvReader& operator=(const XmltvReader&) = delete;

    // False once the document is found broken (error() says where and why); later pieces are
    // ignored.
    bool feed(std::string_view piece);
    bool finish();
    const std::string& error() const;
    // The result, settled. Call once, after finish().
    GuideData take();

    struct State;

private:
    void release();  // frees the parser and all it holds
    std::unique_ptr<State> m_state;
};

// Limits that keep a hostile guide from taking memory: the longest title and description kept
// (longer ones are cut) and the most programmes kept for one channel.
inline constexpr std::size_t kMaxTitleBytes = 512;
inline constexpr std::size_t kMaxDescBytes = 2048;
inline constexpr std::size_t kMaxProgrammesPerChannel = 4096;
// The deepest nesting of elements read; a deeper document is refused.
inline constexpr int kMaxDepth = 32;

}  // namespace guide
