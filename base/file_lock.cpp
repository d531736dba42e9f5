#include "base/file_lock.h"

#include <cerrno>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace base {

namespace {
constexpr std::chrono::milliseconds kRetry{5};
}

#ifdef _WIN32

FileLock::FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds wait) {
    HANDLE h = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    m_handle = h;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        OVERLAPPED at{};
        if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            m_locked = true;
            return;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) return;
        if (std::chrono::steady_clock::now() >= deadline) {
            m_busy = true;
            return;
        }
        std::this_thread::sleep_for(kRetry);
    }
}

FileLock::~FileLock() {
    if (!m_handle) return;
    if (m_locked) {
        OVERLAPPED at{};
        UnlockFileEx(m_handle, 0, 1, 0, &at);
    }
    CloseHandle(m_handle);
}

#else

FileLock::FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds wait) {
    m_fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        if (std::chrono::steady_clock::now() >= deadline) {
            m_busy = true;
            return;
        }
        std::this_thread::sleep_for(kRetry);
    }
}

FileLock::~FileLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing lets go of the lock
}

#endif

}  // namespace base
