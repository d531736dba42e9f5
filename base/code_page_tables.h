#pragma once
// The Windows single-byte code pages the program's files may be in.
#include <array>

namespace codepage {

inline constexpr int kFirst = 1250, kLast = 1258;

// Bytes 0x80-0xFF of `codePage` (1250-1258) as Unicode; nullptr for another code page.
const std::array<char16_t, 128>* HighHalf(int codePage);

}  // namespace codepage
