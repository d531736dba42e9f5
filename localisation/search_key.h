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
// The same appended to `out`, for many names in a row (a list's): ASCII is folded where it
// lies, only the other runs go through the full folding.
void AppendSearchKey(std::string& out, std::string_view utf8);

}  // namespace localisation
