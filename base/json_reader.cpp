#include "base/json_reader.h"

#include <charconv>
#include <cstdint>

namespace json {

namespace {

class Reader {
public:
    Reader(std::string_view text, Handler& handler) : m_text(text), m_handler(handler) {}

    Result run() {
        blanks();
        if (!value(0)) return fault();
        blanks();
        if (m_at != m_text.size()) return fail("text after the value"), fault();
        return Result{true, 0, {}};
    }

private:
    Result fault() const { return Result{false, m_faultAt, m_problem}; }
    bool fail(const char* problem) {
        if (m_problem.empty()) {
            m_problem = problem;
            m_faultAt = m_at;
        }
        return false;
    }
    bool atEnd() const { return m_at >= m_text.size(); }
    char peek() const { return m_text[m_at]; }
    void blanks() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) ++m_at;
    }
    bool literal(std::string_view word) {
        if (m_text.substr(m_at, word.size()) != word) return fail("an unknown word");
        m_at += word.size();
        return true;
    }

    bool value(int depth) {
        if (atEnd()) return fail("the text ends where a value was expected");
        switch (peek()) {
            case '{': return object(depth);
            case '[': return array(depth);
            case '"': {
                if (!string()) return false;
                m_handler.string(depth, m_string);
                return true;
            }
            case 't': return literal("true") && (m_handler.boolean(depth, true), true);
            case 'f': return literal("false") && (m_handler.boolean(depth, false), true);
            case 'n': return literal("null") && (m_handler.null(depth), true);
            default: return number(depth);
        }
    }

    bool object(int depth) {
        if (depth >= kMaxDepth) return fail("nested too deeply");
        ++m_at;  // {
        m_handler.beginObject(depth);
        blanks();
        if (!atEnd() && peek() == '}') {
            ++m_at;
            m_handler.endObject(depth);
            return true;
        }
        for (;;) {
            blanks();
            if (atEnd() || peek() != '"') return fail("a member name was expected");
            if (!string()) return false;
            m_handler.key(depth + 1, m_string);
            blanks();
            if (atEnd() || peek() != ':') return fail("\":\" was expected");
            ++m_at;
            blanks();
            if (!value(depth + 1)) return false;
            blanks();
            if (atEnd()) return fail("the text ends inside an object");
            if (peek() == ',') {
                ++m_at;
                continue;
            }
            if (peek() != '}') return fail("\",\" or \"}\" was expected");
            ++m_at;
            m_handler.endObject(depth);
            return true;
        }
    }

    bool array(int depth) {
        if (depth >= kMaxDepth) return fail("nested too deeply");
        ++m_at;  // [
        m_handler.beginArray(depth);
        blanks();
        if (!atEnd() && peek() == ']') {
            ++m_at;
            m_handler.endArray(depth);
            return true;
        }
        for (;;) {
            blanks();
            if (!value(depth + 1)) return false;
            blanks();
            if (atEnd()) return fail("the text ends inside an array");
            if (peek() == ',') {
                ++m_at;
                continue;
            }
            if (peek() != ']') return fail("\",\" or \"]\" was expected");
            ++m_at;
            m_handler.endArray(depth);
            return true;
        }
    }

    bool number(int depth) {
        const std::size_t start = m_at;
        auto digits = [&] {
            const std::size_t from = m_at;
            while (!atEnd() && peek() >= '0' && peek() <= '9') ++m_at;
            return m_at > from;
        };
        if (!atEnd() && peek() == '-') ++m_at;
        if (atEnd()) return fail("a value was expected");
        if (peek() == '0')
            ++m_at;
        else if (!digits())
            return fail("a value was expected");
        if (!atEnd() && peek() == '.') {
            ++m_at;
            if (!digits()) return fail("digits were expected after \".\"");
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            ++m_at;
            if (!atEnd() && (peek() == '+' || peek() == '-')) ++m_at;
            if (!digits()) return fail("digits were expected in the exponent");
        }
        m_handler.number(depth, m_text.substr(start, m_at - start));
        return true;
    }

