#pragma once
// The per-user settings store: text values by application, section and key. Elsewhere than
// Windows an INI file per application in the user's configuration folder ($XDG_CONFIG_HOME,
// else ~/.config), replaced atomically on every change. Keys and sections are matched
// without regard to letter case and keep the case they were first written with.
#include <filesystem>
#include <string>

std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                       const std::string& defaultValue);
// Throws VbError (75, "Path/File access error") when the store cannot be written, and
// VbError (75, settings::kUnreadableStore) when it exists but cannot be read; the old values
// are then kept whole. Saves are serialised by a lock file beside the store.
void SaveSetting(const std::string& app, const std::string& section, const std::string& key, const std::string& value);

namespace settings {
// The text of the error SaveSetting raises for a store it cannot read.
inline constexpr const char* kUnreadableStore = "The settings file cannot be read";
// The file that holds an application's settings.
std::filesystem::path StoreFile(const std::string& app);
}  // namespace settings
