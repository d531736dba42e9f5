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
// The program folder joined with a file name: where Data.txt, Favorites.txt and the rest live.
std::filesystem::path ProgramFile(const std::string& fileName);
}  // namespace App
