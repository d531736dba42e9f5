// REGEDIT4 export and import of clsRegistryAccess. Names and texts are escaped as the
// system's registry editor escapes them (\\ and \"), so that its files and ours read each other.
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/file_io.h"
#include "base/line_reader.h"
#include "base/text.h"
#include "registry/hive_names.h"
#include "registry/registry_access.h"

namespace {

// Without surrounding blanks and tabs, as the registry editor indents continued lines.
std::string Trim(std::string_view s) { return text::TrimBlanks(s, " \t"); }

// The path with its short hive name replaced by the long one.
std::string LongHivePath(const std::string& keyPath) {
    for (const reg::HiveName& h : reg::kHiveNames) {
        const std::size_t n = h.shortName.size();
        if (text::StartsWithAsciiNoCase(keyPath, h.shortName) && (keyPath.size() == n || keyPath[n] == '\\'))
            return std::string(h.longName) + keyPath.substr(n);
    }
    return keyPath;
}

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string Quoted(std::string_view text) { return "\"" + Escape(text) + "\""; }

// A text value as the file holds it: quoted, or, when it holds a line break (which would end the
// line and cut the value there), as the registry editor's hex(1) form: its bytes and a closing 0.
std::string TextValue(std::string_view text) {
    if (text.find_first_of("\r\n") == std::string_view::npos) return Quoted(text);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "hex(1):";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out.append({kDigits[byte >> 4], kDigits[byte & 15], ','});
    }
    return out + "00";
}

// The bytes of hexadecimal digits separated by commas or blanks ("6c,69,00"); nothing when a
// pair is not hexadecimal.
std::optional<std::string> HexBytes(std::string_view digits) {
    std::string out;
    std::size_t pos = 0;
    while (pos < digits.size()) {
        if (digits[pos] == ',' || digits[pos] == ' ' || digits[pos] == '\t') {
            ++pos;
            continue;
        }
        if (pos + 1 >= digits.size()) return std::nullopt;
        const int high = text::HexDigit(digits[pos]), low = text::HexDigit(digits[pos + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        pos += 2;
    }
    return out;
}

// Reads a quoted, escaped text starting at text[pos] == '"'. On success pos is past the closing
// quote. Without a closing quote, the rest of the line is the text. Only "\\" and "\"" are
// escapes: a backslash before anything else stands for itself, so a path written by hand or by
// an older tool without escaping ("C:\Program Files\App") reads as it was meant.
std::string Unquote(std::string_view text, std::size_t& pos) {
    std::string out;
    ++pos;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '\\' && pos < text.size() && (text[pos] == '\\' || text[pos] == '"')) {
            out += text[pos++];
        } else if (c == '"') {
            return out;
        } else {
            out += c;
        }
    }
    return out;
}

// Removes every double quote, as a line without the editor's escaping is read.
std::string WithoutQuotes(std::string_view text) {
    std::string out;
    for (char c : text)
        if (c != '"') out += c;
    return out;
}

// A number value as the registry editor writes it: exactly eight hexadecimal digits.
bool ParseHexDword(const std::string& digits, std::int32_t& value) {
    const std::string d = Trim(digits);
    if (d.size() != 8) return false;
    std::uint32_t u = 0;
    for (char c : d) {
        const int v = text::HexDigit(c);
        if (v < 0) return false;
        u = u * 16 + static_cast<std::uint32_t>(v);
    }
    value = static_cast<std::int32_t>(u);
    return true;
}

}  // namespace

bool clsRegistryAccess::ExportKey(const std::string& keyPath, std::string& out, bool includeSubkeys,
                                  const std::function<void(const std::string&)>& progress, int depth) {
    if (depth > static_cast<int>(reg::kMaxDepth)) return false;
    const std::string path = LongHivePath(keyPath);
    if (progress) progress(path);
    out += "[" + path + "]\r\n";

    const std::string defaultValue = ReadString(path, "", "");
    if (!defaultValue.empty()) out += "@=" + TextValue(defaultValue) + "\r\n";

    std::vector<std::string> names, values;
    EnumValues(path, names, values, reg::kSz);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!names[i].empty()) out.append(Quoted(names[i])).append("=").append(TextValue(values[i])).append("\r\n");

    EnumValues(path, names, values, reg::kBinary);
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string hex = values[i];
        for (char& c : hex)
            if (c == ' ') c = ',';
        out += Quoted(names[i]) + "=hex:" + hex + "\r\n";
    }

    EnumValues(path, names, values, reg::kDword);
    for (std::size_t i = 0; i < names.size(); ++i) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08X", static_cast<std::uint32_t>(std::stol(values[i])));
        out += Quoted(names[i]) + "=dword:" + digits + "\r\n";
    }
    out += "\r\n";

    if (includeSubkeys) {
        std::vector<std::string> subkeys;
        EnumKeys(path, subkeys);
        for (const std::string& sub : subkeys) {
            std::string child = path;
            child.append("\\").append(sub);
            if (!ExportKey(child, out, includeSubkeys, progress, depth + 1)) return false;
        }
    }
    return true;
}

