#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "registry_fixture.h"

// A writer killed in the middle of a long run of writes leaves a hive that opens and holds every
// write that completed.
TEST_F(RegistryTest, AKilledWriterLeavesAWholeHiveWithEveryCompletedWrite) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const std::string machine = (dir / "machine").string(), user = (dir / "user").string();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(REGISTRY_CRASH_WRITER, REGISTRY_CRASH_WRITER, machine.c_str(), user.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    std::string seen;
    long lastDone = -1;
    char buffer[4096];
    while (lastDone < 300) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(n));
        const std::size_t end = seen.rfind('\n');
        if (end == std::string::npos) continue;
        const std::size_t start = seen.rfind('\n', end - 1);
        lastDone = std::stol(seen.substr(start == std::string::npos ? 0 : start + 1, end));
    }
    ::kill(pid, SIGKILL);
    // Lines printed before the kill count as completed writes too.
    while (true) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: " << status;
    const std::size_t end = seen.rfind('\n');
    const std::size_t start = seen.rfind('\n', end - 1);
    lastDone = std::stol(seen.substr(start == std::string::npos ? 0 : start + 1, end));
    ASSERT_GE(lastDone, 300);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2((dir / "user" / "HKEY_CURRENT_USER.hive").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);

    SetHiveFolders(dir / "machine", dir / "user");
    for (long i = 0; i <= lastDone; ++i) {
        const std::string key = "HKCU\\Crash\\Batch" + std::to_string(i / 100);
        ASSERT_EQ(reg.ReadString(key, "v" + std::to_string(i), "missing").substr(0, std::to_string(i).size()),
                  std::to_string(i))
            << "write " << i << " of " << lastDone;
    }
}
