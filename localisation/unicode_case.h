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
// Orders two texts as FoldUtf8 would, without folding the common ASCII start of them: a list
// of mostly Latin names sorts at the speed of a byte compare.
int CompareNoCaseUtf8(std::string_view a, std::string_view b);
// Every occurrence of `find` in `text` (letter case ignored, character by character, in every
// script) replaced by `replacement` as typed, from the left, without overlaps.
std::string ReplaceNoCaseUtf8(std::string_view text, std::string_view find, std::string_view replacement);

}  // namespace localisation
