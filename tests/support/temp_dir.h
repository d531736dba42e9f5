#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it.
#include <filesystem>
#include <string>
#include <string_view>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

    void write(std::string_view name, std::string_view bytes) const;
    // Writes any file (the test's own, outside a TempDir too).
    static void write_to(const std::filesystem::path& file, std::string_view bytes);
    std::string read(std::string_view name) const;

private:
    std::filesystem::path m_path;
};

// True when the tests run with the rights of the system administrator (root), who may write
// read-only files and folders.
bool RunningAsRoot();

// For a whole test program, called first in its main: every folder outside the program folder
// that the program may write (per-user settings, the user's data, the machine hives) points
// into one fresh temporary folder, removed when the program ends. Tests that need their own
// folders set them on top.
void UseTemporaryHomes();

// Points the per-user settings store at a fresh folder for the life of the object.
class ScopedConfigHome {
public:
    ScopedConfigHome();
    ~ScopedConfigHome();
    const std::filesystem::path& path() const { return m_dir.path(); }

private:
    TempDir m_dir;
    std::string m_old;
    bool m_had = false;
};
