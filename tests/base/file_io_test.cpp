#include <gtest/gtest.h>

#include <filesystem>

#include "base/file_io.h"
#include "support/temp_dir.h"

using base::ReplaceFileAtomically;
using base::WriteStep;

namespace {
std::size_t FileCount(const std::filesystem::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}
}  // namespace

TEST(ReadFileCapped, ReadsWholeFilesAndRefusesLargerOnesAndFolders) {
    TempDir dir;
    dir.write("a.txt", std::string("x\0y\r\n", 5));
    EXPECT_EQ(base::ReadFileCapped(dir / "a.txt", 100), std::string("x\0y\r\n", 5));
    EXPECT_FALSE(base::ReadFileCapped(dir / "a.txt", 4).has_value());
    EXPECT_FALSE(base::ReadFileCapped(dir / "missing", 100).has_value());
    EXPECT_FALSE(base::ReadFileCapped(dir.path(), 100).has_value());
}

TEST(ReplaceFileAtomically, CreatesAndReplaces) {
    TempDir dir;
    ASSERT_TRUE(ReplaceFileAtomically(dir / "f.txt", "first"));
    EXPECT_EQ(dir.read("f.txt"), "first");
    ASSERT_TRUE(ReplaceFileAtomically(dir / "f.txt", ""));
    EXPECT_EQ(dir.read("f.txt"), "");
    EXPECT_EQ(FileCount(dir.path()), 1u);
}

#ifndef _WIN32  // permission bits and read-only folders are POSIX matters
TEST(ReplaceFileAtomically, KeepsPermissionBits) {
    TempDir dir;
    dir.write("f.txt", "old");
    std::filesystem::permissions(dir / "f.txt",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(ReplaceFileAtomically(dir / "f.txt", "new"));
    EXPECT_EQ(std::filesystem::status(dir / "f.txt").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A read-only file is left as it is, even where the folder may be written.
TEST(ReplaceFileAtomically, AReadOnlyFileIsNotReplaced) {
    TempDir dir;
    dir.write("Localization.xml", "the translator's own");
    std::filesystem::permissions(dir / "Localization.xml", std::filesystem::perms::owner_read);
    const auto result = ReplaceFileAtomically(dir / "Localization.xml", "generated");
    EXPECT_FALSE(result);
    EXPECT_NE(result.error.find("read-only"), std::string::npos) << result.error;
    EXPECT_EQ(dir.read("Localization.xml"), "the translator's own");
    EXPECT_EQ(FileCount(dir.path()), 1u);
}

#endif

TEST(ReplaceFileAtomically, AFailureInTheMiddleOfALargeFileKeepsTheOldOne) {
    TempDir dir;
    const std::string old(3u << 20, 'o'), fresh((3u << 20) + 5, 'n');
    dir.write("big.bin", old);
    for (int occurrence : {1, 2, 3, 4}) {
        base::InjectWriteFailure(WriteStep::Write, {}, occurrence);
        const auto result = ReplaceFileAtomically(dir / "big.bin", fresh);
        base::InjectWriteFailure(std::nullopt);
        EXPECT_FALSE(result.ok) << occurrence;
        EXPECT_EQ(dir.read("big.bin"), old) << occurrence;
        EXPECT_EQ(FileCount(dir.path()), 1u) << occurrence;
    }
    base::InjectWriteFailure(WriteStep::Write, {}, 5);  // one piece more than the file has
    EXPECT_TRUE(ReplaceFileAtomically(dir / "big.bin", fresh).ok);
    base::InjectWriteFailure(std::nullopt);
    EXPECT_EQ(dir.read("big.bin"), fresh);
}

TEST(ReplaceFileAtomically, AFailureLimitedToAFolderSparesFilesElsewhere) {
    TempDir dir;
    std::filesystem::create_directories(dir / "locked" / "deep");
    std::filesystem::create_directories(dir / "lockedness");
    base::InjectWriteFailure(WriteStep::Open, dir / "locked");
    EXPECT_FALSE(ReplaceFileAtomically(dir / "locked" / "a.txt", "x").ok);
    EXPECT_FALSE(ReplaceFileAtomically(dir / "locked" / "deep" / "b.txt", "x").ok);
    EXPECT_TRUE(ReplaceFileAtomically(dir / "lockedness" / "c.txt", "x").ok);  // a name that only starts alike
    EXPECT_TRUE(ReplaceFileAtomically(dir / "d.txt", "x").ok);
    base::InjectWriteFailure(std::nullopt);
    EXPECT_TRUE(ReplaceFileAtomically(dir / "locked" / "a.txt", "x").ok);
}

TEST(ReplaceFileAtomically, AFailureAtAnyStepKeepsTheOldFileWholeAndLeavesNothingBehind) {
    for (WriteStep step : {WriteStep::Open, WriteStep::Write, WriteStep::Flush, WriteStep::Sync, WriteStep::Rename}) {
        TempDir dir;
        dir.write("f.txt", "old contents");
        base::InjectWriteFailure(step);
        const auto result = ReplaceFileAtomically(dir / "f.txt", "new contents");
        base::InjectWriteFailure(std::nullopt);
        EXPECT_FALSE(result.ok) << static_cast<int>(step);
        EXPECT_FALSE(result.error.empty());
        EXPECT_EQ(dir.read("f.txt"), "old contents");
        EXPECT_EQ(FileCount(dir.path()), 1u) << "temporary file left behind at step " << static_cast<int>(step);
    }
}

#ifndef _WIN32
TEST(ReplaceFileAtomically, ReadOnlyFolderIsReportedAndTheFileKept) {
    if (RunningAsRoot()) GTEST_SKIP() << "root writes into read-only folders";
    TempDir dir;
    dir.write("f.txt", "old");
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const auto result = ReplaceFileAtomically(dir / "f.txt", "new");
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(dir.read("f.txt"), "old");
}

#endif

TEST(ReplaceFileAtomically, MissingFolderFails) {
    TempDir dir;
    EXPECT_FALSE(ReplaceFileAtomically(dir / "no" / "such" / "f.txt", "x").ok);
}

// What a kill during a write leaves behind is cleared once it is old enough; everything else
// in the folder, and a write under way, is left alone.
TEST(RemoveStaleTemporaries, RemovesOnlyOurOldTemporaries) {
    TempDir dir;
    auto make = [&](const std::string& name, std::chrono::seconds age) {
        const auto path = dir.path() / name;
        ASSERT_TRUE(ReplaceFileAtomically(path, "x"));
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - age);
    };
    const std::chrono::seconds old{120}, fresh{5};
    make("Favorites.txt.0123456789abcdef.tmp", old);
    make("Data.txt.FEDCBA9876543210.tmp", old);
    make("Data.htm.00000000000000aa.tmp", fresh);     // perhaps another instance writing now
    make("notes.tmp", old);                           // not ours
    make("Data.txt.0123456789abcdeg.tmp", old);       // not hex
    make("Data.txt.0123456789abcdef.tmp.keep", old);  // not ours
    make(".0123456789abcdef.tmp", old);               // no name before it
    make("Favorites.txt", old);
    std::filesystem::create_directory(dir.path() / "Dir.0123456789abcdef.tmp");

    EXPECT_EQ(base::RemoveStaleTemporaries(dir.path(), std::chrono::seconds(60)), 2u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Favorites.txt.0123456789abcdef.tmp"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Data.txt.FEDCBA9876543210.tmp"));
    EXPECT_EQ(FileCount(dir.path()), 7u);
    EXPECT_EQ(base::RemoveStaleTemporaries(dir.path() / "missing", std::chrono::seconds(60)), 0u);
}
