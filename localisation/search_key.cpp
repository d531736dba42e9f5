#include "localisation/search_key.h"

#include <cstdlib>

#include "base/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <utf8proc.h>
#endif

namespace localisation {

#ifdef _WIN32

namespace {
// One FoldStringW pass; the text unchanged when Windows refuses it.
std::wstring Fold(DWORD flags, const std::wstring& in) {
    const int m = FoldStringW(flags, in.data(), static_cast<int>(in.size()), nullptr, 0);
    if (m <= 0) return in;
    std::wstring out(static_cast<std::size_t>(m), L'\0');
    if (FoldStringW(flags, in.data(), static_cast<int>(in.size()), out.data(), m) <= 0) return in;
    return out;
}
}  // namespace

std::string SearchKey(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return text::FoldCase(utf8);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    // Ligatures and compatibility forms into their plain letters, then composite characters into
    // base and marks: two passes, as Windows refuses ligature expansion together with MAP_COMPOSITE.
    const std::wstring folded = Fold(MAP_COMPOSITE, Fold(MAP_FOLDCZONE | MAP_EXPAND_LIGATURES, wide));
    std::wstring kept;
    kept.reserve(folded.size());
    for (wchar_t c : folded)
        if (!(c >= 0x0300 && c <= 0x036F)) kept.push_back(c);  // combining marks
    if (!kept.empty()) CharLowerBuffW(kept.data(), static_cast<DWORD>(kept.size()));
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (kept[i] == L'\x00DF') kept.replace(i, 1, L"ss");  // folded as Unicode folds it
    std::string out;
    const int k =
        WideCharToMultiByte(CP_UTF8, 0, kept.data(), static_cast<int>(kept.size()), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(k > 0 ? k : 0));
    if (k > 0)
        WideCharToMultiByte(CP_UTF8, 0, kept.data(), static_cast<int>(kept.size()), out.data(), k, nullptr, nullptr);
    return out;
}

#else

std::string SearchKey(std::string_view utf8) {
    if (utf8.empty()) return {};
    utf8proc_uint8_t* mapped = nullptr;
    const auto options = static_cast<utf8proc_option_t>(UTF8PROC_CASEFOLD | UTF8PROC_COMPAT | UTF8PROC_DECOMPOSE |
                                                        UTF8PROC_STRIPMARK | UTF8PROC_IGNORE);
    const utf8proc_ssize_t n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data()),
                                            static_cast<utf8proc_ssize_t>(utf8.size()), &mapped, options);
    if (n < 0) return text::FoldCase(utf8);
    std::string out(reinterpret_cast<const char*>(mapped), static_cast<std::size_t>(n));
    std::free(mapped);
    return out;
}

#endif

void AppendSearchKey(std::string& out, std::string_view utf8) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b));
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) >= 0x80) ++end;
        out += SearchKey(utf8.substr(i, end - i));
        i = end;
    }
}

}  // namespace localisation
