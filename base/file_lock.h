#pragma once
// An advisory lock on a small file beside the one it guards, so that two processes (or two
// threads) that read, change and rewrite the same file take turns and neither loses the
// other's change. The lock goes with the process: a killed holder never leaves it taken.
#include <chrono>
#include <filesystem>

namespace base {

class FileLock {
public:
    // Takes the lock on `lockFile` (made when missing), waiting at most `wait` for another
    // holder to let go.
    FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds wait);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Whether the lock is held (false when the file could not be made or the wait ran out).
    bool locked() const { return m_locked; }
    // Whether it is not held because another holder kept it for the whole wait.
    bool heldByAnother() const { return m_busy; }

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
    bool m_locked = false;
    bool m_busy = false;
};

}  // namespace base
