#include "localisation/code_page_text.h"

#include <algorithm>
#include <cstdlib>

#include "base/windows1252.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <utf8proc.h>
#endif

namespace localisation {
namespace {

// One character's plain letters: compatibility forms spelt out, accents and other marks
// dropped, letter case kept. "" when the system cannot tell.
std::string PlainLetters(std::string_view character) {
#ifdef _WIN32
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, character.data(),
                                      static_cast<int>(character.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, character.data(), static_cast<int>(character.size()), wide.data(), n);
    auto fold = [](DWORD flags, const std::wstring& in) {
        const int m = FoldStringW(flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
        if (m <= 0) return in;
        std::wstring out(static_cast<std::size_t>(m), L'\0');
        if (FoldStringW(flags, in.data(), static_cast<int>(in.size()), out.data(), m) <= 0) return in;
        return out;
    };
    std::wstring plain = fold(MAP_COMPOSITE, fold(MAP_FOLDCZONE | MAP_EXPAND_LIGATURES, wide));
    plain.erase(std::remove_if(plain.begin(), plain.end(), [](wchar_t c) { return c >= 0x0300 && c <= 0x036F; }),
                plain.end());
    if (plain.empty()) return {};
    const int k =
        WideCharToMultiByte(CP_UTF8, 0, plain.data(), static_cast<int>(plain.size()), nullptr, 0, nullptr, nullptr);
    if (k <= 0) return {};
    std::string out(static_cast<std::size_t>(k), '\0');
    WideCharToMultiByte(CP_UTF8, 0, plain.data(), static_cast<int>(plain.size()), out.data(), k, nullptr, nullptr);
    return out;
#else
    utf8proc_uint8_t* mapped = nullptr;
    const auto options =
        static_cast<utf8proc_option_t>(UTF8PROC_COMPAT | UTF8PROC_DECOMPOSE | UTF8PROC_STRIPMARK | UTF8PROC_IGNORE);
    const utf8proc_ssize_t n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(character.data()),
                                            static_cast<utf8proc_ssize_t>(character.size()), &mapped, options);
    if (n < 0) return {};
    std::string out(reinterpret_cast<const char*>(mapped), static_cast<std::size_t>(n));
    std::free(mapped);
    return out;
#endif
}

// The length of the UTF-8 sequence that starts with `lead` (1 for a byte that starts none).
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

}  // namespace

bool CodePageHolds(std::string_view utf8) {
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return true;  // every code page holds ASCII
    const std::string held = cp1252::FromUtf8(utf8);
    return cp1252::ToUtf8(held) == utf8;
}

std::string NearestInCodePage(std::string_view utf8) {
    std::string direct = cp1252::FromUtf8(utf8);
    if (std::count(direct.begin(), direct.end(), '?') == std::count(utf8.begin(), utf8.end(), '?')) return direct;
    std::string out;
    out.reserve(direct.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = std::min(SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const std::string_view character = utf8.substr(i, length);
        i += length;
        std::string held = cp1252::FromUtf8(character);
        if (held != "?" || character == "?") {
            out += held;
            continue;
        }
        const std::string plain = PlainLetters(character);
        held = plain.empty() || plain == character ? std::string() : cp1252::FromUtf8(plain);
        out += held.empty() || held.find('?') != std::string::npos ? std::string("?") : held;
    }
    return out;
}

}  // namespace localisation
