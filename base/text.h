#pragma once
// Letter-case folding for Windows-1252 text, as the program's "letter case ignored" searches
// need it: A-Z, the accented capitals of Latin-1 and the four capitals in 0x80..0x9F.
#include <string>
#include <string_view>

namespace text {

unsigned char FoldCase(unsigned char c);
std::string FoldCase(std::string_view text);

// True when `needle` occurs in `haystack`, letter case ignored. An empty needle is found.
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

// Searches an already folded haystack for an already folded needle; the fast path for loops.
inline bool ContainsFolded(std::string_view foldedHaystack, std::string_view foldedNeedle) {
    return foldedHaystack.find(foldedNeedle) != std::string_view::npos;
}

}  // namespace text

namespace text {

// Compares two texts letter case ignored: negative, zero or positive like std::string::compare.
int CompareNoCase(std::string_view a, std::string_view b);

}  // namespace text

namespace text {

// ASCII letters only, as registry hive names and localisation keys are written.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

// The text without leading and trailing blanks (spaces only).
std::string TrimBlanks(std::string_view text);

}  // namespace text
