#pragma once
// Reading and writing the registry by textual key paths ("HKEY_CURRENT_USER\Software\...",
// or with the short hive names "HKCU\..."), with export and import of whole keys as REGEDIT4
// text. Handles returned are only success marks: non-zero on success, 0 on failure. Binary data
// travel as hexadecimal text ("0A FF"). No operation raises for a registry failure.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "registry/reg_api.h"

class clsRegistryAccess {
public:
    bool CreateKeyIfDoesntExists() const { return m_createKeyIfDoesntExists; }
    void CreateKeyIfDoesntExists(bool value) { m_createKeyIfDoesntExists = value; }

    long CreateKey(const std::string& keyPath);
    long KillKey(const std::string& keyPath);
    bool KeyExists(const std::string& keyPath);
    bool HaveSubkey(const std::string& keyPath);
    long EnumKeys(const std::string& keyPath, std::vector<std::string>& names);

    long WriteString(const std::string& keyPath, const std::string& name, const std::string& text);
    std::string ReadString(const std::string& keyPath, const std::string& name, const std::string& def);
    long WriteDWORD(const std::string& keyPath, const std::string& name, std::int32_t value);
    std::int32_t ReadDWORD(const std::string& keyPath, const std::string& name, std::int32_t def);
    long WriteBinary(const std::string& keyPath, const std::string& name, const std::string& hexText);
    std::string ReadBinary(const std::string& keyPath, const std::string& name, const std::string& def);
    long KillValue(const std::string& keyPath, const std::string& name);
    bool ValueExists(const std::string& keyPath, const std::string& name);
    // Values whose type equals typeFilter (or all, with -1): names, and values as text (DWORDs
    // as decimal text, binary data as hexadecimal text, other types empty).
    long EnumValues(const std::string& keyPath, std::vector<std::string>& names, std::vector<std::string>& values,
                    long typeFilter);

    // Writes the key (and with includeSubkeys everything below it) to a new REGEDIT4 file;
    // an existing file is never overwritten. 1 on success, 0 on failure. `progress` hears each
    // key path as it is written.
    long ExportToReg(const std::string& keyPath, const std::string& filePath, bool includeSubkeys,
                     std::function<void(const std::string&)> progress = {});
    // Reads a REGEDIT4 file into the registry. 1 when every line was read, 0 for a missing or
    // oversized file, a wrong header, or a failure on the way (what was written stays).
    long ImportFromReg(const std::string& filePath);

    std::string StrToBin(const std::string& hexText);
    std::string BinToStr(const std::string& bytes);
    bool isBinValid(const std::string& text);

    // The largest REGEDIT4 file ImportFromReg reads.
    static constexpr std::uintmax_t kMaxImportBytes = std::uintmax_t{64} * 1024 * 1024;

private:
    void ParseKeyPath(const std::string& keyPath);
    long OpenParsed(std::uint32_t access, reg::Key* key);
    // Opens the key for reading, reads one value (data may be null) and closes the key again.
    long QueryParsed(const std::string& keyPath, const std::string& name, std::string* data);
    long WriteValue(const std::string& keyPath, const std::string& name, std::uint32_t type, const std::string& data);
    bool ExportKey(const std::string& keyPath, std::string& out, bool includeSubkeys,
                   const std::function<void(const std::string&)>& progress, int depth);

    reg::Key m_hive = 0;
    reg::Key m_key = 0;
    std::string m_subKey;
    bool m_createKeyIfDoesntExists = true;
};
