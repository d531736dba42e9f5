#pragma once
// The user's own folders, from the environment as the desktop sets it.
#include <filesystem>

namespace base {
// The user's configuration folder: $XDG_CONFIG_HOME, else ~/.config (%APPDATA% on Windows),
// else the temporary folder.
std::filesystem::path UserConfigFolder();
// The user's data folder: $XDG_DATA_HOME, else ~/.local/share (%LOCALAPPDATA% on Windows), else
// the temporary folder.
std::filesystem::path UserDataFolder();
}  // namespace base
