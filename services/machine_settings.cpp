#include "services/machine_settings.h"

#include "base/app.h"
#include "base/text.h"
#include "registry/reg_api.h"
#include "services/settings.h"
#include "services/settings_keys.h"

namespace {

machine_settings::PermissionPrompt g_prompt;

std::string KeyPath(const std::string& app, const std::string& section) {
    return "SOFTWARE\\" + text::TrimBlanks(App::Info().companyName) + "\\" + text::TrimBlanks(app) + "\\" +
           text::TrimBlanks(section);
}

// A registry key handle closed on every path out.
class OpenedKey {
public:
    ~OpenedKey() {
        if (key) reg::CloseKey(key);
    }
    reg::Key key = 0;
};

}  // namespace

namespace machine_settings {

void SetPermissionPrompt(PermissionPrompt prompt) { g_prompt = std::move(prompt); }

std::string PermissionDeniedText(const std::string& productName) {
    return productName +
           " requires read/write access to the system registry and hard drive in order to run properly.  This user "
           "account does not have the proper permissions set.  As a result some or all of your settings may not be "
           "properly saved.  Please contact your system administrator or change the permission settings for this "
           "account.\r\n\r\nIf you would like to prevent this error message from being displayed again, please "
           "press 'Ignore'.";
}

}  // namespace machine_settings

namespace {

// Writes one value under `root`\`path`; the first status that is not success.
long WriteValue(reg::Key root, const std::string& path, const std::string& key, const std::string& value) {
    OpenedKey opened;
    if (const long status = reg::CreateKey(root, path, &opened.key); status != reg::kSuccess) return status;
    return reg::SetValue(opened.key, key, reg::kSz, value);
}

// Reads one string value under `root`\`path`: kSuccess with `out` set, kFileNotFound when the
// key or the value is missing, or the status that stopped the read. `type` is the value's type.
long ReadValue(reg::Key root, const std::string& path, const std::string& key, std::uint32_t& type, std::string& out) {
    OpenedKey opened;
    if (const long status = reg::OpenKey(root, path, reg::kRead, &opened.key); status != reg::kSuccess) return status;
    if (reg::QueryValue(opened.key, key, &type, &out) != reg::kSuccess) return reg::kFileNotFound;
    return reg::kSuccess;
}

}  // namespace

namespace machine_settings {

std::string OverlayPath(const std::string& machinePath) { return std::string(kOverlayRoot) + "\\" + machinePath; }

}  // namespace machine_settings

void SaveMachineSetting(const std::string& app, const std::string& section, const std::string& key,
                        const std::string& value) {
    using namespace settings_keys;
    using machine_settings::PermissionAnswer;
    const std::string path = KeyPath(app, section);
    const std::string overlay = machine_settings::OverlayPath(path);
    for (;;) {
        const long status = WriteValue(reg::kLocalMachine, path, key, value);
        if (status == reg::kSuccess) {
            // The machine's value is the one to read from now on: a user's copy would hide it.
            OpenedKey stale;
            if (reg::OpenKey(reg::kCurrentUser, overlay, reg::kAllAccess, &stale.key) == reg::kSuccess)
                reg::DeleteValue(stale.key, key);
            return;
        }
        // Other failures are not reported, as the store has always done.
        if (status != reg::kAccessDenied) return;
        // The account may not write the machine's settings: they go to the user's copy of them,
        // which reads see first.
        if (WriteValue(reg::kCurrentUser, overlay, key, value) == reg::kSuccess) return;
        // Neither store takes the value: the user is asked, once per run of refusals.
        const std::string product = AppName();
        if (GetSetting(product, kSection, kIgnorePermissionDenied, kIgnorePermissionDeniedDefault) == "1" || !g_prompt)
            return;
        switch (g_prompt("Permission Denied", machine_settings::PermissionDeniedText(product))) {
            case PermissionAnswer::Retry: continue;
            case PermissionAnswer::Ignore: try { SaveSetting(product, kSection, kIgnorePermissionDenied, "1");
                } catch (const VbError&) {
                }
                return;
            case PermissionAnswer::Abort: return;
        }
    }
}

std::string GetMachineSetting(const std::string& app, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
    using namespace machine_settings;
    if (text::TrimBlanks(app).empty()) throw VbError(kAppNameEmpty, "GetMachineSetting", "AppName may not be empty");
    if (text::TrimBlanks(section).empty())
        throw VbError(kSectionEmpty, "GetMachineSetting", "Section may not be empty");
    if (text::TrimBlanks(key).empty()) throw VbError(kKeyEmpty, "GetMachineSetting", "Key may not be empty");

    const std::string path = KeyPath(app, section);
    std::uint32_t type = 0;
    std::string data;
    // The user's copy of the machine's settings first, where a refused write put it.
    long status = ReadValue(reg::kCurrentUser, machine_settings::OverlayPath(path), key, type, data);
    if (status != reg::kSuccess) {
        status = ReadValue(reg::kLocalMachine, path, key, type, data);
        // A hive another program keeps locked past the wait reads as its defaults.
        if (status == reg::kFileNotFound || status == reg::kBadDb) return defaultValue;
        if (status != reg::kSuccess)
            throw VbError(kRegistryBase + status, "GetMachineSetting", "Could not open registry section");
    }
    if (type != reg::kSz)
        throw VbError(kRegistryBase + static_cast<long>(type), "GetMachineSetting", "Registry data not a string");
    // Text up to a terminating zero, when it was stored with one.
    const std::size_t nul = data.find('\0');
    if (nul != std::string::npos) data.resize(nul);
    return data;
}
