#pragma once
// Writing catalogue lines: the four fields joined by "|", coded, each followed by CR LF.
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_line.h"

namespace catalogue {

// Appends one coded catalogue line and its line end to `out`. Throws std::overflow_error
// when the line is too long for the codec.
void AppendEncodedLine(std::string& out, std::string_view name, std::string_view address, std::string_view category,
                       std::string_view language);

// Appends the coded line of every row, in order, as `toFields(row)` gives its four fields.
// Throws std::overflow_error when a line is too long for the codec; `out` may then hold part of
// the lines.
template <typename Rows, typename ToFields>
void AppendEncodedLines(std::string& out, const Rows& rows, ToFields toFields) {
    std::size_t bytes = out.size();
    for (const auto& row : rows) {
        const LineFields f = toFields(row);
        bytes += f.name.size() + f.address.size() + f.category.size() + f.language.size() + 5;
    }
    out.reserve(bytes);
    for (const auto& row : rows) {
        const LineFields f = toFields(row);
        AppendEncodedLine(out, f.name, f.address, f.category, f.language);
    }
}
inline void AppendEncodedLines(std::string& out, const std::vector<LineFields>& lines) {
    AppendEncodedLines(out, lines, [](const LineFields& f) { return f; });
}

}  // namespace catalogue
