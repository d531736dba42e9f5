#pragma once
// The user's configuration folder: $XDG_CONFIG_HOME, else ~/.config (%APPDATA% on Windows),
// else the temporary folder.
#include <filesystem>

namespace base {
std::filesystem::path UserConfigFolder();
}
