#pragma once
// Several guides read together (the user's own and those of the playlist sources): each one's
// channels kept under ids tagged with the guide they came from, so that two guides' "bbc1" stay
// apart; a channel of ours known to more than one guide is found in the first that knows it.
#include <string>
#include <string_view>
#include <vector>

#include "guide/xmltv.h"

namespace guide {

// The guides' addresses as one text ("a b c": addresses hold no blank), and back.
std::string JoinAddresses(const std::vector<std::string>& addresses);
std::vector<std::string> SplitAddresses(std::string_view joined);

// A guide's tag: a few characters from its address, the same at every run.
std::string TagOf(std::string_view address);

// Adds `from`'s schedules to `into` under `tag`; a tvg-id or name `into` finds already stays
// with what it found.
void Merge(GuideData& into, GuideData&& from, std::string_view tag);
// Copies into `into` what `old` holds of the guide tagged `tag`: a guide that could not be
// read this time keeps what it gave the last time.
void KeepTagged(GuideData& into, const GuideData& old, std::string_view tag);

}  // namespace guide
