#pragma once
// The localisation file format: language groups found by plain text search, their names and
// their translation items, one item per line ("<KEY>text</KEY>"). Every search ignores letter
// case; only CR LF separates lines.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace localisation {

struct LanguageGroup {
    std::string name;                  // exactly as written between <LANGUAGE_NAME> and its end tag
    std::optional<std::string> items;  // the text inside <TRANSLATION_ITEMS>, when complete
};

// Walks the groups in file order; `visit` returns false to stop. A group without its closing
// tag or without a complete name ends the scan there.
void ScanGroups(std::string_view text, const std::function<bool(const LanguageGroup&)>& visit);

// The names of all groups, in file order.
std::vector<std::string> GroupNames(std::string_view text);

// The items of the first group whose name equals `language` (letter case ignored), split at
// CR LF; nothing when no such group has a complete items block.
std::optional<std::vector<std::string>> FindItems(std::string_view text, std::string_view language);

// The key of one item line, or nothing for a line that holds no item (empty, or whose part
// before the first ">" is two characters or fewer).
std::optional<std::string> LineKey(std::string_view line);

// The text of `key` in the item lines: the first line whose key matches; "" without one, or
// when that line lacks its closing tag.
std::string LookUp(const std::vector<std::string>& lines, std::string_view key);

}  // namespace localisation
