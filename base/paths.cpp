#include "base/paths.h"

#include <cstdlib>

namespace base {

std::filesystem::path UserConfigFolder() {
#ifdef _WIN32
    if (const char* appData = std::getenv("APPDATA"); appData && *appData) return appData;
#else
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return xdg;
    if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".config";
#endif
    return std::filesystem::temp_directory_path();
}

std::filesystem::path UserDataFolder() {
#ifdef _WIN32
    if (const char* local = std::getenv("LOCALAPPDATA"); local && *local) return local;
#else
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return xdg;
    if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".local" / "share";
#endif
    return std::filesystem::temp_directory_path();
}

}  // namespace base
