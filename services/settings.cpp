#include "services/settings.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "base/file_lock.h"
#include "base/paths.h"
#include "base/text.h"
#include "base/vb_error.h"

namespace {

constexpr std::uintmax_t kMaxStoreBytes = std::uintmax_t{8} * 1024 * 1024;

struct Entry {
    std::string key, value;
};
struct Section {
    std::string name;
    std::vector<Entry> entries;
};
using Store = std::vector<Section>;

// Backslash, CR and LF are escaped everywhere; "=" in keys and "]" in section names too, and
// a key's leading ";", "#" or "[" (which would make the line a comment or a section), so that
// any text can be stored and read back.
std::string Escape(std::string_view text, char also) {
    std::string out;
    out.reserve(text.size() + 1);
    if (also == '=' && !text.empty() && (text[0] == ';' || text[0] == '#' || text[0] == '[')) out += '\\';
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            default:
                if (c == also && also != 0) {
                    out += '\\';
                }
                out += c;
        }
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char n = text[++i];
        out += n == 'r' ? '\r' : n == 'n' ? '\n' : n;
    }
    return out;
}

// Position of the first "=" not preceded by an escaping backslash.
std::size_t FindSeparator(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
            continue;
        }
        if (line[i] == '=') return i;
    }
    return std::string_view::npos;
}

Store Parse(std::string_view text) {
    Store store;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[' && line.back() == ']' && line.size() >= 2) {
            store.push_back(Section{Unescape(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        const std::size_t eq = FindSeparator(line);
        if (eq == std::string_view::npos || store.empty()) continue;
        store.back().entries.push_back(Entry{Unescape(line.substr(0, eq)), Unescape(line.substr(eq + 1))});
    }
    return store;
}

std::string Serialize(const Store& store) {
    std::string out;
    for (const Section& s : store) {
        if (!out.empty()) out += '\n';
        out += '[' + Escape(s.name, ']') + "]\n";
        for (const Entry& e : s.entries) out += Escape(e.key, '=') + '=' + Escape(e.value, 0) + '\n';
    }
    return out;
}

std::string SafeFileName(std::string app) {
    for (char& c : app)
        if (c == '/' || c == '\\' || c == ':' || c == '\0') c = '_';
    if (app.empty() || app == "." || app == "..") app = "_" + app;
    return app;
}

}  // namespace

namespace settings {

std::filesystem::path StoreFile(const std::string& app) {
    return base::UserConfigFolder() / "VB and VBA Program Settings" / (SafeFileName(app) + ".ini");
}

}  // namespace settings

namespace {

struct Change {
    std::string app, section, key, value;
};
std::mutex g_pendingMutex;
std::vector<Change> g_pending;  // kept for later, oldest first

// Writes the changes of one application's store under its lock.
settings::Saved Write(const std::string& app, const std::vector<const Change*>& changes,
                      std::chrono::milliseconds lockWait) {
    const std::filesystem::path file = settings::StoreFile(app);
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    // Read, change and write back under the lock, so that two programs saving at once both
    // keep their changes.
    const base::FileLock lock(std::filesystem::path(file).concat(".lock"), lockWait);
    if (!lock.locked()) return lock.heldByAnother() ? settings::Saved::KeptForLater : settings::Saved::NotWritable;
    const auto text = base::ReadFileCapped(file, kMaxStoreBytes);
    // A store that is there but cannot be read (no permission, over the size cap, a folder)
    // is never replaced by one holding this key alone.
    if (!text && std::filesystem::symlink_status(file, ec).type() != std::filesystem::file_type::not_found)
        return settings::Saved::Unreadable;
    Store store = text ? Parse(*text) : Store{};
    for (const Change* change : changes) {
        Section* target = nullptr;
        for (Section& s : store)
            if (text::EqualsAsciiNoCase(s.name, change->section)) target = &s;
        if (!target) {
            store.push_back(Section{change->section, {}});
            target = &store.back();
        }
        bool found = false;
        for (Entry& e : target->entries) {
            if (text::EqualsAsciiNoCase(e.key, change->key)) {
                e.value = change->value;
                found = true;
            }
        }
        if (!found) target->entries.push_back(Entry{change->key, change->value});
    }
    return base::ReplaceFileAtomically(file, Serialize(store)) ? settings::Saved::Yes : settings::Saved::NotWritable;
}

bool SameKey(const Change& a, const Change& b) {
    return a.app == b.app && text::EqualsAsciiNoCase(a.section, b.section) && text::EqualsAsciiNoCase(a.key, b.key);
}

}  // namespace

namespace settings {

Saved Save(const std::string& app, const std::string& section, const std::string& key, const std::string& value,
           std::chrono::milliseconds lockWait) {
    std::lock_guard guard(g_pendingMutex);
    Change change{app, section, key, value};
    // A value kept for later is overtaken by a newer one of its key.
    std::erase_if(g_pending, [&](const Change& kept) { return SameKey(kept, change); });
    const Saved saved = Write(app, {&change}, lockWait);
    if (saved == Saved::KeptForLater) g_pending.push_back(std::move(change));
    return saved;
}

Saved RetryPending(std::chrono::milliseconds lockWait) {
    std::lock_guard guard(g_pendingMutex);
    while (!g_pending.empty()) {
        const std::string app = g_pending.front().app;
        std::vector<const Change*> ofApp;
        for (const Change& c : g_pending)
            if (c.app == app) ofApp.push_back(&c);
        const Saved saved = Write(app, ofApp, lockWait);
        if (saved == Saved::KeptForLater) return saved;
        // Written, or never to be (the store became unreadable): either way no longer kept.
        std::erase_if(g_pending, [&](const Change& c) { return c.app == app; });
    }
    return Saved::Yes;
}

bool HasPending() {
    std::lock_guard guard(g_pendingMutex);
    return !g_pending.empty();
}

}  // namespace settings

std::string GetSetting(const std::string& app, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
    {
        std::lock_guard guard(g_pendingMutex);
        const Change wanted{app, section, key, {}};
        for (auto it = g_pending.rbegin(); it != g_pending.rend(); ++it)
            if (SameKey(*it, wanted)) return it->value;
    }
    const auto text = base::ReadFileCapped(settings::StoreFile(app), kMaxStoreBytes);
    if (!text) return defaultValue;
    for (const Section& s : Parse(*text)) {
        if (!text::EqualsAsciiNoCase(s.name, section)) continue;
        for (const Entry& e : s.entries)
            if (text::EqualsAsciiNoCase(e.key, key)) return e.value;
    }
    return defaultValue;
}

void SaveSetting(const std::string& app, const std::string& section, const std::string& key, const std::string& value) {
    // Written now or not at all: the caller hears why.
    const Change change{app, section, key, value};
    settings::Saved saved;
    {
        std::lock_guard guard(g_pendingMutex);
        std::erase_if(g_pending, [&](const Change& kept) { return SameKey(kept, change); });
        saved = Write(app, {&change}, std::chrono::seconds(10));
    }
    switch (saved) {
        case settings::Saved::Yes: return;
        case settings::Saved::KeptForLater:
            throw VbError(vb_errors::kPathFileAccess, "SaveSetting", settings::kLockedStore);
        case settings::Saved::Unreadable:
            throw VbError(vb_errors::kPathFileAccess, "SaveSetting", settings::kUnreadableStore);
        case settings::Saved::NotWritable: break;
    }
    throw VbError(vb_errors::kPathFileAccess, "SaveSetting", "Path/File access error");
}
