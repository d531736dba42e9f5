#pragma once
// The application object: program folder, version information and the previous-instance
// flag. The executable configures it once at start; tests configure it with a temporary
// program folder.
#include <filesystem>
#include <string>

struct AppInfo {
    std::filesystem::path path;  // program folder
    std::string productName, companyName, comments;
    int major = 0, minor = 0, revision = 0;
    bool prevInstance = false;
};

namespace App {
void Configure(AppInfo info);
const AppInfo& Info();
// The version record this build was made with (path empty, prevInstance false).
AppInfo BuildInfo();
// The folder of the running program's own executable file.
std::filesystem::path ExecutableFolder();
#ifdef _WIN32
// The version record read from the executable's VERSIONINFO resource (path empty).
AppInfo ModuleVersionInfo();
#endif
// The program folder joined with a file name: where Data.txt, Favorites.txt and the rest live.
std::filesystem::path ProgramFile(const std::string& fileName);
}  // namespace App
