#pragma once
// The per-user settings store: text values by application, section and key. Elsewhere than
// Windows an INI file per application in the user's configuration folder ($XDG_CONFIG_HOME,
// else ~/.config), replaced atomically on every change. Keys and sections are matched
// without regard to letter case and keep the case they were first written with.
#include <chrono>
#include <filesystem>
#include <string>

std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                       const std::string& defaultValue);
// Throws VbError (75, "Path/File access error") when the store cannot be written,
// VbError (75, settings::kUnreadableStore) when it exists but cannot be read, and
// VbError (75, settings::kLockedStore) when another program holds its lock for 10 s; the old
// values are then kept whole. Saves are serialised by a lock file beside the store. A value
// kept for later (settings::Save) is what GetSetting gives until it is written.
void SaveSetting(const std::string& app, const std::string& section, const std::string& key, const std::string& value);

namespace settings {
// The text of the error SaveSetting raises for a store it cannot read.
inline constexpr const char* kUnreadableStore = "The settings file cannot be read";
inline constexpr const char* kLockedStore = "The settings file is locked by another program";

enum class Saved {
    Yes,
    KeptForLater,  // another program holds the lock: the value is kept in this process
    Unreadable,    // the store is there but cannot be read: it is left as it is
    NotWritable,
};
// Saves one value, waiting at most `lockWait` for another program's lock (a window's thread
// waits 100 ms at most). A value that cannot be written for the lock alone is kept, read back
// by GetSetting, and written by RetryPending.
Saved Save(const std::string& app, const std::string& section, const std::string& key, const std::string& value,
           std::chrono::milliseconds lockWait);
// Writes the values kept for later, in the order they were saved; KeptForLater while the lock
// is still held, Yes when none remain.
Saved RetryPending(std::chrono::milliseconds lockWait);
bool HasPending();

// The file that holds an application's settings.
std::filesystem::path StoreFile(const std::string& app);
}  // namespace settings
