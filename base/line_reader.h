#pragma once
// Splits catalogue text into lines the way every reader of the program does: a line ends at
// a carriage return, with or without a following line feed; a line feed on its own is text.
#include <functional>
#include <string_view>

namespace text {

// Calls onLine for every line of text, in order. A final line without a carriage return is
// still a line; an empty text has no lines, and text ending in CR or CR LF has no empty line
// after it.
template <typename F>
void ForEachLine(std::string_view text, F&& onLine) {
    std::size_t pos = 0;
    const std::size_t n = text.size();
    while (pos < n) {
        std::size_t cr = text.find('\r', pos);
        if (cr == std::string_view::npos) {
            onLine(text.substr(pos));
            return;
        }
        onLine(text.substr(pos, cr - pos));
        pos = cr + 1;
        if (pos < n && text[pos] == '\n') ++pos;
    }
}

}  // namespace text

#include <string>
#include <vector>

namespace text {

// Splits text at each CR LF pair, as REGEDIT4 and localisation files are read: a lone CR or LF
// is text. An empty text is one empty line.
std::vector<std::string_view> SplitAtCrLf(std::string_view text);

}  // namespace text
