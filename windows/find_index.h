#pragma once
// What the find line finds beyond the list on show: the channels of every other list (the
// catalogue's categories, each playlist source, the favourites) and the programmes of the guide
// still to end, each with its channel. Made once on a worker (search keys and all), then asked
// at every keystroke: one pass over the keys, the first matches kept.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "guide/xmltv.h"

namespace find_index {

struct Channel {
    std::string name, address, options;  // UTF-8; options as stream_options::Write gives them
    std::string list;                    // the list it is in: "cat:TV", a source's id, "fav"
    std::string where;                   // the list's name as the user knows it
    std::string tvgId;
};

struct Programme {
    const guide::Programme* programme = nullptr;
    const guide::Schedule* schedule = nullptr;
    std::size_t channel = 0;  // its channel, in the index's channels
};

class Index {
public:
    void add(Channel channel);
    // The guide's programmes that end after `now`, for the channels added by then; `guide` is
    // kept alive with the index.
    void addGuide(std::shared_ptr<const void> keeper, const guide::GuideData& guide, std::int64_t now);

    struct Matches {
        std::vector<const Channel*> channels;
        std::vector<const Programme*> programmes;  // by start
        std::size_t moreChannels = 0, moreProgrammes = 0;
    };
    // What `typed` (the find line's text) finds, leaving out the channels of `shownList`; at most
    // `limit` of each kind.
    Matches find(std::string_view typed, std::string_view shownList, std::size_t limit) const;

    const std::vector<Channel>& channels() const { return m_channels; }
    std::size_t programmeCount() const { return m_programmes.size(); }
    const Programme* programme(std::size_t at) const { return m_programmes.data() + at; }

private:
    std::vector<Channel> m_channels;
    std::vector<std::string> m_channelKeys;
    std::vector<Programme> m_programmes;  // by start
    std::vector<std::string> m_programmeKeys;
    std::shared_ptr<const void> m_keeper;
};

}  // namespace find_index
