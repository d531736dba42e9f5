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

char AsciiLowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

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

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = kFold[static_cast<unsigned char>(a[i])];
        const unsigned char y = kFold[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string ReplaceNoCase(std::string_view text, std::string_view find, std::string_view replacement) {
    if (find.empty()) return std::string(text);
    // Folding keeps every byte in its place, so positions in the folded text are positions in
    // the text.
    const std::string foldedText = FoldCase(text);
    const std::string foldedFind = FoldCase(find);
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = foldedText.find(foldedFind, from);
        if (at == std::string::npos) break;
        out.append(text.substr(from, at - from)).append(replacement);
        from = at + find.size();
    }
    out.append(text.substr(from));
    return out;
}

std::string AsciiUpper(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::string AsciiLower(std::string_view text) {
    std::string s(text);
    for (char& c : s) c = AsciiLowerChar(c);
    return s;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i])) return false;
    return true;
}

bool StartsWithAsciiNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsAsciiNoCase(text.substr(0, prefix.size()), prefix);
}

std::string TrimBlanks(std::string_view text, std::string_view blanks) {
    const std::size_t a = text.find_first_not_of(blanks);
    if (a == std::string_view::npos) return {};
    return std::string(text.substr(a, text.find_last_not_of(blanks) - a + 1));
}

void AppendWithoutControlBytes(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F)
            out.push_back(c);
        else if (b == '\t' || b == '\r' || b == '\n')
            out.push_back(' ');
    }
}

std::string WithoutControlBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendWithoutControlBytes(out, text);
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string PercentEncoded(std::string_view text, bool (*keep)(unsigned char)) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (keep(b)) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

std::string UrlEncode(std::string_view text) {
    return PercentEncoded(text, [](unsigned char b) {
        return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
               b == '_' || b == '~';
    });
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
    std::vector<std::string_view> out;
    for (;;) {
        const auto at = line.find(separator);
        out.push_back(line.substr(0, at));
        if (at == std::string_view::npos) return out;
        line.remove_prefix(at + 1);
    }
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else
            return false;
        if (i + extra >= s.size() && extra > 0) return false;  // cut short
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace text
