#include "appearance/file_utils.h"

#include <filesystem>
#include <system_error>

#include "catalogue/text_case.h"

namespace xfileExists {
namespace {

bool IsFile(const std::filesystem::directory_entry& entry) {
    std::error_code ec;
    return entry.is_regular_file(ec);
}

}  // namespace

std::string FileNamePart(const std::string& path) {
    // "\" separates folders on Windows; "/" does on every platform the program runs on.
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool FileExists(const std::string& path) {
    try {
        const std::string name = FileNamePart(path);
        if (name.empty()) return false;
        const std::filesystem::path requested(path);
        std::error_code ec;
        if (std::filesystem::is_regular_file(requested, ec)) return true;
        // Not there under that exact name: look for the same name in another letter case.
        std::filesystem::path folder = requested.parent_path();
        if (folder.empty()) folder = ".";
        const std::string wanted = catalogue::FoldCase(name);
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            if (catalogue::FoldCase(entry.path().filename().string()) == wanted && IsFile(entry)) return true;
        }
        return false;
    } catch (...) {
        return false;
    }
}

}  // namespace xfileExists
