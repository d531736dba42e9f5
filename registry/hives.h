#pragma once
// Where the hive files live on platforms without a registry: the machine hives
// (HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS, ...) in a system-wide folder,
// HKEY_CURRENT_USER in the user's configuration folder. Tests point both at temporary folders.
#include <filesystem>

void SetHiveFolders(const std::filesystem::path& machineFolder, const std::filesystem::path& userFolder);

namespace hives {
// The environment variable that moves the machine hives' folder (tests, scripts, a private
// install); SetHiveFolders overrides it.
inline constexpr const char* kMachineFolderVariable = "MARLU_MACHINE_HIVES";
std::filesystem::path MachineFolder();
std::filesystem::path UserFolder();
}  // namespace hives
