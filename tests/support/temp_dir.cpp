#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("viewer-test-" + std::to_string(rd()) + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore write permission first, so read-only fixtures can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ec);
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

void TempDir::write(std::string_view name, std::string_view bytes) const { write_to(m_path / name, bytes); }

void TempDir::write_to(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file");
}

std::string TempDir::read(std::string_view name) const {
    std::ifstream in(m_path / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

#ifndef _WIN32
#include <unistd.h>
#endif

bool RunningAsRoot() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

namespace {
#ifdef _WIN32
constexpr const char* kConfigVariable = "APPDATA";
void SetVariable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }
void UnsetVariable(const char* name) { _putenv_s(name, ""); }
#else
constexpr const char* kConfigVariable = "XDG_CONFIG_HOME";
void SetVariable(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }
void UnsetVariable(const char* name) { ::unsetenv(name); }
#endif
}  // namespace

void UseTemporaryHomes() {
#ifndef _WIN32
    // Windows keeps the registry and the internet client's files where the system says; the
    // tests that need their own settings folder point APPDATA there themselves.
    static TempDir homes;
    SetVariable("XDG_DATA_HOME", (homes / "data").string());
    SetVariable("MARLU_MACHINE_HIVES", (homes / "machine-hives").string());
    SetVariable(kConfigVariable, (homes / "config").string());
#endif
}

ScopedConfigHome::ScopedConfigHome() {
    if (const char* old = std::getenv(kConfigVariable)) {
        m_had = true;
        m_old = old;
    }
    SetVariable(kConfigVariable, m_dir.path().string());
}

ScopedConfigHome::~ScopedConfigHome() {
    if (m_had)
        SetVariable(kConfigVariable, m_old);
    else
        UnsetVariable(kConfigVariable);
}
