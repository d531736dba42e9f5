// libFuzzer target: any bytes as a REGEDIT4 file for clsRegistryAccess::ImportFromReg.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "registry/hives.h"
#include "registry/registry_access.h"

namespace {

std::filesystem::path Workspace() {
    static const std::filesystem::path dir = [] {
        // A memory-backed folder where there is one: hive writes are synced to disk.
        std::filesystem::path base =
            std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        auto d = base / ("regedit4-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static long runs = 0;
    const std::filesystem::path dir = Workspace();
    if (runs++ % 500 == 0) {
        // Start from empty hives now and then, so they stay small.
        SetHiveFolders(dir / "none-m", dir / "none-u");
        std::error_code ec;
        std::filesystem::remove_all(dir / "hives", ec);
        SetHiveFolders(dir / "hives" / "machine", dir / "hives" / "user");
    }
    const std::filesystem::path file = dir / "input.reg";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    clsRegistryAccess reg;
    reg.ImportFromReg(file.string());
    return 0;
}
