#include "catalogue/playlist.h"

#include "catalogue/catchup.h"
#include "catalogue/stream_options.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

#include "base/text.h"
#include "base/windows1252.h"

namespace playlist {
namespace {

// Lines end at LF, CR LF or a lone CR.
template <typename F>
bool ForEachLine(std::string_view text, Playlist& out, Progress* progress, F&& onLine) {
    std::size_t pos = 0, number = 0;
    while (pos < text.size()) {
        if (progress && number % 8192 == 0) {
            progress->bytesRead = pos;
            if (progress->cancel) {
                out.problem = Problem::Cancelled;
                return false;
            }
        }
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        ++number;
        if (end - pos > kMaxLineBytes) {
            out.problem = Problem::LineTooLong;
            out.problemLine = number;
            return false;
        }
        onLine(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size()) pos += (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
    }
    return true;
}

std::string Trim(std::string_view s) { return text::TrimBlanks(s, " \t"); }

void Clean(std::string& field) {
    if (std::any_of(field.begin(), field.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        field = text::TrimBlanks(text::WithoutControlBytes(field));
}

void Keep(Playlist& out, Entry&& entry) {
    if (out.entries.size() >= kMaxEntries) {
        ++out.leftOut;
        return;
    }
    for (std::string* field :
         {&entry.name, &entry.address, &entry.tvgId, &entry.language, &entry.group, &entry.logo, &entry.number})
        Clean(*field);
    out.entries.push_back(std::move(entry));
}

bool HasScheme(std::string_view address) {
    // "x:" with x letters, digits, "+", "-", "." — but not a drive letter ("C:\", "C:/").
    const auto colon = address.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    if (colon == 1 && std::isalpha(static_cast<unsigned char>(address[0]))) return false;
    if (!std::isalpha(static_cast<unsigned char>(address[0]))) return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const char c = address[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

bool IsAbsolutePath(std::string_view path) {
    if (path.empty()) return false;
    if (path[0] == '/' || path[0] == '\\') return true;
    return path.size() > 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

// Removes "." and ".." segments from a path that starts with "/".
std::string RemoveDotSegments(std::string_view path) {
    std::vector<std::string_view> kept;
    std::size_t pos = 1;
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) slash = path.size();
        const std::string_view segment = path.substr(pos, slash - pos);
        if (segment == "..") {
            if (!kept.empty()) kept.pop_back();
            if (slash == path.size()) kept.emplace_back();  // "a/.." ends in a folder
        } else if (segment == ".") {
            if (slash == path.size()) kept.emplace_back();
        } else {
            kept.push_back(segment);
        }
        pos = slash + 1;
    }
    std::string result;
    for (const std::string_view segment : kept) {
        result += '/';
        result += segment;
    }
    return result.empty() ? "/" : result;
}

// The attributes of an #EXTINF line (after the duration) and its title (after the first comma
// outside quotes).
void ParseExtinf(std::string_view rest, Entry& entry) {
    std::size_t i = 0;
    // The duration: digits with an optional sign.
    while (i < rest.size() && rest[i] == ' ') ++i;
    const std::size_t start = i;
    if (i < rest.size() && (rest[i] == '-' || rest[i] == '+')) ++i;
    while (i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i]))) ++i;
    if (i > start) {
        const std::string digits(rest.substr(start, i - start));
        entry.duration = std::strtol(digits.c_str(), nullptr, 10);
        if (entry.duration < 0) entry.duration = -1;
    }
    std::string tvgName, catchupKind, catchupDays, catchupSource;
    while (i < rest.size()) {
        const char c = rest[i];
        if (c == ',') {
            entry.name = Trim(rest.substr(i + 1));
            break;
        }
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        // key=value or key="value"
        const std::size_t keyStart = i;
        while (i < rest.size() && rest[i] != '=' && rest[i] != ' ' && rest[i] != ',') ++i;
        const std::string key = text::AsciiLower(rest.substr(keyStart, i - keyStart));
        std::string value;
        if (i < rest.size() && rest[i] == '=') {
            ++i;
            if (i < rest.size() && (rest[i] == '"' || rest[i] == '\'')) {
                const char quote = rest[i++];
                const std::size_t close = rest.find(quote, i);
                const std::size_t end = close == std::string_view::npos ? rest.size() : close;
                value = std::string(rest.substr(i, end - i));
                i = close == std::string_view::npos ? rest.size() : close + 1;
            } else {
                const std::size_t valueStart = i;
                while (i < rest.size() && rest[i] != ' ' && rest[i] != ',') ++i;
                value = std::string(rest.substr(valueStart, i - valueStart));
            }
        }
        if (key == "tvg-name") tvgName = Trim(value);
        if (key == "tvg-id") entry.tvgId = Trim(value);
        if (key == "tvg-logo") entry.logo = Trim(value);
        if (key == "tvg-chno") entry.number = Trim(value);
        if (key == "group-title") entry.group = Trim(value);
        if (key == "radio") entry.radio = text::EqualsAsciiNoCase(Trim(value), "true");
        if (key == "catchup" || key == "catchup-type") catchupKind = value;
        if (key == "catchup-days" || (catchupDays.empty() && (key == "timeshift" || key == "tvg-rec")))
            catchupDays = value;
        if (key == "catchup-source") catchupSource = Trim(value);
        if (key == "tvg-language") {
            // "English, French" or "English;French" -> "English/French"
            std::string joined;
            std::size_t at = 0;
            while (at <= value.size()) {
                std::size_t cut = value.find_first_of(",;/|", at);
                if (cut == std::string::npos) cut = value.size();
                const std::string part = Trim(std::string_view(value).substr(at, cut - at));
                if (!part.empty()) joined += (joined.empty() ? "" : "/") + part;
                at = cut + 1;
            }
            entry.language = joined;
        }
    }
    if (!tvgName.empty()) entry.name = tvgName;
    entry.catchup = catchup::Write(catchup::FromAttributes(catchupKind, catchupDays, catchupSource));
}

// The entries an M3U can hold at most: its lines that are neither blank nor "#" lines. Room for
// them is made at once, so a large list is never copied while it grows.
std::size_t M3uEntryLines(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t first = text.find_first_not_of(" \t\r\n", at);
        if (first == std::string_view::npos) break;
        if (text[first] != '#') ++count;
        const std::size_t end = text.find('\n', first);
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    return count;
}

void ReadM3u(std::string_view text, std::string_view base, Playlist& out, Progress* progress) {
    out.entries.reserve(std::min(M3uEntryLines(text), kMaxEntries));
    Entry pending;
    bool havePending = false;
    stream_options::Headers options;  // said since the last entry, for the next
    ForEachLine(text, out, progress, [&](std::string_view raw) {
        if (out.entries.size() >= kMaxEntries) {
            // Past the cap entries are only counted, without a copy of anything.
            const std::size_t first = raw.find_first_not_of(" \t");
            if (first != std::string_view::npos && raw[first] != '#') ++out.leftOut;
            return;
        }
        const std::string line = Trim(raw);
        if (line.empty()) return;
        if (line[0] == '#') {
            if (text::StartsWithAsciiNoCase(line, "#EXTM3U")) {
                for (const char* key : {"url-tvg=", "x-tvg-url="}) {
                    const auto at = text::FoldCase(line).find(key);
                    if (at == std::string::npos || !out.guideAddress.empty()) continue;
                    std::string_view value = std::string_view(line).substr(at + std::string_view(key).size());
                    if (!value.empty() && (value[0] == '"' || value[0] == '\'')) {
                        const char quote = value[0];
                        value.remove_prefix(1);
                        value = value.substr(0, value.find(quote));
                    } else {
                        value = value.substr(0, value.find(' '));
                    }
                    // A list of guides: the first one, and the list as it is.
                    out.guideAddress = Trim(value.substr(0, value.find(',')));
                    out.guideList = Trim(value);
                }
            } else if (text::StartsWithAsciiNoCase(line, "#EXTINF:")) {
                pending = Entry{};
                ParseExtinf(std::string_view(line).substr(8), pending);
                havePending = true;
            } else if (text::StartsWithAsciiNoCase(line, "#EXTGRP:") && havePending && pending.group.empty()) {
                pending.group = Trim(std::string_view(line).substr(8));
            } else {
                stream_options::ReadPlaylistLine(line, options);
            }
            return;
        }
        Entry entry = havePending ? std::move(pending) : Entry{};
        // The options' form is cut from the address as resolved, so that the address written
        // back reads the same.
        entry.address = stream_options::SplitAddress(Resolve(line, base), options);
        entry.options = stream_options::Write(options);
        options.clear();
        Keep(out, std::move(entry));
        havePending = false;
    });
}

void ReadPls(std::string_view text, std::string_view base, Playlist& out, Progress* progress) {
    // FileN=, TitleN=, LengthN=, in any order; entries by N.
    std::map<long, Entry> byNumber;
    ForEachLine(text, out, progress, [&](std::string_view raw) {
        if (byNumber.size() >= kMaxEntries) {
            // Past the cap entries are only counted, by their addresses.
            const std::size_t first = raw.find_first_not_of(" \t");
            if (first != std::string_view::npos && text::StartsWithAsciiNoCase(raw.substr(first), "file"))
                ++out.leftOut;
            return;
        }
        const std::string line = Trim(raw);
        const auto equals = line.find('=');
        if (equals == std::string::npos) return;
        const std::string key = text::AsciiLower(Trim(std::string_view(line).substr(0, equals)));
        const std::string value = Trim(std::string_view(line).substr(equals + 1));
        for (const char* field : {"file", "title", "length"}) {
            const std::string_view f(field);
            if (key.size() <= f.size() || key.compare(0, f.size(), f) != 0) continue;
            const std::string digits = key.substr(f.size());
            if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
            Entry& entry = byNumber[std::strtol(digits.c_str(), nullptr, 10)];
            if (f == "file") {
                stream_options::Headers headers;
                entry.address = stream_options::SplitAddress(Resolve(value, base), headers);
                entry.options = stream_options::Write(headers);
            }
            if (f == "title") entry.name = value;
            if (f == "length") entry.duration = std::max(-1L, std::strtol(value.c_str(), nullptr, 10));
        }
    });
    for (auto& [number, entry] : byNumber)
        if (!entry.address.empty()) Keep(out, std::move(entry));
}

// Attribute values cannot hold a double quote; a name keeps its quotes after the comma.
std::string AttributeValue(std::string_view utf8) {
    std::string value(utf8);
    for (char& c : value)
        if (c == '"') c = '\'';
    return value;
}

}  // namespace

std::string Resolve(std::string_view address, std::string_view base) {
    if (address.empty() || base.empty() || HasScheme(address)) return std::string(address);
    const auto schemeEnd = base.find("://");
    if (schemeEnd != std::string_view::npos && HasScheme(base)) {
        // A web address: cut its query and fragment, then join.
        std::string_view b = base.substr(0, base.find_first_of("?#"));
        const std::size_t authorityStart = schemeEnd + 3;
        const std::size_t pathStart = std::min(b.find('/', authorityStart), b.size());
        const std::string origin(b.substr(0, pathStart));
        if (address.substr(0, 2) == "//") return std::string(b.substr(0, schemeEnd + 1)) + std::string(address);
        std::string_view suffix = address;
        std::string tail;
        const auto query = suffix.find_first_of("?#");
        if (query != std::string_view::npos) {
            tail = std::string(suffix.substr(query));
            suffix = suffix.substr(0, query);
        }
        std::string path;
        if (!suffix.empty() && suffix[0] == '/') {
            path = std::string(suffix);
        } else {
            std::string_view folder = pathStart < b.size() ? b.substr(pathStart) : std::string_view("/");
            folder = folder.substr(0, folder.rfind('/') + 1);
            path = std::string(folder) + std::string(suffix);
        }
        return origin + RemoveDotSegments(path) + tail;
    }
    // A local playlist: relative to its folder.
    if (IsAbsolutePath(address)) return std::string(address);
    const auto slash = base.find_last_of("/\\");
    if (slash == std::string_view::npos) return std::string(address);
    return std::string(base.substr(0, slash + 1)) + std::string(address);
}

Playlist Read(std::string_view text, std::string_view base, Progress* progress) {
    Playlist out;
    if (text.size() > kMaxBytes) {
        out.problem = Problem::TooLarge;
        return out;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // Entries are UTF-8 (M3U8, and most M3U today, are read where they lie); an old playlist
    // that is not UTF-8 is taken as written in the system's code page and turned into UTF-8.
    std::string converted;
    std::string_view body = text;
    if (!text::IsValidUtf8(text)) body = converted = cp1252::ToUtf8(text);
    if (progress) progress->bytesTotal = body.size();
    const auto first = body.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && text::StartsWithAsciiNoCase(body.substr(first), "[playlist]"))
        ReadPls(body, base, out, progress);
    else
        ReadM3u(body, base, out, progress);
    if (out.problem != Problem::None) out.entries.clear();
    return out;
}

std::string WriteM3u(const std::vector<Entry>& entries, std::string_view guideAddress) {
    std::string out = "#EXTM3U";
    if (!guideAddress.empty()) out += " url-tvg=\"" + AttributeValue(guideAddress) + "\"";
    out += "\n";
    for (const Entry& e : entries) {
        out += "#EXTINF:" + std::to_string(e.duration < 0 ? -1 : e.duration);
        // The name goes in tvg-name too, unless it holds a quote (then the text after the
        // comma, read the same way, carries it).
        if (!e.name.empty() && e.name.find('"') == std::string::npos)
            out += " tvg-name=\"" + AttributeValue(e.name) + "\"";
        if (!e.tvgId.empty()) out += " tvg-id=\"" + AttributeValue(e.tvgId) + "\"";
        if (!e.language.empty()) out += " tvg-language=\"" + AttributeValue(e.language) + "\"";
        if (!e.logo.empty()) out += " tvg-logo=\"" + AttributeValue(e.logo) + "\"";
        if (!e.number.empty()) out += " tvg-chno=\"" + AttributeValue(e.number) + "\"";
        if (!e.group.empty()) out += " group-title=\"" + AttributeValue(e.group) + "\"";
        if (e.radio) out += " radio=\"true\"";
        if (const catchup::Archive archive = catchup::Read(e.catchup); archive.declared()) {
            out += " catchup=\"" + catchup::Write(archive).substr(0, catchup::Write(archive).find(';')) + "\"";
            if (archive.days > 0) out += " catchup-days=\"" + std::to_string(archive.days) + "\"";
            if (!archive.source.empty()) out += " catchup-source=\"" + AttributeValue(archive.source) + "\"";
        }
        out += "," + e.name + "\n";
        if (!e.options.empty()) out += stream_options::PlaylistLines(stream_options::Read(e.options));
        out += e.address + "\n";
    }
    return out;
}

}  // namespace playlist

namespace playlist {

std::string CategoryFor(const Entry& entry) {
    for (const char* category : {"TV", "Radio", "Video", "XXX"})
        if (text::CompareNoCase(entry.group, category) == 0) return category;
    if (entry.radio) return "Radio";
    // The address's path, without query or fragment, names the file type.
    std::string_view path = entry.address;
    path = path.substr(0, path.find_first_of("?#"));
    const auto dot = path.rfind('.');
    if (dot != std::string_view::npos && path.find('/', dot) == std::string_view::npos) {
        const std::string_view type = path.substr(dot + 1);
        for (const char* audio : {"mp3", "aac", "aacp", "ogg", "oga", "opus", "m4a", "flac", "wma", "mp2"})
            if (text::EqualsAsciiNoCase(type, audio)) return "Radio";
    }
    return "TV";
}

}  // namespace playlist
