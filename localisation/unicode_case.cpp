#include "localisation/unicode_case.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <utf8proc.h>
#endif

namespace localisation {

#ifdef _WIN32

// The system's own Unicode case rules, through UTF-16.
namespace {
std::wstring Wide(std::string_view text, bool& ok) {
    ok = true;
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) {
        ok = false;
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}
std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}
}  // namespace

std::string FoldUtf8(std::string_view text) {
    bool ok = false;
    std::wstring wide = Wide(text, ok);
    if (!ok) return text::FoldCase(text);
    if (!wide.empty()) CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return Narrow(wide);
}

std::string RaiseFirstUtf8(std::string_view text) {
    bool ok = false;
    std::wstring wide = Wide(text, ok);
    if (!ok || wide.empty() || IS_HIGH_SURROGATE(wide[0])) return std::string(text);
    CharUpperBuffW(wide.data(), 1);
    return Narrow(wide);
}

#else

std::string FoldUtf8(std::string_view text) {
    utf8proc_uint8_t* folded = nullptr;
    const utf8proc_ssize_t n =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()), static_cast<utf8proc_ssize_t>(text.size()),
                     &folded, static_cast<utf8proc_option_t>(UTF8PROC_CASEFOLD | UTF8PROC_COMPOSE | UTF8PROC_STABLE));
    if (n < 0) return text::FoldCase(text);  // not UTF-8: the byte rules
    std::string out(reinterpret_cast<const char*>(folded), static_cast<std::size_t>(n));
    std::free(folded);
    return out;
}

std::string RaiseFirstUtf8(std::string_view text) {
    utf8proc_int32_t first = 0;
    const utf8proc_ssize_t length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                                     static_cast<utf8proc_ssize_t>(text.size()), &first);
    if (length <= 0) return std::string(text);
    utf8proc_uint8_t raised[4];
    const utf8proc_ssize_t written = utf8proc_encode_char(utf8proc_toupper(first), raised);
    return std::string(reinterpret_cast<const char*>(raised), static_cast<std::size_t>(written)) +
           std::string(text.substr(static_cast<std::size_t>(length)));
}

#endif

int CompareNoCaseUtf8(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x == y) continue;
        if (x < 0x80 && y < 0x80) {
            const int fx = x >= 'A' && x <= 'Z' ? x + ('a' - 'A') : x;
            const int fy = y >= 'A' && y <= 'Z' ? y + ('a' - 'A') : y;
            if (fx == fy) continue;
            return fx < fy ? -1 : 1;
        }
        // Another script from here on: the rest of both, from the start of this character.
        std::size_t from = i;
        while (from > 0 && (static_cast<unsigned char>(a[from]) & 0xC0) == 0x80) --from;
        const int c = FoldUtf8(a.substr(from)).compare(FoldUtf8(b.substr(from)));
        return c == 0 ? 0 : (c < 0 ? -1 : 1);
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

namespace {

// One character in lower case (characters without a single lower-case form stay as they are).
char32_t Lower(char32_t c) {
#ifdef _WIN32
    if (c > 0xFFFF) return c;
    wchar_t w = static_cast<wchar_t>(c);
    CharLowerBuffW(&w, 1);
    return w;
#else
    return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
#endif
}

// The text's characters in lower case, each with the byte where it starts; a byte that starts
// no character stands for itself (in a range no character uses).
struct Characters {
    std::vector<char32_t> lowered;
    std::vector<std::size_t> starts;
};
Characters Split(std::string_view text) {
    Characters out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
        char32_t c = 0x110000u + b;
        std::size_t used = 1;
        if (length == 1) {
            c = b;
        } else if (length > 1 && i + length <= text.size()) {
            char32_t value = b & (0x7F >> length);
            bool ok = true;
            for (std::size_t k = 1; k < length && ok; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                ok = (next & 0xC0) == 0x80;
                value = (value << 6) | (next & 0x3F);
            }
            if (ok) {
                c = Lower(value);
                used = length;
            }
        }
        if (c < 0x80) c = (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
        out.lowered.push_back(c);
        out.starts.push_back(i);
        i += used;
    }
    out.starts.push_back(text.size());
    return out;
}

}  // namespace

std::string ReplaceNoCaseUtf8(std::string_view text, std::string_view find, std::string_view replacement) {
    if (find.empty()) return std::string(text);
    const Characters t = Split(text);
    const Characters f = Split(find);
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;  // characters of `text` already in `out` or replaced
    for (std::size_t at = 0; at + f.lowered.size() <= t.lowered.size();) {
        if (std::equal(f.lowered.begin(), f.lowered.end(), t.lowered.begin() + static_cast<std::ptrdiff_t>(at))) {
            out.append(text.substr(t.starts[copied], t.starts[at] - t.starts[copied]));
            out.append(replacement);
            at += f.lowered.size();
            copied = at;
        } else {
            ++at;
        }
    }
    out.append(text.substr(t.starts[copied]));
    return out;
}

}  // namespace localisation
