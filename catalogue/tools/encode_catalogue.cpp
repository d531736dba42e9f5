// Encodes a catalogue source list (UTF-8 text, one "Name|Address|Category|Language" a line,
// "#" comments and blank lines ignored) into a Data.txt the viewer reads.
//
//   encode_catalogue channels.txt Data.txt
#include <cstdio>
#include <string>

#include "base/file_io.h"
#include "base/windows1252.h"
#include "catalogue/catalogue_line.h"
#include "catalogue/catalogue_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE.txt Data.txt\n", argv[0]);
        return 2;
    }
    const auto source = base::ReadFileCapped(argv[1], std::uintmax_t{64} * 1024 * 1024);
    if (!source) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    std::string out;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos <= source->size()) {
        std::size_t end = source->find('\n', pos);
        if (end == std::string::npos) end = source->size();
        std::string line = source->substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::string bytes = cp1252::FromUtf8(line);
        catalogue::LineFields f;
        if (catalogue::SplitLine(bytes, f) != catalogue::LineKind::Channel) {
            std::fprintf(stderr, "%s:%d: expected Name|Address|Category|Language\n", argv[1], lineNo);
            return 1;
        }
        try {
            catalogue::AppendEncodedLine(out, f.name, f.address, f.category, f.language);
        } catch (const std::exception&) {
            std::fprintf(stderr, "%s:%d: line too long\n", argv[1], lineNo);
            return 1;
        }
    }
    if (const auto written = base::ReplaceFileAtomically(argv[2], out); !written) {
        std::fprintf(stderr, "%s: %s\n", argv[0], written.error.c_str());
        return 1;
    }
    return 0;
}
