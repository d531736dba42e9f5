#include "registry/registry_access.h"

#include "base/text.h"
#include "registry/hive_names.h"

#include <array>

void clsRegistryAccess::ParseKeyPath(const std::string& keyPath) {
    std::string path = keyPath;
    // The hive may be named by its long or its short name, in any letter case.
    for (const reg::HiveName& h : reg::kHiveNames) {
        const std::size_t n = h.longName.size();
        if (text::StartsWithAsciiNoCase(path, h.longName) && (path.size() == n || path[n] == '\\')) {
            path = std::string(h.shortName) + path.substr(n);
            break;
        }
    }
    std::string hive;
    const std::size_t bs = path.find('\\');
    if (bs != std::string::npos) {
        hive = text::AsciiUpper(path.substr(0, 4));
        m_subKey = path.substr(bs + 1);
    } else {
        hive = text::AsciiUpper(path);
        m_subKey.clear();
    }
    m_hive = 0;
    for (const reg::HiveName& h : reg::kHiveNames)
        if (hive == h.shortName) m_hive = h.handle;
}

long clsRegistryAccess::OpenParsed(std::uint32_t access, reg::Key* key) {
    *key = 0;
    if (m_hive == 0) return reg::kInvalidHandle;
    const long status = reg::OpenKey(m_hive, m_subKey, access, key);
    m_key = *key;
    return status;
}

long clsRegistryAccess::QueryParsed(const std::string& keyPath, const std::string& name, std::string* data) {
    ParseKeyPath(keyPath);
    reg::Key key = 0;
    if (const long status = OpenParsed(reg::kRead, &key); status != reg::kSuccess) return status;
    const long status = reg::QueryValue(key, name, nullptr, data);
    reg::CloseKey(key);
    return status;
}

long clsRegistryAccess::CreateKey(const std::string& keyPath) {
    ParseKeyPath(keyPath);
    if (m_hive == 0) return 0;
    reg::Key key = 0;
    if (reg::CreateKey(m_hive, m_subKey, &key) != reg::kSuccess) return 0;
    m_key = key;
    reg::CloseKey(key);
    return static_cast<long>(key);
}

long clsRegistryAccess::KillKey(const std::string& keyPath) {
    ParseKeyPath(keyPath);
    reg::Key key = 0;
    if (OpenParsed(reg::kAllAccess, &key) != reg::kSuccess) return 0;
    reg::DeleteKey(key, "");  // fails while the key has sub-keys; the status is not examined
    reg::CloseKey(key);
    return static_cast<long>(key);
}

bool clsRegistryAccess::KeyExists(const std::string& keyPath) {
    ParseKeyPath(keyPath);
    reg::Key key = 0;
    if (OpenParsed(reg::kAllAccess, &key) != reg::kSuccess) return false;
    reg::CloseKey(key);
    return true;
}

long clsRegistryAccess::EnumKeys(const std::string& keyPath, std::vector<std::string>& names) {
    names.clear();
    ParseKeyPath(keyPath);
    reg::Key key = 0;
    if (OpenParsed(reg::kRead, &key) != reg::kSuccess) return -1;
    std::string name;
    for (std::uint32_t i = 0; reg::EnumKey(key, i, &name) == reg::kSuccess; ++i) names.push_back(name);
    reg::CloseKey(key);
    return static_cast<long>(names.size());
}

bool clsRegistryAccess::HaveSubkey(const std::string& keyPath) {
    ParseKeyPath(keyPath);
    reg::Key key = 0;
    if (OpenParsed(reg::kRead, &key) != reg::kSuccess) return false;
    const bool has = reg::EnumKey(key, 0, nullptr) != reg::kNoMoreItems;
    reg::CloseKey(key);
    return has;
}

long clsRegistryAccess::WriteValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                                   const std::string& data) {
    if (!KeyExists(keyPath)) {
        if (!m_createKeyIfDoesntExists) return 0;
        CreateKey(keyPath);
    }
    ParseKeyPath(keyPath);
    reg::Key key = 0;
    if (OpenParsed(reg::kWrite, &key) != reg::kSuccess) return 0;
    const long status = reg::SetValue(key, name, type, data);
    reg::CloseKey(key);
    return status == reg::kSuccess ? static_cast<long>(key) : 0;
}

long clsRegistryAccess::WriteString(const std::string& keyPath, const std::string& name, const std::string& text) {
    return WriteValue(keyPath, name == "@" ? std::string() : name, reg::kSz, text);
}

