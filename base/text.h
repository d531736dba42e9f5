#pragma once
// The program's small text helpers, in one place. Text is bytes: Windows-1252 where letter
// case is folded for the user's searches, plain ASCII where names of the system (registry
// hives, localisation keys, settings keys) are compared.
#include <string>
#include <string_view>
#include <vector>

namespace text {

// --- Windows-1252 letter case, as the "letter case ignored" searches need it: A-Z, the
// accented capitals of Latin-1 and the four capitals in 0x80..0x9F. Folding keeps the length.
unsigned char FoldCase(unsigned char c);
std::string FoldCase(std::string_view text);

// True when `needle` occurs in `haystack`, letter case ignored. An empty needle is found.
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

// Searches an already folded haystack for an already folded needle; the fast path for loops.
inline bool ContainsFolded(std::string_view foldedHaystack, std::string_view foldedNeedle) {
    return foldedHaystack.find(foldedNeedle) != std::string_view::npos;
}

// Compares two texts letter case ignored: negative, zero or positive like std::string::compare.
int CompareNoCase(std::string_view a, std::string_view b);

// Every occurrence of `find` (letter case ignored) replaced by `replacement` as typed, from
// the left, without overlaps. An empty `find` changes nothing.
std::string ReplaceNoCase(std::string_view text, std::string_view find, std::string_view replacement);

// --- ASCII letter case only, for names of the system.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);
bool StartsWithAsciiNoCase(std::string_view text, std::string_view prefix);

// --- Blanks and digits.
// The text without leading and trailing `blanks` (by default spaces only).
std::string TrimBlanks(std::string_view text, std::string_view blanks = " ");

// --- Control bytes. Names and addresses are one line of printable text: a tab, carriage return
// or line feed becomes a space, any other control byte (0x00..0x1F, 0x7F) is dropped.
void AppendWithoutControlBytes(std::string& out, std::string_view text);
std::string WithoutControlBytes(std::string_view text);

// The pieces of `line` between each `separator` (one piece for a line without it).
std::vector<std::string_view> Split(std::string_view line, char separator);

// The value of one hexadecimal digit (either letter case), or -1.
int HexDigit(char c);

// `text` with every byte that `keep` refuses written as %XX.
std::string PercentEncoded(std::string_view text, bool (*keep)(unsigned char));
// A query value or a path piece: all but A-Z a-z 0-9 - . _ ~ written as %XX (RFC 3986).
std::string UrlEncode(std::string_view text);

// Whether `s` is well-formed UTF-8 (as far as its lead and continuation bytes go).
bool IsValidUtf8(std::string_view s);

}  // namespace text
