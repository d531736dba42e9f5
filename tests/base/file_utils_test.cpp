#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_utils.h"
#include "support/temp_dir.h"

using xfileExists::FileExists;
using xfileExists::FileNamePart;

TEST(FileNamePart, TakesThePartAfterTheLastSeparator) {
    EXPECT_EQ(FileNamePart("C:\\Program Files\\Viewer\\admin.txt"), "admin.txt");
    EXPECT_EQ(FileNamePart("/opt/viewer/admin.txt"), "admin.txt");
    EXPECT_EQ(FileNamePart("admin.txt"), "admin.txt");
    EXPECT_EQ(FileNamePart(""), "");
    EXPECT_EQ(FileNamePart("folder\\"), "");
}

TEST(FileExists, FilesOfAnyAttributeCount) {
    TempDir dir;
    dir.write("admin.txt", "");
    dir.write(".hidden", "x");
    dir.write("readonly.txt", "x");
    std::filesystem::permissions(dir / "readonly.txt", std::filesystem::perms::owner_read);
    EXPECT_TRUE(FileExists((dir / "admin.txt").string()));
    EXPECT_TRUE(FileExists((dir / ".hidden").string()));
    EXPECT_TRUE(FileExists((dir / "readonly.txt").string()));
}

TEST(FileExists, FoldersDoNotCountEvenWhenNamedLikeFiles) {
    TempDir dir;
    std::filesystem::create_directory(dir / "admin.txt");
    EXPECT_FALSE(FileExists((dir / "admin.txt").string()));
}

TEST(FileExists, LetterCaseOfTheNameDoesNotMatter) {
    TempDir dir;
    dir.write("Admin.TXT", "");
    EXPECT_TRUE(FileExists((dir / "admin.txt").string()));
    EXPECT_TRUE(FileExists((dir / "ADMIN.txt").string()));
}

TEST(FileExists, WildcardsAndMissingOrInvalidPathsAreFalse) {
    TempDir dir;
    dir.write("a.txt", "");
    EXPECT_FALSE(FileExists((dir / "*.txt").string()));
    EXPECT_FALSE(FileExists((dir / "?.txt").string()));
    EXPECT_FALSE(FileExists((dir / "missing.txt").string()));
    EXPECT_FALSE(FileExists((dir / "no-folder" / "a.txt").string()));
    EXPECT_FALSE(FileExists(""));
#ifndef _WIN32  // no file can bear "*" in its name there
    dir.write("*.txt", "");
    EXPECT_TRUE(FileExists((dir / "*.txt").string()));  // a file literally bearing the pattern
#endif
}

#ifndef _WIN32
TEST(ResolveCase, FindsTheNameInAnyLetterCaseAndPrefersAFile) {
    TempDir dir;
    dir.write("favorites.txt", "x");
    EXPECT_EQ(xfileExists::ResolveCase(dir / "Favorites.txt"), dir / "favorites.txt");
    EXPECT_EQ(xfileExists::ResolveCase(dir / "favorites.txt"), dir / "favorites.txt");
    EXPECT_EQ(xfileExists::ResolveCase(dir / "Data.txt"), dir / "Data.txt");  // none: as asked
    std::filesystem::create_directory(dir / "HELP");
    dir.write("Help", "a file");
    EXPECT_EQ(xfileExists::ResolveCase(dir / "help"), dir / "Help");
    EXPECT_EQ(xfileExists::ResolveCase(dir / "missing" / "x.txt"), dir / "missing" / "x.txt");
}
#endif