std::string clsRegistryAccess::ReadString(const std::string& keyPath, const std::string& name, const std::string& def) {
    std::string data;
    const long status = QueryParsed(keyPath, name, &data);
    if (status != reg::kSuccess) return def;
    // Text up to its terminating zero, if it was stored with one, without surrounding blanks.
    const std::size_t nul = data.find('\0');
    if (nul != std::string::npos) data.resize(nul);
    return text::TrimBlanks(data);
}

long clsRegistryAccess::WriteDWORD(const std::string& keyPath, const std::string& name, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                           static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
    return WriteValue(keyPath, name, reg::kDword, std::string(bytes, 4));
}

std::int32_t clsRegistryAccess::ReadDWORD(const std::string& keyPath, const std::string& name, std::int32_t def) {
    std::string data;
    const long status = QueryParsed(keyPath, name, &data);
    if (status != reg::kSuccess || data.size() > 4) return def;  // more than four bytes do not fit
    std::uint32_t u = 0;
    for (std::size_t i = 0; i < data.size(); ++i)
        u |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    return static_cast<std::int32_t>(u);
}

long clsRegistryAccess::WriteBinary(const std::string& keyPath, const std::string& name, const std::string& hexText) {
    return WriteValue(keyPath, name, reg::kBinary, StrToBin(hexText));
}

std::string clsRegistryAccess::ReadBinary(const std::string& keyPath, const std::string& name, const std::string& def) {
    std::string data;
    const long status = QueryParsed(keyPath, name, &data);
    if (status != reg::kSuccess) return def;
    return text::TrimBlanks(BinToStr(data));
}

long clsRegistryAccess::KillValue(const std::string& keyPath, const std::string& name) {
    ParseKeyPath(keyPath);
    reg::Key key = 0;
    if (OpenParsed(reg::kAllAccess, &key) != reg::kSuccess) return 0;
    reg::DeleteValue(key, name);
    reg::CloseKey(key);
    return static_cast<long>(key);
}

bool clsRegistryAccess::ValueExists(const std::string& keyPath, const std::string& name) {
    return QueryParsed(keyPath, name, nullptr) == reg::kSuccess;
}

long clsRegistryAccess::EnumValues(const std::string& keyPath, std::vector<std::string>& names,
                                   std::vector<std::string>& values, long typeFilter) {
    names.clear();
    values.clear();
    ParseKeyPath(keyPath);
    reg::Key key = 0;
    if (OpenParsed(reg::kRead, &key) != reg::kSuccess) return -1;
    struct Entry {
        std::string name, data;
        std::uint32_t type;
    };
    std::vector<Entry> taken;
    std::string name, data;
    std::uint32_t type = 0;
    for (std::uint32_t i = 0; reg::EnumValue(key, i, &name, &type, &data) == reg::kSuccess; ++i)
        if (typeFilter == -1 || static_cast<long>(type) == typeFilter) taken.push_back(Entry{name, data, type});
    reg::CloseKey(key);
    for (const Entry& e : taken) {
        names.push_back(text::TrimBlanks(e.name));
        switch (e.type) {
            case reg::kBinary: values.push_back(text::TrimBlanks(BinToStr(e.data))); break;
            case reg::kDword: values.push_back(std::to_string(ReadDWORD(keyPath, e.name, 0))); break;
            case reg::kSz: values.push_back(ReadString(keyPath, e.name, "")); break;
            default: values.emplace_back(); break;
        }
    }
    return static_cast<long>(names.size());
}

std::string clsRegistryAccess::BinToStr(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

std::string clsRegistryAccess::StrToBin(const std::string& hexText) {
    std::string digits;
    digits.reserve(hexText.size());
    for (char c : hexText)
        if (c != ' ') digits += c;
    std::string out;
    out.reserve(digits.size() / 2 + 1);
    // Pairs from the left; a lone last digit is a byte of its own. A pair is read as far as it
    // holds hexadecimal digits ("1G" is 1, "G1" is 0).
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        int value = 0;
        for (std::size_t k = i; k < i + 2 && k < digits.size(); ++k) {
            const int d = text::HexDigit(digits[k]);
            if (d < 0) break;
            value = value * 16 + d;
        }
        out += static_cast<char>(value);
    }
    return out;
}

bool clsRegistryAccess::isBinValid(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    if (digits.empty()) return false;
    for (char c : digits)
        if (text::HexDigit(c) < 0) return false;
    return true;
}
