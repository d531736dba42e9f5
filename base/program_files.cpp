#include "base/program_files.h"

#include <system_error>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "base/app.h"
#include "base/file_utils.h"
#include "base/paths.h"

namespace program_files {
namespace {

std::optional<bool> g_writableForTests;

}  // namespace

std::filesystem::path UserDataFolder() {
    const std::string& product = App::Info().productName;
    return base::UserDataFolder() / (product.empty() ? "Marlu Viewer" : product);
}

bool ProgramFolderWritable() {
    if (g_writableForTests) return *g_writableForTests;
    const std::filesystem::path folder = App::Info().path.empty() ? std::filesystem::path(".") : App::Info().path;
#ifdef _WIN32
    // Ask the file system itself: make and remove a file of our own.
    const std::filesystem::path probe = folder / ".write-test.tmp";
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
#else
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
#endif
}

std::filesystem::path ReadPath(const std::string& name, Kind kind) {
    std::filesystem::path shipped = App::ProgramFile(name);
    if (ProgramFolderWritable()) return shipped;
    std::filesystem::path own = xfileExists::ResolveCase(UserDataFolder() / name);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(own, ec)) return shipped;
    if (kind == Kind::UsersOwn) return own;
    const auto ownTime = std::filesystem::last_write_time(own, ec);
    if (ec) return own;
    const auto shippedTime = std::filesystem::last_write_time(shipped, ec);
    if (!ec && shippedTime > ownTime) return shipped;  // a newer file came with the program
    return own;
}

std::filesystem::path WritePath(const std::string& name) {
    if (ProgramFolderWritable()) return App::ProgramFile(name);
    const std::filesystem::path folder = UserDataFolder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return xfileExists::ResolveCase(folder / name);
}

void SetProgramFolderWritableForTests(std::optional<bool> writable) { g_writableForTests = writable; }

}  // namespace program_files
