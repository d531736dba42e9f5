#pragma once
// The decoded catalogue line: name|address|category|language, split at every "|".
#include <string>
#include <string_view>

namespace catalogue {

enum class LineKind {
    Channel,     // four or more fields; fields after the fourth are ignored
    NotChannel,  // no "|" at all: empty lines and stray text, skipped silently
    Malformed,   // holds "|" but has fewer than four fields
};

struct LineFields {
    std::string_view name, address, category, language;
};

// One channel as the program keeps it: the four fields of its line, as bytes.
struct Channel {
    std::string name, address, category, language;
    static Channel From(const LineFields& f) {
        return {std::string(f.name), std::string(f.address), std::string(f.category), std::string(f.language)};
    }
    LineFields fields() const { return {name, address, category, language}; }
};

// Splits a decoded line. The views point into `line`.
LineKind SplitLine(std::string_view line, LineFields& out);

// Joins the four fields the way every writer does (no line end, not encoded).
std::string JoinLine(std::string_view name, std::string_view address, std::string_view category,
                     std::string_view language);

}  // namespace catalogue
