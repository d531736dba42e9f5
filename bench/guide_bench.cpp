// The programme guide: a generated XMLTV guide of about 100 MB (2,000 channels, a week),
// plain and gzip, read by the guide's streaming reader keeping the 200 channels we list;
// beside it the time merely to read the file and to gunzip it, and the memory the reading
// adds to the process.
//
//   build/release/bin/guide_bench [repeats]
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/process_memory.h"
#include "bench_table.h"
#include "guide/guide_update.h"
#include "guide/gunzip.h"

namespace {

constexpr int kChannels = 2000, kDays = 7, kPerDay = 24, kOurs = 200;

std::string Time(std::int64_t t) {
    const std::int64_t days = t / 86400, secs = t % 86400;
    // Civil date from days since 1970 (Howard Hinnant's algorithm).
    const std::int64_t z = days + 719468, era = z / 146097, doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9, y = yoe + era * 400 + (m <= 2);
    char out[96];
    std::snprintf(out, sizeof out, "%04lld%02lld%02lld%02lld%02lld00 +0000", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60));
    return out;
}

std::uint64_t WriteGuide(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv generator-info-name=\"bench\">\n";
    for (int c = 0; c < kChannels; ++c)
        out << "  <channel id=\"ch" << c << ".example\"><display-name>Channel " << c
            << "</display-name><icon src=\"http://logos.example/" << c << ".png\"/></channel>\n";
    const std::int64_t start = 1796601600;
    for (int c = 0; c < kChannels; ++c)
        for (int p = 0; p < kDays * kPerDay; ++p) {
            const std::int64_t t = start + std::int64_t{p} * 3600;
            out << "  <programme start=\"" << Time(t) << "\" stop=\"" << Time(t + 3600) << "\" channel=\"ch" << c
                << ".example\">\n    <title lang=\"en\">Programme " << p << " on channel " << c
                << "</title>\n    <desc lang=\"en\">What happens in this hour, told at the length a guide "
                   "tells it.</desc>\n    <category lang=\"en\">News</category>\n  </programme>\n";
        }
    out << "</tv>\n";
    return static_cast<std::uint64_t>(out.tellp());
}

void GzipFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::ifstream in(from, std::ios::binary);
    gzFile out = gzopen(to.c_str(), "wb6");
    std::vector<char> buffer(1 << 20);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        gzwrite(out, buffer.data(), static_cast<unsigned>(in.gcount()));
    }
    gzclose(out);
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "guide_bench";
    std::filesystem::create_directories(dir);
    const auto plain = dir / "guide.xml", packed = dir / "guide.xml.gz";
    const std::uint64_t size = WriteGuide(plain);
    GzipFile(plain, packed);
    std::fprintf(stderr, "guide: %.0f MB, gzip %.0f MB\n", size / 1e6, std::filesystem::file_size(packed) / 1e6);

    guide::Wanted wanted;
    for (int c = 0; c < kOurs; ++c) wanted.ids.insert("ch" + std::to_string(c * (kChannels / kOurs)) + ".example");

    const auto readFile = [&](const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> buffer(1 << 20);
        std::uint64_t n = 0;
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
            n += static_cast<std::uint64_t>(in.gcount());
        return n;
    };
    const bench::Stats read = bench::Time(repeats, [&] { readFile(plain); });
    const bench::Stats gunzip = bench::Time(repeats, [&] {
        std::ifstream in(packed, std::ios::binary);
        guide::Gunzip gz([](std::string_view) { return true; });
        std::vector<char> buffer(1 << 20);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
            gz.feed(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())));
        gz.finish();
    });
    std::size_t kept = 0;
    std::uint64_t grown = 0;
    const auto parse = [&](const std::filesystem::path& path) {
        guide::UpdateRequest request;
        request.address = path.string();
        request.wanted = wanted;
        const std::uint64_t before = base::ResidentBytes();
        guide::UpdateResult result = guide::Update(request);
        grown = std::max(grown, base::ResidentBytes() - std::min(before, base::ResidentBytes()));
        kept = 0;
        for (const auto& [id, schedule] : result.data.schedules) kept += schedule.size();
        if (result.outcome != guide::UpdateResult::Outcome::Updated)
            std::fprintf(stderr, "%s\n", result.message.c_str());
    };
    const bench::Stats parsed = bench::Time(repeats, [&] { parse(plain); });
    const bench::Stats parsedGz = bench::Time(repeats, [&] { parse(packed); });
    std::fprintf(stderr, "kept %zu programmes of %d channels\n", kept, kOurs);

    const std::string mb = std::to_string(size / 1000000) + " MB";
    bench::Row("guide: read the " + mb + " XMLTV file", read, "", {}, "", true);
    bench::Row("guide: gunzip it", gunzip, "", {}, "", true);
    bench::Row("guide: " + mb + " XMLTV, 200 of 2000 channels kept", parsed, "reading the file", read, "<= 2000 ms",
               parsed.median <= 2000);
    bench::Row("guide: the same, gzip", parsedGz, "gunzip", gunzip, "<= 2000 ms + gunzip",
               parsedGz.median <= 2000 + gunzip.median);
    const bench::Stats memory{grown / 1048576.0, grown / 1048576.0, grown / 1048576.0};
    bench::Row("guide: memory added while reading (" + std::to_string(kept) + " programmes kept)", memory, "", {},
               "<= 64 MB", memory.median <= 64, "MB");
    std::filesystem::remove_all(dir);
    return 0;
}
