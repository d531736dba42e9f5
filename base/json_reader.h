#pragma once
// A strict JSON reader (RFC 8259) that hands what it reads to a handler as it goes, building no
// tree: a web service's answer is walked once and only the wanted fields are kept. Any bytes are
// safe input: nesting is bounded, strings must be valid UTF-8 and come out as UTF-8 (escapes,
// surrogate pairs included, decoded), and the first fault ends the reading with its offset.
#include <cstddef>
#include <string>
#include <string_view>

namespace json {

inline constexpr int kMaxDepth = 64;

// What the reader found, in document order. `depth` is the nesting of the value itself: the
// document's top value is at depth 0, the members of a top-level object at 1, and so on.
class Handler {
public:
    virtual ~Handler() = default;
    virtual void beginObject(int depth) = 0;
    virtual void endObject(int depth) = 0;
    virtual void beginArray(int depth) = 0;
    virtual void endArray(int depth) = 0;
    virtual void key(int depth, std::string_view name) = 0;  // the next value's member name
    virtual void string(int depth, std::string_view text) = 0;
    // A number as written (valid JSON syntax), so the handler chooses its type.
    virtual void number(int depth, std::string_view text) = 0;
    virtual void boolean(int depth, bool value) = 0;
    virtual void null(int depth) = 0;
};

struct Result {
    bool ok = false;
    std::size_t offset = 0;  // where the fault is, when not ok
    std::string problem;     // in words, when not ok
};

// Reads one JSON value (blanks around it allowed) and nothing after it.
Result Read(std::string_view text, Handler& handler);

// A number's text as a whole number; `fallback` for one with a fraction or out of range.
long long ToInteger(std::string_view number, long long fallback = 0);

}  // namespace json
