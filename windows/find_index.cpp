#include "windows/find_index.h"

#include <algorithm>
#include <unordered_set>

#include "base/text.h"
#include "localisation/search_key.h"

namespace find_index {

void Index::add(Channel channel) {
    std::string key;
    localisation::AppendSearchKey(key, channel.name);
    m_channelKeys.push_back(std::move(key));
    m_channels.push_back(std::move(channel));
}

void Index::addGuide(std::shared_ptr<const void> keeper, const guide::GuideData& guide, std::int64_t now) {
    m_keeper = std::move(keeper);
    // Each schedule once, with the first of our channels that shows it.
    std::unordered_set<const guide::Schedule*> seen;
    std::vector<Programme> found;
    for (std::size_t c = 0; c < m_channels.size(); ++c) {
        const guide::Schedule* schedule = guide.find(m_channels[c].tvgId, m_channels[c].name);
        if (!schedule || !seen.insert(schedule).second) continue;
        for (const guide::Programme& p : *schedule)
            if (p.stop > now || (p.stop == 0 && p.start >= now)) found.push_back({&p, schedule, c});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Programme& a, const Programme& b) { return a.programme->start < b.programme->start; });
    m_programmeKeys.reserve(found.size());
    for (const Programme& p : found) {
        std::string key;
        localisation::AppendSearchKey(key, p.programme->title);
        m_programmeKeys.push_back(std::move(key));
    }
    m_programmes = std::move(found);
}

Index::Matches Index::find(std::string_view typed, std::string_view shownList, std::size_t limit) const {
    Matches out;
    const std::string key = localisation::SearchKey(typed);
    if (key.empty()) return out;
    for (std::size_t i = 0; i < m_channels.size(); ++i) {
        if (!text::ContainsFolded(m_channelKeys[i], key) || m_channels[i].list == shownList) continue;
        if (out.channels.size() < limit)
            out.channels.push_back(&m_channels[i]);
        else
            ++out.moreChannels;
    }
    for (std::size_t i = 0; i < m_programmes.size(); ++i) {
        if (!text::ContainsFolded(m_programmeKeys[i], key)) continue;
        if (out.programmes.size() < limit)
            out.programmes.push_back(&m_programmes[i]);
        else
            ++out.moreProgrammes;
    }
    return out;
}

}  // namespace find_index
