#pragma once
// Settings stored for the whole machine, under HKEY_LOCAL_MACHINE\SOFTWARE\<company>\<app>\<section>.
#include <functional>
#include <string>

#include "base/vb_error.h"

void SaveMachineSetting(const std::string& app, const std::string& section, const std::string& key,
                        const std::string& value);
// The stored text, or the default when the key or the value does not exist. Throws VbError for
// an empty application, section or key name, for a key that cannot be opened, and for a value
// that is not a string.
std::string GetMachineSetting(const std::string& app, const std::string& section, const std::string& key,
                              const std::string& defaultValue);

namespace machine_settings {

// Error numbers: vbObjectError + 1000 .. 1002, and vbObjectError + 2000 plus a status or type.
inline constexpr long kAppNameEmpty = static_cast<long>(static_cast<std::int32_t>(0x800403E8u));
inline constexpr long kSectionEmpty = static_cast<long>(static_cast<std::int32_t>(0x800403E9u));
inline constexpr long kKeyEmpty = static_cast<long>(static_cast<std::int32_t>(0x800403EAu));
inline constexpr long kRegistryBase = static_cast<long>(static_cast<std::int32_t>(0x800407D0u));

// Where a user's copy of the machine's settings lives, in the user's own hive: a write the
// account may not make to HKEY_LOCAL_MACHINE\SOFTWARE\... goes to
// HKEY_CURRENT_USER\Software\Classes\VirtualStore\MACHINE\SOFTWARE\..., and reads look there
// first, as the designed platform virtualises such writes.
inline constexpr const char* kOverlayRoot = "Software\\Classes\\VirtualStore\\MACHINE";
std::string OverlayPath(const std::string& machinePath);

// The answer to the "Permission Denied" dialog.
enum class PermissionAnswer { Abort, Retry, Ignore };

// Shows the "Permission Denied" dialog (title "Permission Denied", buttons Abort, Retry and
// Ignore) with `text`. The GUI installs one; without one a failed write simply ends.
using PermissionPrompt = std::function<PermissionAnswer(const std::string& title, const std::string& text)>;
void SetPermissionPrompt(PermissionPrompt prompt);

// The dialog's text for a product.
std::string PermissionDeniedText(const std::string& productName);

}  // namespace machine_settings
