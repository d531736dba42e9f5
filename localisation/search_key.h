#pragma once
// The key a name is found by when the user types a part of it: letter case and accents do
// not count ("zur" finds "Zürich", "CAFE" finds "Café", "strasse" finds "Straße"). Both the
// names and what is typed go through the same folding, then a plain substring search.
#include <string>
#include <string_view>

namespace localisation {

// UTF-8 text folded for searching: case folded, compatibility forms decomposed, accents and
// other combining marks dropped. Malformed UTF-8 falls back to the Windows-1252 byte rules.
std::string SearchKey(std::string_view utf8);
// The same for the catalogue's Windows-1252 bytes (a row's name), through a table made once.
std::string SearchKeyCp1252(std::string_view bytes);
void AppendSearchKeyCp1252(std::string& out, std::string_view bytes);

}  // namespace localisation
