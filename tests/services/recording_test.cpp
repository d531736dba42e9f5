// Recording's files: their names, never over another file, and the copy from the player's pipe:
// appended across the player's reopenings, ended with the reason by a full disk or a folder
// that went, keeping what was written.
#include "services/recording.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "support/temp_dir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#endif

TEST(Recording, NamesAreSafeFreeAndInTheStreamsContainer) {
    EXPECT_EQ(recording::SafeFileName("News: 24/7 <HD>?"), "News_ 24_7 _HD__");
    EXPECT_EQ(recording::SafeFileName("..hidden. "), "hidden");
    EXPECT_EQ(recording::SafeFileName(""), "Recording");
    const std::string longName = std::string(99, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(recording::SafeFileName(longName), std::string(99, 'a')) << "cut at a whole character";

    TempDir folder;
    EXPECT_EQ(recording::FreePath(folder.path(), "News 2026", "ts"), folder / "News 2026.ts");
    folder.write("News 2026.ts", "old");
    folder.write("News 2026 (2).ts", "old");
    EXPECT_EQ(recording::FreePath(folder.path(), "News 2026", "ts"), folder / "News 2026 (3).ts");

    EXPECT_EQ(recording::ExtensionFor("hls", true), "ts");
    EXPECT_EQ(recording::ExtensionFor("mp3", false), "mp3");
    EXPECT_EQ(recording::ExtensionFor("mov,mp4,m4a,3gp,3g2,mj2", true), "mkv");
}

#ifndef _WIN32
namespace {

bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
    for (int waited = 0; waited < ms; waited += 10) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

}  // namespace

TEST(Recording, ThePipeIsCopiedAcrossReopeningsAndAFullDiskOrAGoneFolderEndsIt) {
    TempDir folder;
    std::string error;
    // Never over a file that is there.
    folder.write("taken.ts", "keep me");
    EXPECT_EQ(recording::Sink::Open(folder / "taken.ts", error), nullptr);
    EXPECT_EQ(folder.read("taken.ts"), "keep me");

    // The player writes, lets go (a dropped stream), and writes again: one file, in order.
    auto sink = recording::Sink::Open(folder / "one.ts", error);
    ASSERT_NE(sink, nullptr) << error;
    EXPECT_TRUE(sink->pipePath().ends_with(".ts")) << "the player picks its container by the name";
    const auto playerWrites = [&](const std::string& bytes) {
        const int fd = ::open(sink->pipePath().c_str(), O_WRONLY | O_TRUNC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    };
    const std::string first(300000, 'a'), second(200000, 'b');
    playerWrites(first);
    playerWrites(second);
    EXPECT_TRUE(WaitUntil([&] { return sink->bytes() == first.size() + second.size(); }));
    const std::string pipe = sink->pipePath();
    sink->finish();
    EXPECT_EQ(folder.read("one.ts"), first + second);
    EXPECT_FALSE(std::filesystem::exists(pipe)) << "the pipe and its folder go";
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(pipe).parent_path()));

    // A full disk: what fitted stays, the rest is passed by so the player is never held up.
    recording::Sink::SetSpaceForTests(250000);
    sink = recording::Sink::Open(folder / "full.ts", error);
    ASSERT_NE(sink, nullptr) << error;
    playerWrites(first);
    playerWrites(second);  // would block for ever if the pipe were no longer read
    EXPECT_TRUE(WaitUntil([&] { return sink->failed(); }));
    EXPECT_EQ(sink->failure(), "the disk is full");
    sink->finish();
    recording::Sink::SetSpaceForTests(0);
    EXPECT_EQ(folder.read("full.ts"), first.substr(0, 250000));

    // The folder goes while recording.
    const auto gone = folder / "gone";
    std::filesystem::create_directories(gone);
    sink = recording::Sink::Open(gone / "rec.ts", error);
    ASSERT_NE(sink, nullptr) << error;
    playerWrites(first);
    std::filesystem::remove_all(gone);
    EXPECT_TRUE(WaitUntil([&] { return sink->failed(); }));
    EXPECT_EQ(sink->failure(), "the folder " + gone.string() + " is gone");
}

// Forty quick presses of R once left twenty empty files; a program killed while recording left
// its pipe folder for good.
TEST(Recording, NothingRecordedLeavesNoFileAndADeadProgramsPipeFolderGoesAtTheNextStart) {
    TempDir folder;
    std::string error;
    auto sink = recording::Sink::Open(folder / "empty.ts", error);
    ASSERT_NE(sink, nullptr) << error;
    sink->finish();
    EXPECT_FALSE(std::filesystem::exists(folder / "empty.ts"));

    // A pipe folder of a process that is gone, one of this (living) process, and another user's
    // kind of name that is not ours: only the first goes.
    const std::string tmp = std::getenv("TMPDIR") && *std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::filesystem::path left = tmp + "/viewer-record-" + std::to_string(dead) + "-abc123";
    const std::filesystem::path mine = tmp + "/viewer-record-" + std::to_string(::getpid()) + "-abc123";
    for (const auto& f : {left, mine}) {
        std::filesystem::create_directories(f);
        ASSERT_EQ(::mkfifo((f / "stream.ts").c_str(), 0600), 0);
    }
    recording::CleanLeftovers();
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_TRUE(std::filesystem::exists(mine / "stream.ts")) << "a living program's recording is not touched";
    std::filesystem::remove_all(mine);
}
#endif
