#include "guide/guide_merge.h"

#include <cstdint>
#include <cstdio>

#include "base/text.h"

namespace guide {

std::string JoinAddresses(const std::vector<std::string>& addresses) {
    std::string out;
    for (const std::string& a : addresses) {
        if (a.empty()) continue;
        if (!out.empty()) out += ' ';
        out += a;
    }
    return out;
}

std::vector<std::string> SplitAddresses(std::string_view joined) {
    std::vector<std::string> out;
    for (const std::string_view part : text::Split(joined, ' '))
        if (!part.empty()) out.emplace_back(part);
    return out;
}

std::string TagOf(std::string_view address) {
    std::uint32_t hash = 2166136261U;
    for (const unsigned char c : address) hash = (hash ^ c) * 16777619U;
    char tag[16];
    std::snprintf(tag, sizeof tag, "%08x:", static_cast<unsigned>(hash));
    return tag;
}

void Merge(GuideData& into, GuideData&& from, std::string_view tag) {
    const std::string prefix(tag);
    for (auto& [id, schedule] : from.schedules) into.schedules[prefix + id] = std::move(schedule);
    for (auto& [key, id] : from.byId) into.byId.try_emplace(key, prefix + id);
    for (auto& [key, id] : from.byName) into.byName.try_emplace(key, prefix + id);
    into.programmesSeen += from.programmesSeen;
}

void KeepTagged(GuideData& into, const GuideData& old, std::string_view tag) {
    for (const auto& [id, schedule] : old.schedules)
        if (id.compare(0, tag.size(), tag) == 0) into.schedules.try_emplace(id, schedule);
    for (const auto& [source, target] : {std::pair{&old.byId, &into.byId}, std::pair{&old.byName, &into.byName}})
        for (const auto& [key, id] : *source)
            if (id.compare(0, tag.size(), tag) == 0) target->try_emplace(key, id);
}

}  // namespace guide
