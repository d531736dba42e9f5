// The registry calls on Windows: the real registry through the ANSI Win32 functions.
#include <windows.h>

#include <filesystem>

#include <vector>

#include "registry/hives.h"
#include "registry/reg_api.h"

namespace {
HKEY H(reg::Key key) { return reinterpret_cast<HKEY>(key); }
std::string Z(std::string_view s) { return std::string(s); }
}  // namespace

// The real registry has no hive files; the folders are kept only to answer hives::.
namespace {
std::filesystem::path g_machine, g_user;
}
// The real registry repairs and locks its own hives; nothing to report.
void hives::SetProblemReporter(std::function<void(const std::string&)>) {}

void SetHiveFolders(const std::filesystem::path& machineFolder, const std::filesystem::path& userFolder) {
    g_machine = machineFolder;
    g_user = userFolder;
}
namespace hives {
std::filesystem::path MachineFolder() { return g_machine; }
std::filesystem::path UserFolder() { return g_user; }
}  // namespace hives

namespace reg {

long CreateKey(Key parent, std::string_view subKey, Key* result) {
    HKEY key = nullptr;
    const LONG st = RegCreateKeyExA(H(parent), Z(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr);
    if (result) *result = st == ERROR_SUCCESS ? reinterpret_cast<Key>(key) : 0;
    return st;
}

long OpenKey(Key parent, std::string_view subKey, std::uint32_t access, Key* result) {
    HKEY key = nullptr;
    const LONG st = RegOpenKeyExA(H(parent), Z(subKey).c_str(), 0, access, &key);
    if (result) *result = st == ERROR_SUCCESS ? reinterpret_cast<Key>(key) : 0;
    return st;
}

long CloseKey(Key key) { return RegCloseKey(H(key)); }

long SetValue(Key key, std::string_view name, std::uint32_t type, std::string_view data) {
    return RegSetValueExA(H(key), Z(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
}

long QueryValue(Key key, std::string_view name, std::uint32_t* type, std::string* data) {
    const std::string n = Z(name);
    DWORD t = 0, size = 0;
    LONG st = RegQueryValueExA(H(key), n.c_str(), nullptr, &t, nullptr, &size);
    if (st != ERROR_SUCCESS) return st;
    if (type) *type = t;
    if (!data) return ERROR_SUCCESS;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<BYTE> buffer(size + 1);
        DWORD got = size;
        st = RegQueryValueExA(H(key), n.c_str(), nullptr, &t, buffer.data(), &got);
        if (st == ERROR_MORE_DATA) {
            size = got;
            continue;
        }
        if (st == ERROR_SUCCESS) data->assign(reinterpret_cast<const char*>(buffer.data()), got);
        return st;
    }
    return st;
}

long EnumKey(Key key, std::uint32_t index, std::string* name) {
    char buffer[256];
    DWORD size = sizeof buffer;
    const LONG st = RegEnumKeyExA(H(key), index, buffer, &size, nullptr, nullptr, nullptr, nullptr);
    if (st == ERROR_SUCCESS && name) name->assign(buffer, size);
    return st;
}

long EnumValue(Key key, std::uint32_t index, std::string* name, std::uint32_t* type, std::string* data) {
    std::vector<char> nameBuffer(kMaxValueNameLength + 1);
    DWORD nameSize = static_cast<DWORD>(nameBuffer.size());
    DWORD t = 0, size = 0;
    LONG st = RegEnumValueA(H(key), index, nameBuffer.data(), &nameSize, nullptr, &t, nullptr, &size);
    if (st != ERROR_SUCCESS) return st;
    if (name) name->assign(nameBuffer.data(), nameSize);
    if (type) *type = t;
    if (data) {
        std::vector<BYTE> buffer(size + 1);
        nameSize = static_cast<DWORD>(nameBuffer.size());
        DWORD got = size;
        st = RegEnumValueA(H(key), index, nameBuffer.data(), &nameSize, nullptr, &t, buffer.data(), &got);
        if (st == ERROR_SUCCESS) data->assign(reinterpret_cast<const char*>(buffer.data()), got);
    }
    return st;
}

long DeleteKey(Key key, std::string_view subKey) { return RegDeleteKeyA(H(key), Z(subKey).c_str()); }

long DeleteValue(Key key, std::string_view name) { return RegDeleteValueA(H(key), Z(name).c_str()); }

}  // namespace reg
