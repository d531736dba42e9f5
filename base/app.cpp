#include "base/app.h"

#include "base/file_utils.h"

#include "version_info.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace App {
namespace {
AppInfo& Current() {
    static AppInfo info = BuildInfo();
    return info;
}
}  // namespace

AppInfo BuildInfo() {
    AppInfo info;
    info.productName = version_info::kProductName;
    info.companyName = version_info::kCompanyName;
    info.comments = version_info::kComments;
    info.major = version_info::kMajor;
    info.minor = version_info::kMinor;
    info.revision = version_info::kRevision;
    return info;
}

void Configure(AppInfo info) { Current() = std::move(info); }
const AppInfo& Info() { return Current(); }

std::filesystem::path ExecutableFolder() {
#ifdef _WIN32
    char buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return std::filesystem::path(std::string(buffer, n)).parent_path();
#else
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
#endif
}

#ifdef _WIN32
AppInfo ModuleVersionInfo() {
    AppInfo info;
    char file[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameA(nullptr, file, sizeof file);
    file[n < sizeof file ? n : sizeof file - 1] = '\0';
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(file, &handle);
    if (size == 0) return info;
    std::string data(size, '\0');
    if (!GetFileVersionInfoA(file, 0, size, data.data())) return info;
    auto text = [&](const char* name) {
        char* value = nullptr;
        UINT length = 0;
        const std::string query = std::string("\\StringFileInfo\\040904E4\\") + name;
        if (VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value)
            return std::string(value);
        return std::string();
    };
    info.productName = text("ProductName");
    info.companyName = text("CompanyName");
    info.comments = text("Comments");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        info.major = static_cast<int>(HIWORD(fixed->dwFileVersionMS));
        info.minor = static_cast<int>(LOWORD(fixed->dwFileVersionMS));
        info.revision = static_cast<int>(LOWORD(fixed->dwFileVersionLS));
    }
    return info;
}
#endif

std::filesystem::path ProgramFile(const std::string& fileName) {
    return xfileExists::ResolveCase(Current().path / fileName);
}

}  // namespace App
