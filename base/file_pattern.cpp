#include "base/file_pattern.h"

#include "base/text.h"

namespace file_pattern {
namespace {

bool Same(char a, char b) {
    return text::FoldCase(static_cast<unsigned char>(a)) == text::FoldCase(static_cast<unsigned char>(b));
}

// Iterative wildcard match with single backtracking point for "*".
bool Glob(std::string_view name, std::string_view pattern) {
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && Same(pattern[p], name[n])))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

bool Matches(std::string_view name, std::string_view patternList) {
    std::size_t start = 0;
    while (start <= patternList.size()) {
        std::size_t semi = patternList.find(';', start);
        if (semi == std::string_view::npos) semi = patternList.size();
        const std::string_view one = patternList.substr(start, semi - start);
        if (!one.empty() && Glob(name, one)) return true;
        start = semi + 1;
    }
    return false;
}

}  // namespace file_pattern
