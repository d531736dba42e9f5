// libFuzzer target: any bytes as an XMLTV guide, plain or gzip, fed whole and in small pieces.
// Reading never crashes, gives the same result however the bytes are cut, keeps only the
// channels asked for, and every kept schedule is in order with its titles and descriptions within their limits.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "guide/guide_store.h"
#include "guide/gunzip.h"
#include "guide/xmltv.h"

namespace {

struct Outcome {
    bool ok = false;
    guide::GuideData data;
};

Outcome ReadInPieces(std::string_view bytes, std::size_t piece) {
    guide::Wanted wanted;
    wanted.ids = {"one", "two.uk"};
    wanted.names = {guide::NormaliseName("Channel Three")};
    guide::XmltvReader reader(wanted);
    std::size_t unpacked = 0;
    guide::Gunzip gunzip([&](std::string_view s) {
        unpacked += s.size();
        return unpacked < (std::size_t{16} << 20) && reader.feed(s);
    });
    bool ok = true;
    for (std::size_t at = 0; at < bytes.size() && ok; at += piece) ok = gunzip.feed(bytes.substr(at, piece));
    ok = ok && gunzip.finish() && reader.finish();
    return {ok, ok ? reader.take() : guide::GuideData{}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Outcome whole = ReadInPieces(bytes, bytes.size() + 1);
    const Outcome pieces = ReadInPieces(bytes, 3);
    FUZZ_CHECK(whole.ok == pieces.ok);
    if (!whole.ok) return 0;
    FUZZ_CHECK(whole.data.schedules.size() == pieces.data.schedules.size());
    for (const auto& [id, schedule] : whole.data.schedules) {
        FUZZ_CHECK(pieces.data.schedules.count(id) == 1);
        FUZZ_CHECK(pieces.data.schedules.at(id).size() == schedule.size());
        for (std::size_t i = 0; i < schedule.size(); ++i) {
            FUZZ_CHECK(schedule[i].title.size() <= guide::kMaxTitleBytes);
            FUZZ_CHECK(schedule[i].title == pieces.data.schedules.at(id)[i].title);
            FUZZ_CHECK(schedule[i].desc.size() <= guide::kMaxDescBytes);
            FUZZ_CHECK(schedule[i].desc == pieces.data.schedules.at(id)[i].desc);
            if (i > 0) FUZZ_CHECK(schedule[i - 1].start < schedule[i].start);
        }
        (void)guide::Find(schedule, 1796601600);
    }
    // What was kept survives the cache.
    guide::Cache cache;
    cache.data = whole.data;
    const auto back = guide::ReadCache(guide::WriteCache(cache));
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(back->data.schedules.size() == whole.data.schedules.size());
    return 0;
}
