// libFuzzer target: any bytes as Data.txt, through the line codec, the field rules, the
// category filter and the language gathering; and any text line through the codec and back.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/line_reader.h"
#include "catalogue/catalogue_line.h"
#include "catalogue/channel_list.h"
#include "catalogue/codec.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::size_t lines = 0;
    text::ForEachLine(text, [&](std::string_view) { ++lines; });
    for (const char* category : {"TV", "Radio"}) {
        catalogue::ChannelQuery query;
        query.category = category;
        query.gatherLanguages = true;
        const auto all = catalogue::FilterChannels(text, query);
        FUZZ_CHECK(all.channels.size() + all.skippedLines <= lines);
        for (const auto& channel : all.channels) FUZZ_CHECK(channel.category == category);
        query.languageFilter = all.languages.empty() ? std::string("English") : all.languages.front();
        const auto one = catalogue::FilterChannels(text, query);
        FUZZ_CHECK(one.channels.size() <= all.channels.size());
    }

    // A line of text (TAB and 32..254) survives the codec, and its coded form holds no line end.
    // (255 does not: with the codec's wrap of 255 it comes back as 0; stored files rely on the
    // codec as it is.)
    std::string line;
    for (char c : text.substr(0, modGenDec::kMaxLineLength))
        if (c == '\t' || (static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) != 255))
            line.push_back(c);
    const std::string coded = modGenDec::EncodeLine(line);
    FUZZ_CHECK(coded.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(modGenDec::DecodeLine(coded) == line);
    catalogue::LineFields fields;
    if (catalogue::SplitLine(line, fields) == catalogue::LineKind::Channel) {
        const std::string joined = catalogue::JoinLine(fields.name, fields.address, fields.category, fields.language);
        catalogue::LineFields again;
        FUZZ_CHECK(catalogue::SplitLine(joined, again) == catalogue::LineKind::Channel);
        FUZZ_CHECK(again.name == fields.name && again.address == fields.address);
    }
    return 0;
}
