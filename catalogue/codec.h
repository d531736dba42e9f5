#pragma once
// The catalogue line codec. Every line of Data.txt, Favorites.txt and Data.htm is stored
// shifted by a fixed key, one byte at a time, with a wrap of 255 (not 256).
#include <string>
#include <string_view>

namespace modGenDec {

// The key. With a key from 2 to 9 (but not 4), no text byte (TAB or 32..255) encodes to a
// carriage return or a line feed, so every encoded line survives a save and a reload.
inline constexpr int kKey = 7;

// The longest line either routine accepts; one byte more throws std::overflow_error, as the
// 16-bit position counter of the original routine overflowed there.
inline constexpr std::size_t kMaxLineLength = 32766;

// Both routines are pure and total: every byte 0..255 is shifted, none is refused. Two control
// bytes (0x06, 0x03) come out as a carriage return and a line feed; a stored line holding the first
// would break in two on the next read, so the writers clean control bytes from fields before
// they code a line (catalogue_writer.h).
std::string EncodeLine(std::string_view line);  // throws std::overflow_error at 32,767 or more
std::string DecodeLine(std::string_view line);  // throws std::overflow_error at 32,767 or more

// In-place variants for bulk readers and writers: no allocation. Same limit, same error.
void DecodeInPlace(char* data, std::size_t size);
void EncodeInPlace(char* data, std::size_t size);

}  // namespace modGenDec
