#pragma once
// Where the hive files live on platforms without a registry: the machine hives
// (HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS, ...) in a system-wide folder,
// HKEY_CURRENT_USER in the user's configuration folder. Tests point both at temporary folders.
#include <filesystem>
#include <functional>
#include <string>

void SetHiveFolders(const std::filesystem::path& machineFolder, const std::filesystem::path& userFolder);

namespace hives {
// The environment variable that moves the machine hives' folder (tests, scripts, a private
// install); SetHiveFolders overrides it.
inline constexpr const char* kMachineFolderVariable = "MARLU_MACHINE_HIVES";
std::filesystem::path MachineFolder();
std::filesystem::path UserFolder();

// Told, once a run for each hive file, when a hive file was found damaged (it is moved aside,
// never overwritten, and the hive starts empty) or stayed locked by another program past a
// short wait (it reads as empty and refuses writes this run). The text is for the user.
void SetProblemReporter(std::function<void(const std::string&)> reporter);
}  // namespace hives