// The progress callback is taken by value: the signature is the class's published one.
long clsRegistryAccess::ExportToReg(
    const std::string& keyPath, const std::string& filePath, bool includeSubkeys,
    std::function<void(const std::string&)> progress) {  // NOLINT(performance-unnecessary-value-param)
    std::error_code ec;
    if (std::filesystem::exists(filePath, ec) || ec) return 0;  // an existing file is never overwritten
    std::string out = "REGEDIT4\r\n\r\n";
    try {
        if (!ExportKey(keyPath, out, includeSubkeys, progress, 0)) return 0;
    } catch (const std::exception&) {
        return 0;
    }
    // The whole export is written at once: a failure leaves no half-written file.
    if (std::filesystem::exists(filePath, ec)) return 0;
    return base::ReplaceFileAtomically(filePath, out) ? 1 : 0;
}

long clsRegistryAccess::ImportFromReg(const std::string& filePath) {
    m_createKeyIfDoesntExists = true;
    const auto text = base::ReadFileCapped(filePath, kMaxImportBytes);
    if (!text) return 0;
    const std::vector<std::string_view> lines = text::SplitAtCrLf(*text);
    if (lines.empty() || text::AsciiUpper(Trim(lines[0])) != "REGEDIT4") return 0;

    std::string currentKey;
    bool inKey = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string line = Trim(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const std::string path = line.size() >= 2 ? WithoutQuotes(line.substr(1, line.size() - 2)) : std::string();
            if (!path.empty() && path[0] == '-') {
                KillKey(path.substr(1));
                inKey = false;
            } else {
                currentKey = path;
                inKey = !path.empty();
                // The key itself is made too, so that keys without values come back as well.
                if (inKey) CreateKey(currentKey);
            }
            continue;
        }
        if (!inKey) continue;

        // The value's name: quoted and escaped ("name"), the default value (@), or, in files
        // without the editor's quoting, the text up to the first "=".
        std::string name, rest;
        bool quotedText = false;
        std::size_t pos = 0;
        if (line[0] == '"') {
            name = Unquote(line, pos);
            while (pos < line.size() && line[pos] == ' ') ++pos;
            if (pos >= line.size() || line[pos] != '=') continue;  // not a value line
            rest = line.substr(pos + 1);
        } else {
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            name = WithoutQuotes(line.substr(0, eq));
            rest = line.substr(eq + 1);
        }
        std::string restTrimmed = Trim(rest);
        if (!restTrimmed.empty() && restTrimmed[0] == '"') {
            std::size_t at = 0;
            rest = Unquote(restTrimmed, at);
            quotedText = true;
        }

        // Long hexadecimal values continue on the next lines after a trailing backslash.
        const auto hexDigits = [&](std::size_t prefix) {
            std::string digits = restTrimmed.substr(prefix);
            while (!digits.empty() && digits.back() == '\\' && i + 1 < lines.size()) {
                digits.pop_back();
                digits += Trim(lines[++i]);
            }
            return digits;
        };
        if (!quotedText && restTrimmed == "-") {
            KillValue(currentKey, name);
        } else if (!quotedText && text::StartsWithAsciiNoCase(restTrimmed, "HEX(1):")) {
            // A text in the hex(1) form: its bytes up to the closing 0.
            auto bytes = HexBytes(hexDigits(7));
            if (!bytes) return 0;  // an unreadable value ends the import; what came before stays
            if (const std::size_t end = bytes->find('\0'); end != std::string::npos) bytes->resize(end);
            WriteString(currentKey, name, *bytes);
        } else if (!quotedText && text::StartsWithAsciiNoCase(restTrimmed, "HEX:")) {
            std::string digits = hexDigits(4);
            for (char& c : digits)
                if (c == ',') c = ' ';
            if (Trim(digits).empty())
                WriteBinary(currentKey, name, "");
            else if (isBinValid(digits))
                WriteBinary(currentKey, name, digits);
            else
                return 0;  // not hexadecimal data: an error, and values written before it stay
        } else if (!quotedText && text::StartsWithAsciiNoCase(restTrimmed, "DWORD:")) {
            std::int32_t value = 0;
            if (!ParseHexDword(restTrimmed.substr(6), value)) return 0;
            WriteDWORD(currentKey, name, value);
        } else {
            const std::string textValue = quotedText ? rest : WithoutQuotes(rest);
            WriteString(currentKey, name, textValue);
            if (name == "@" && textValue.empty()) KillValue(currentKey, name);
        }
    }
    return 1;
}
