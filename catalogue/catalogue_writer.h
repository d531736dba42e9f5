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

// Appends every line's coded form, in order. Throws std::overflow_error when a line is too
// long for the codec; `out` may then hold part of the lines.
void AppendEncodedLines(std::string& out, const std::vector<LineFields>& lines);

}  // namespace catalogue
