// libFuzzer target: any bytes through the Windows-1252 conversions, both ways.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/windows1252.h"
#include "fuzz_check.h"

namespace {
// Well-formed UTF-8: no stray continuation bytes, no truncated or overlong sequences, no
// surrogates, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        if (n == 2 && c < 0xC2) return false;
        const auto second = n > 1 ? static_cast<unsigned char>(s[i + 1]) : 0;
        if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second >= 0xA0)) return false;  // overlong, surrogate
        if ((c == 0xF0 && second < 0x90) || (c == 0xF4 && second >= 0x90) || c > 0xF4) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        i += n;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Any file text reaches the window and comes back unchanged.
    const std::string utf8 = cp1252::ToUtf8(bytes);
    FUZZ_CHECK(IsUtf8(utf8));
    FUZZ_CHECK(cp1252::FromUtf8(utf8) == bytes);
    // Any typed or pasted text (even malformed) becomes file text without crashing; well-formed
    // text the code page holds comes back exactly.
    const std::string back = cp1252::FromUtf8(bytes);
    if (IsUtf8(bytes) && back.find('?') == std::string::npos) FUZZ_CHECK(cp1252::ToUtf8(back) == bytes);
    return 0;
}
