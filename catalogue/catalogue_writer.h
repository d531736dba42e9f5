#pragma once
// Writing catalogue lines: the four fields joined by "|", coded, each followed by CR LF.
#include <string>
#include <string_view>

namespace catalogue {

// Appends one coded catalogue line and its line end to `out`. Throws std::overflow_error
// when the line is too long for the codec.
void AppendEncodedLine(std::string& out, std::string_view name, std::string_view address, std::string_view category,
                       std::string_view language);

}  // namespace catalogue
