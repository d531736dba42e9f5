#include "localisation/unicode_case.h"

#include <cstdlib>

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

}  // namespace localisation
