#pragma once
// The user's configuration folder: $XDG_CONFIG_HOME, else ~/.config (%APPDATA% on Windows),
// else the temporary folder.
#include <filesystem>

namespace services {
std::filesystem::path UserConfigFolder();
}
