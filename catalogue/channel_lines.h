#pragma once
// Walks coded catalogue text (Data.txt, Favorites.txt, an update block) channel by channel:
// every line (the CR rule) decoded and split. What every reader of such text does.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/line_reader.h"
#include "catalogue/catalogue_line.h"
#include "catalogue/codec.h"

namespace catalogue {

// Calls onChannel(const LineFields&) for each channel line, in order; the views live until
// the next call. Lines without "|" are passed over; damaged lines (with "|" but under four
// fields, or longer than the codec takes) are skipped and counted: the count is returned.
// onDamaged(std::size_t lineNumber) hears of each damaged line (numbered from 1).
template <typename F, typename D>
std::size_t ForEachChannelLine(std::string_view encodedText, F&& onChannel, D&& onDamaged) {
    std::size_t skipped = 0;
    std::size_t number = 0;
    std::string decoded;
    text::ForEachLine(encodedText, [&](std::string_view encoded) {
        ++number;
        if (encoded.size() > modGenDec::kMaxLineLength) {
            ++skipped;
            onDamaged(number);
            return;
        }
        decoded.assign(encoded);
        modGenDec::DecodeInPlace(decoded.data(), decoded.size());
        LineFields f;
        switch (SplitLine(decoded, f)) {
            case LineKind::NotChannel: return;
            case LineKind::Malformed:
                ++skipped;
                onDamaged(number);
                return;
            case LineKind::Channel: onChannel(f); return;
        }
    });
    return skipped;
}

template <typename F>
std::size_t ForEachChannelLine(std::string_view encodedText, F&& onChannel) {
    return ForEachChannelLine(encodedText, std::forward<F>(onChannel), [](std::size_t) {});
}

// How many lines the text holds, a last one without a line feed included: a bound on the
// channels it can give.
std::size_t CountLines(std::string_view encodedText);

// Every channel of the coded text, in order; damaged lines left out.
std::vector<Channel> DecodeChannels(std::string_view encodedText);

}  // namespace catalogue
