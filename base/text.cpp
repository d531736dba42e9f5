#include "base/text.h"

#include <array>

namespace text {
namespace {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7) t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c + 32);
    t[0x8A] = 0x9A;  // S caron
    t[0x8C] = 0x9C;  // OE
    t[0x8E] = 0x9E;  // Z caron
    t[0x9F] = 0xFF;  // Y diaeresis
    return t;
}

constexpr auto kFold = MakeFoldTable();

}  // namespace

unsigned char FoldCase(unsigned char c) { return kFold[c]; }

std::string FoldCase(std::string_view text) {
    std::string out(text);
    for (char& ch : out) ch = static_cast<char>(kFold[static_cast<unsigned char>(ch)]);
    return out;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
    return ContainsFolded(FoldCase(haystack), FoldCase(needle));
}

}  // namespace text

namespace text {

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = kFold[static_cast<unsigned char>(a[i])];
        const unsigned char y = kFold[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace text

namespace text {

std::string AsciiUpper(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::string AsciiLower(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

std::string TrimBlanks(std::string_view text) {
    const std::size_t a = text.find_first_not_of(' ');
    if (a == std::string_view::npos) return {};
    return std::string(text.substr(a, text.find_last_not_of(' ') - a + 1));
}

}  // namespace text
