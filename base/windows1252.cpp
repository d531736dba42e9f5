#include "base/windows1252.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <initializer_list>
#include <mutex>
#include <utility>

#include "base/code_page_tables.h"

namespace cp1252 {
namespace {

std::atomic<int> g_codePage{1252};

// The active code page's high half, and its characters sorted for the way back.
struct Table {
    const std::array<char16_t, 128>* high = nullptr;
    std::array<std::pair<char16_t, unsigned char>, 128> back{};
};

const Table& TableOf(int codePage) {
    static std::array<Table, codepage::kLast - codepage::kFirst + 1> tables;
    static std::array<std::once_flag, codepage::kLast - codepage::kFirst + 1> made;
    const auto at = static_cast<std::size_t>(codePage - codepage::kFirst);
    std::call_once(made[at], [&] {
        Table& t = tables[at];
        t.high = codepage::HighHalf(codePage);
        for (std::size_t i = 0; i < 128; ++i) t.back[i] = {(*t.high)[i], static_cast<unsigned char>(0x80 + i)};
        std::sort(t.back.begin(), t.back.end());
    });
    return tables[at];
}

const Table& Active() { return TableOf(g_codePage.load(std::memory_order_relaxed)); }

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char ByteFor(const Table& table, char32_t cp) {
    if (cp < 0x80) return static_cast<char>(cp);
    if (cp > 0xFFFF) return '?';
    const auto c = static_cast<char16_t>(cp);
    const auto found = std::lower_bound(table.back.begin(), table.back.end(), std::pair<char16_t, unsigned char>{c, 0});
    return found != table.back.end() && found->first == c ? static_cast<char>(found->second) : '?';
}

}  // namespace

bool SetCodePage(int codePage) {
    if (!codepage::HighHalf(codePage)) return false;
    g_codePage = codePage;
    return true;
}

int CodePage() { return g_codePage; }

int CodePageForLocale(std::string_view locale) {
    // "ru_RU.UTF-8", "sr_RS@latin", "pt-BR": the language, and for some the country.
    const std::string_view language = locale.substr(0, locale.find_first_of("_-.@"));
    const std::size_t country = locale.find_first_of("_-");
    const std::string_view region =
        country == std::string_view::npos ? std::string_view() : locale.substr(country + 1, 2);
    const auto is = [&](std::initializer_list<std::string_view> names) {
        return std::find(names.begin(), names.end(), language) != names.end();
    };
    if (is({"cs", "sk", "pl", "hu", "sl", "hr", "ro", "sq", "bs"})) return 1250;
    if (language == "sr") return locale.find("@latin") != std::string_view::npos ? 1250 : 1251;
    if (is({"ru", "uk", "be", "bg", "mk", "kk", "ky", "tt", "mn"})) return 1251;
    if (is({"el"})) return 1253;
    if (is({"tr", "az"})) return region == "IR" ? 1256 : 1254;
    if (is({"he", "yi"})) return 1255;
    if (is({"ar", "fa", "ur"})) return 1256;
    if (is({"et", "lv", "lt"})) return 1257;
    if (is({"vi"})) return 1258;
    return 1252;
}

char32_t ToCodePoint(unsigned char byte) {
    if (byte < 0x80) return byte;
    return (*Active().high)[byte - 0x80u];
}

std::string ToUtf8(std::string_view bytes) {
    const Table& table = Active();
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        AppendUtf8(out, b < 0x80 ? char32_t{b} : char32_t{(*table.high)[b - 0x80u]});
    }
    return out;
}

std::string FromUtf8(std::string_view utf8) {
    const Table& table = Active();
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t cp = 0;
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            cp = b & 0x07;
        } else {
            out += '?';
            ++i;
            continue;
        }
        if (i + static_cast<std::size_t>(extra) >= n) {  // sequence cut off at the end
            out += '?';
            break;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        out += ByteFor(table, cp);
    }
    return out;
}

}  // namespace cp1252
