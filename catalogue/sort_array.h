#pragma once
#include <optional>
#include <string>
#include <vector>

// Sorts list[0..upperIndex] in place by character codes (letter case included: every
// upper-case Latin letter before every lower-case one). A non-recursive quicksort (median of
// three, heap sort for a range that splits badly too often, so O(n log n) for every input)
// whose stack of pending ranges never exceeds 32 entries. upperIndex defaults to the last index and is
// clamped to it; the order of equal texts among themselves is unspecified.
void SortArray(std::vector<std::string>& list, std::optional<int> upperIndex = std::nullopt, bool descending = false);
