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

void SaveMachineSetting(const std::string& app, const std::string& section, const std::string& key,
                        const std::string& value) {
    using machine_settings::PermissionAnswer;
    const std::string path = KeyPath(app, section);
    // Each step may be retried from the dialog; a refusal of the account is reported, any
    // other registry status is not, as the store has always done.
    auto run = [&](const std::function<long()>& step) -> bool {
        for (;;) {
            if (step() != reg::kAccessDenied) return true;
            using namespace settings_keys;
            const std::string product = AppName();
            if (GetSetting(product, kSection, kIgnorePermissionDenied, kIgnorePermissionDeniedDefault) == "1" ||
                !g_prompt)
                return false;
            switch (g_prompt("Permission Denied", machine_settings::PermissionDeniedText(product))) {
                case PermissionAnswer::Retry: continue;
                case PermissionAnswer::Ignore: try { SaveSetting(product, kSection, kIgnorePermissionDenied, "1");
                    } catch (const VbError&) {
                    }
                    return false;
                case PermissionAnswer::Abort: return false;
            }
        }
    };
    OpenedKey opened;
    if (!run([&] { return reg::CreateKey(reg::kLocalMachine, path, &opened.key); })) return;
    run([&] { return reg::SetValue(opened.key, key, reg::kSz, value); });
}

std::string GetMachineSetting(const std::string& app, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
    using namespace machine_settings;
    if (text::TrimBlanks(app).empty()) throw VbError(kAppNameEmpty, "GetMachineSetting", "AppName may not be empty");
    if (text::TrimBlanks(section).empty())
        throw VbError(kSectionEmpty, "GetMachineSetting", "Section may not be empty");
    if (text::TrimBlanks(key).empty()) throw VbError(kKeyEmpty, "GetMachineSetting", "Key may not be empty");

    OpenedKey opened;
    const long status = reg::OpenKey(reg::kLocalMachine, KeyPath(app, section), reg::kRead, &opened.key);
    if (status == reg::kFileNotFound) return defaultValue;
    if (status != reg::kSuccess)
        throw VbError(kRegistryBase + status, "GetMachineSetting", "Could not open registry section");

    std::uint32_t type = 0;
    std::string data;
    if (reg::QueryValue(opened.key, key, &type, &data) != reg::kSuccess) return defaultValue;
    if (type != reg::kSz)
        throw VbError(kRegistryBase + static_cast<long>(type), "GetMachineSetting", "Registry data not a string");
    // Text up to a terminating zero, when it was stored with one.
    const std::size_t nul = data.find('\0');
    if (nul != std::string::npos) data.resize(nul);
    return data;
}
