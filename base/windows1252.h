#pragma once
// Conversion between the program's file text and UTF-8, for the edge where text enters or
// leaves the window system. The file text is in the system's single-byte code page: Windows-1252
// unless SetCodePage says otherwise (one of Windows-1250 to -1258, chosen at start from the
// system, or the user's setting), so a Russian operator's catalogue reads as Cyrillic.
#include <string>
#include <string_view>

namespace cp1252 {

// The code page of the conversions below; false (and nothing changes) for one not supported.
// Set once at start, before any text is converted.
bool SetCodePage(int codePage);
int CodePage();
// The Windows code page of a locale's language ("ru_RU.UTF-8" -> 1251; 1252 for the rest).
int CodePageForLocale(std::string_view locale);

// Every byte maps to a character; the bytes the code page leaves undefined (in Windows-1252
// 0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the code points of the same value, so that any file
// round-trips unchanged.
std::string ToUtf8(std::string_view bytes);

// A character the code page cannot hold becomes "?"; a malformed UTF-8 sequence becomes "?".
std::string FromUtf8(std::string_view utf8);

// The Unicode code point of one byte.
char32_t ToCodePoint(unsigned char byte);

}  // namespace cp1252
