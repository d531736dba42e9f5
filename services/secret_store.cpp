#include "services/secret_store.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "base/file_io.h"
#include "base/program_files.h"

#ifdef VIEWER_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

namespace secrets {

namespace {

std::atomic<bool> g_fileOnly{false};

namespace fs = std::filesystem;

fs::path FolderOf() { return program_files::UserDataFolder() / "Secrets"; }
fs::path FileOf(const std::string& id) { return FolderOf() / id; }

bool IsId(const std::string& id) {
    return !id.empty() && id.size() <= 9 && id.find_first_not_of("0123456789") == std::string::npos;
}

bool StoreInFile(const std::string& id, const std::string& secret) {
    std::error_code ec;
    fs::create_directories(FolderOf(), ec);
    fs::permissions(FolderOf(), fs::perms::owner_all, ec);
    return bool(base::ReplaceOwnerOnlyFile(FileOf(id), secret));
}

#ifdef VIEWER_HAVE_LIBSECRET
// Only with a session bus: without one, asking for it could start a bus of its own.
bool SessionStore() { return !g_fileOnly && std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr; }

const SecretSchema* Schema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.marlu.Viewer.Account";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"folder", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"source", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[2] = {"server", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[3] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

// The per-user folder tells one installation's accounts from another's.
std::string Folder() { return program_files::UserDataFolder().string(); }
#endif

}  // namespace

void UseFileOnlyForTests(bool fileOnly) { g_fileOnly = fileOnly; }

bool Store(const std::string& id, const std::string& server, const std::string& user, const std::string& secret) {
    if (!IsId(id)) return false;
#ifdef VIEWER_HAVE_LIBSECRET
    if (SessionStore()) {
        GError* error = nullptr;
        const std::string label = user + " (" + server + ")";
        const std::string folder = Folder();
        const bool stored = secret_password_store_sync(
            Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), nullptr, &error, "folder",
            folder.c_str(), "source", id.c_str(), "server", server.c_str(), "user", user.c_str(), nullptr);
        if (error) g_error_free(error);
        if (stored) {
            std::error_code ec;
            fs::remove(FileOf(id), ec);  // one kept before the store was there
            return true;
        }
    }
#else
    (void)server;
    (void)user;
#endif
    return StoreInFile(id, secret);
}

std::optional<std::string> Lookup(const std::string& id) {
    if (!IsId(id)) return std::nullopt;
#ifdef VIEWER_HAVE_LIBSECRET
    if (SessionStore()) {
        GError* error = nullptr;
        const std::string folder = Folder();
        gchar* found = secret_password_lookup_sync(Schema(), nullptr, &error, "folder", folder.c_str(), "source",
                                                   id.c_str(), nullptr);
        if (error) g_error_free(error);
        if (found) {
            std::string out(found);
            secret_password_free(found);
            return out;
        }
    }
#endif
    return base::ReadFileCapped(FileOf(id), std::uintmax_t{64} * 1024);
}

void Forget(const std::string& id) {
    if (!IsId(id)) return;
#ifdef VIEWER_HAVE_LIBSECRET
    if (SessionStore()) {
        GError* error = nullptr;
        const std::string folder = Folder();
        secret_password_clear_sync(Schema(), nullptr, &error, "folder", folder.c_str(), "source", id.c_str(), nullptr);
        if (error) g_error_free(error);
    }
#endif
    std::error_code ec;
    fs::remove(FileOf(id), ec);
}

}  // namespace secrets
