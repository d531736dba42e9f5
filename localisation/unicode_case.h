#pragma once
// Letter case in the localisation file's UTF-8 text by Unicode's rules ("ÜBER" and "über",
// "FRANÇAIS" and "Français" are the same words), where the catalogue keeps its Windows-1252
// byte rules (base/text.h). Text that is not valid UTF-8 falls back to those byte rules.
#include <string>
#include <string_view>

namespace localisation {

// The text case-folded, for comparing without regard to letter case.
std::string FoldUtf8(std::string_view text);
// The text with its first letter raised ("über" -> "Über"); the rest as it is.
std::string RaiseFirstUtf8(std::string_view text);

}  // namespace localisation
