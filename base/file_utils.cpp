#include "base/file_utils.h"

#include <filesystem>
#ifdef _WIN32
#include <windows.h>
#endif
#include <system_error>

#include "base/text.h"

namespace xfileExists {
namespace {

#ifndef _WIN32
bool IsFile(const std::filesystem::directory_entry& entry) {
    std::error_code ec;
    return entry.is_regular_file(ec);
}
#endif

}  // namespace

std::string FileNamePart(const std::string& path) {
    // "\" separates folders on Windows; "/" does on every platform the program runs on.
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

#ifdef _WIN32
bool FileExists(const std::string& path) {
    // The file system's own search: the first entry of that name that is no folder or label.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | 0x8 /* volume label */)) return false;
    return text::FoldCase(found.cFileName) == text::FoldCase(FileNamePart(path));
}
std::filesystem::path ResolveCase(const std::filesystem::path& path) { return path; }  // the system ignores case
#else
std::filesystem::path ResolveCase(const std::filesystem::path& path) {
    try {
        std::error_code ec;
        if (std::filesystem::exists(path, ec) || !path.has_filename()) return path;
        // Not there under that exact name: look for the same name in another letter case. A
        // file wins over a folder of that name.
        std::filesystem::path folder = path.parent_path();
        const std::string wanted = text::FoldCase(path.filename().string());
        std::filesystem::path found;
        for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
            if (text::FoldCase(entry.path().filename().string()) != wanted) continue;
            if (IsFile(entry)) return folder / entry.path().filename();
            if (found.empty()) found = folder / entry.path().filename();
        }
        return found.empty() ? path : found;
    } catch (...) {
        return path;
    }
}

bool FileExists(const std::string& path) {
    try {
        if (FileNamePart(path).empty()) return false;
        std::error_code ec;
        const std::filesystem::path requested(path);
        if (std::filesystem::is_regular_file(requested, ec)) return true;
        // Not there under that exact name: the same name in another letter case counts.
        const std::filesystem::path folder = requested.parent_path().empty() ? "." : requested.parent_path();
        const std::string wanted = text::FoldCase(FileNamePart(path));
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (text::FoldCase(entry.path().filename().string()) == wanted && IsFile(entry)) return true;
        return false;
    } catch (...) {
        return false;
    }
}
#endif

}  // namespace xfileExists
