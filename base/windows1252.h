#pragma once
// Conversion between the program's file text (Windows-1252 bytes) and UTF-8, for the edge
// where text enters or leaves the window system.
#include <string>
#include <string_view>

namespace cp1252 {

// Every byte maps to a character; the five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, so that any file
// round-trips unchanged.
std::string ToUtf8(std::string_view bytes);

// A character the code page cannot hold becomes "?"; a malformed UTF-8 sequence becomes "?".
std::string FromUtf8(std::string_view utf8);

// The Unicode code point of one Windows-1252 byte.
char32_t ToCodePoint(unsigned char byte);

}  // namespace cp1252
