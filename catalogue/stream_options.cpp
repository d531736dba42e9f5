#include "catalogue/stream_options.h"

#include <algorithm>
#include <cstdio>

#include "base/json_reader.h"
#include "base/text.h"

namespace stream_options {

namespace {

bool IsTokenChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F) return false;
    return std::string_view("()<>@,;:\\\"/[]?={}").find(c) == std::string_view::npos;
}

std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = text::HexDigit(text[i + 1]), low = text::HexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i] == '+' ? ' ' : text[i];
    }
    return out;
}

std::string PercentEncoded(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '%' || c == '&' || c == '=' || c == '+' || c == '|' || c == ' ') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// The JSON object of an #EXTHTTP line: its string members, each a header.
class Members : public json::Handler {
public:
    explicit Members(Headers& out) : m_out(out) {}
    void beginObject(int depth) override { m_ok = m_ok && depth == 0; }
    void endObject(int) override {}
    void beginArray(int) override { m_ok = false; }
    void endArray(int) override {}
    void key(int, std::string_view name) override { m_key = name; }
    void string(int depth, std::string_view text) override {
        if (depth == 1) Set(m_out, m_key, text);
    }
    void number(int, std::string_view) override {}
    void boolean(int, bool) override {}
    void null(int) override {}
    bool ok() const { return m_ok; }

private:
    Headers& m_out;
    std::string m_key;
    bool m_ok = true;
};

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

}  // namespace

bool Acceptable(const Header& header) {
    if (header.name.empty() || header.name.size() > 64 || header.value.size() > kMaxValueBytes) return false;
    if (!std::all_of(header.name.begin(), header.name.end(), IsTokenChar)) return false;
    // Values are text, UTF-8 as every other text of a playlist (a percent escape can make bytes
    // that are not).
    if (!text::IsValidUtf8(header.value)) return false;
    return std::none_of(header.value.begin(), header.value.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

bool Set(Headers& headers, std::string_view name, std::string_view value) {
    Header header{std::string(name), text::TrimBlanks(value, " \t")};
    if (!Acceptable(header)) return false;
    for (Header& h : headers)
        if (text::EqualsAsciiNoCase(h.name, name)) {
            h.value = std::move(header.value);
            return true;
        }
    if (headers.size() >= kMaxHeaders) return false;
    headers.push_back(std::move(header));
    return true;
}

std::string Value(const Headers& headers, std::string_view name) {
    for (const Header& h : headers)
        if (text::EqualsAsciiNoCase(h.name, name)) return h.value;
    return {};
}

std::string Write(const Headers& headers) {
    std::string out;
    for (const Header& h : headers) {
        if (!Acceptable(h)) continue;
        if (!out.empty()) out += '&';
        out += h.name + '=' + PercentEncoded(h.value);
    }
    return out;
}

Headers Read(std::string_view text) {
    Headers out;
    for (const std::string_view pair : text::Split(text, '&')) {
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) continue;
        Set(out, PercentDecoded(pair.substr(0, equals)), PercentDecoded(pair.substr(equals + 1)));
    }
    return out;
}

std::string SplitAddress(std::string_view address, Headers& headers) {
    const std::size_t bar = address.find('|');
    if (bar == std::string_view::npos) return std::string(address);
    const std::string_view options = address.substr(bar + 1);
    // Only the form it is: "Name=value" pairs after the bar.
    std::string kept = text::TrimBlanks(address.substr(0, bar), " \t");
    if (options.find('=') == std::string_view::npos || kept.empty()) return std::string(address);
    for (const Header& h : Read(options)) Set(headers, h.name, h.value);
    return kept;
}

bool ReadPlaylistLine(std::string_view line, Headers& headers) {
    if (text::StartsWithAsciiNoCase(line, "#EXTVLCOPT:")) {
        const std::string option = text::TrimBlanks(line.substr(11), " \t");
        const std::size_t equals = option.find('=');
        if (equals == std::string_view::npos) return false;
        const std::string key = text::AsciiLower(text::TrimBlanks(std::string_view(option).substr(0, equals), " \t"));
        const std::string_view value = std::string_view(option).substr(equals + 1);
        for (const auto& [vlc, header] :
             {std::pair{"http-user-agent", "User-Agent"}, std::pair{"http-referrer", "Referer"},
              std::pair{"http-referer", "Referer"}, std::pair{"http-origin", "Origin"}})
            if (key == vlc) return Set(headers, header, value);
        return false;
    }
    if (text::StartsWithAsciiNoCase(line, "#EXTHTTP:")) {
        Headers read;
        Members members(read);
        if (!json::Read(line.substr(9), members).ok || !members.ok()) return false;
        for (const Header& h : read) Set(headers, h.name, h.value);
        return true;
    }
    return false;
}

std::string PlaylistLines(const Headers& headers) {
    std::string out, others;
    for (const Header& h : headers) {
        if (!Acceptable(h)) continue;
        if (text::EqualsAsciiNoCase(h.name, "User-Agent"))
            out += "#EXTVLCOPT:http-user-agent=" + h.value + "\n";
        else if (text::EqualsAsciiNoCase(h.name, "Referer"))
            out += "#EXTVLCOPT:http-referrer=" + h.value + "\n";
        else
            others += (others.empty() ? "" : ",") + JsonString(h.name) + ":" + JsonString(h.value);
    }
    if (!others.empty()) out += "#EXTHTTP:{" + others + "}\n";
    return out;
}

}  // namespace stream_options