    bool hex4(std::uint32_t& out) {
        if (m_text.size() - m_at < 4) return fail("a \\u escape is cut short");
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_at++];
            out <<= 4;
            if (c >= '0' && c <= '9')
                out |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                out |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                out |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                return fail("a \\u escape holds a non-hex digit");
        }
        return true;
    }

    void append(std::uint32_t cp) {
        if (cp < 0x80) {
            m_string += static_cast<char>(cp);
        } else if (cp < 0x800) {
            m_string += static_cast<char>(0xC0 | (cp >> 6));
            m_string += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            m_string += static_cast<char>(0xE0 | (cp >> 12));
            m_string += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            m_string += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            m_string += static_cast<char>(0xF0 | (cp >> 18));
            m_string += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            m_string += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            m_string += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool escape() {
        ++m_at;  // the backslash
        if (atEnd()) return fail("the text ends inside a string");
        const char c = m_text[m_at++];
        switch (c) {
            case '"': m_string += '"'; return true;
            case '\\': m_string += '\\'; return true;
            case '/': m_string += '/'; return true;
            case 'b': m_string += '\b'; return true;
            case 'f': m_string += '\f'; return true;
            case 'n': m_string += '\n'; return true;
            case 'r': m_string += '\r'; return true;
            case 't': m_string += '\t'; return true;
            case 'u': break;
            default: --m_at; return fail("an unknown escape");
        }
        std::uint32_t cp = 0;
        if (!hex4(cp)) return false;
        if (cp >= 0xDC00 && cp <= 0xDFFF) return fail("a lone low surrogate");
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (m_text.substr(m_at, 2) != "\\u") return fail("a high surrogate without its pair");
            m_at += 2;
            std::uint32_t low = 0;
            if (!hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return fail("a high surrogate without its pair");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        append(cp);
        return true;
    }

    // One UTF-8 character copied as it is, checked: no overlong form, no surrogate, nothing
    // beyond U+10FFFF.
    bool utf8() {
        const auto b0 = static_cast<unsigned char>(peek());
        int extra = 0;
        std::uint32_t cp = 0, min = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF)
            extra = 1, cp = b0 & 0x1Fu, min = 0x80;
        else if (b0 >= 0xE0 && b0 <= 0xEF)
            extra = 2, cp = b0 & 0x0Fu, min = 0x800;
        else if (b0 >= 0xF0 && b0 <= 0xF4)
            extra = 3, cp = b0 & 0x07u, min = 0x10000;
        else
            return fail("a string is not valid UTF-8");
        if (m_text.size() - m_at <= static_cast<std::size_t>(extra)) return fail("a string is not valid UTF-8");
        for (int i = 1; i <= extra; ++i) {
            const auto b = static_cast<unsigned char>(m_text[m_at + static_cast<std::size_t>(i)]);
            if ((b & 0xC0u) != 0x80u) return fail("a string is not valid UTF-8");
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return fail("a string is not valid UTF-8");
        m_string.append(m_text.substr(m_at, static_cast<std::size_t>(extra) + 1));
        m_at += static_cast<std::size_t>(extra) + 1;
        return true;
    }

    bool string() {
        ++m_at;  // the opening quote
        m_string.clear();
        for (;;) {
            // A run of plain characters at once.
            const std::size_t from = m_at;
            while (!atEnd()) {
                const auto c = static_cast<unsigned char>(peek());
                if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
                ++m_at;
            }
            m_string.append(m_text.substr(from, m_at - from));
            if (atEnd()) return fail("the text ends inside a string");
            const auto c = static_cast<unsigned char>(peek());
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (c == '\\') {
                if (!escape()) return false;
            } else if (c < 0x20) {
                return fail("a control character inside a string");
            } else if (!utf8()) {
                return false;
            }
        }
    }

    std::string_view m_text;
    Handler& m_handler;
    std::size_t m_at = 0;
    std::string m_string;
    std::string m_problem;
    std::size_t m_faultAt = 0;
};

}  // namespace

Result Read(std::string_view text, Handler& handler) { return Reader(text, handler).run(); }

long long ToInteger(std::string_view number, long long fallback) {
    long long value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) return fallback;
    return value;
}

}  // namespace json
