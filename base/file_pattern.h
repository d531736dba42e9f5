#pragma once
// File-name patterns of the file list: "*.mp3;*.wav", "*" and "?" wildcards, letter case ignored.
#include <string_view>

namespace file_pattern {

bool Matches(std::string_view name, std::string_view patternList);

}  // namespace file_pattern
