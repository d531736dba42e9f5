// Where the program's own files live: beside a portable program, or in the user's data folder
// beside an installed one.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "base/app.h"
#include "base/program_files.h"
#include "support/program_folder.h"
#include "support/temp_dir.h"

#ifndef _WIN32  // the user's data folder is set through XDG_DATA_HOME here
namespace {

class ProgramFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_DATA_HOME")) m_oldData = old;
        ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    }
    void TearDown() override {
        program_files::SetProgramFolderWritableForTests(std::nullopt);
        ::setenv("XDG_DATA_HOME", m_oldData.c_str(), 1);
    }
    std::filesystem::path own(const char* name) const { return data / App::Info().productName / name; }
    static void Age(const std::filesystem::path& file, int seconds) {
        std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) - std::chrono::seconds(seconds));
    }

    ScopedProgramFolder configured;
    const TempDir& program = configured.folder();
    TempDir data;

private:
    std::string m_oldData;
};

}  // namespace

TEST_F(ProgramFiles, AWritableProgramFolderKeepsEveryFileBesideTheProgram) {
    program_files::SetProgramFolderWritableForTests(true);
    program.write("Favorites.txt", "shipped");
    std::filesystem::create_directories(own("x").parent_path());
    TempDir::write_to(own("Favorites.txt"), "the user's");
    EXPECT_EQ(program_files::ReadPath("Favorites.txt"), program / "Favorites.txt");
    EXPECT_EQ(program_files::WritePath("Data.htm"), program / "Data.htm");
}

TEST_F(ProgramFiles, AnUnwritableFolderSendsWritesToTheUsersFolderAndReadsTakeTheUsersCopy) {
    program_files::SetProgramFolderWritableForTests(false);
    program.write("Data.txt", "shipped");
    EXPECT_EQ(program_files::ReadPath("Data.txt"), program / "Data.txt");  // no copy of the user's yet
    EXPECT_EQ(program_files::ReadPath("Favorites.txt"), program / "Favorites.txt");
    const std::filesystem::path target = program_files::WritePath("Data.txt");
    EXPECT_EQ(target, own("Data.txt"));
    EXPECT_TRUE(std::filesystem::is_directory(target.parent_path()));  // made for the write
    TempDir::write_to(target, "updated");
    Age(program / "Data.txt", 60);
    EXPECT_EQ(program_files::ReadPath("Data.txt"), own("Data.txt"));
}

TEST_F(ProgramFiles, ANewerShippedFileWinsOverAnOlderCopyOfTheUsers) {
    program_files::SetProgramFolderWritableForTests(false);
    TempDir::write_to(program_files::WritePath("Data.txt"), "updated last month");
    Age(own("Data.txt"), 30 * 24 * 3600);
    program.write("Data.txt", "from the package upgrade");
    EXPECT_EQ(program_files::ReadPath("Data.txt"), program / "Data.txt");
}

TEST_F(ProgramFiles, TheUsersDataFolderIsNamedAfterTheProduct) {
    EXPECT_EQ(program_files::UserDataFolder(), data / App::Info().productName);
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(program_files::UserDataFolder().parent_path().filename(), "share");
}
#endif
