#pragma once
// Text on its way into a designed file (the catalogue, the favourites, Data.htm), which holds
// only the system's single-byte code page: the nearest the code page can hold of UTF-8 text.
#include <string>
#include <string_view>

namespace localisation {

// `utf8` in the code page (cp1252::CodePage()): characters it holds are kept; one it lacks
// gives its plain letters when it has them ("ő" becomes "o" in Windows-1252, "ﬁ" becomes
// "fi"), else "?" ("Первый" becomes "??????" there, and stays "Первый" in Windows-1251).
std::string NearestInCodePage(std::string_view utf8);

// Whether the code page holds all of `utf8`: NearestInCodePage gives it back unchanged.
bool CodePageHolds(std::string_view utf8);

}  // namespace localisation
