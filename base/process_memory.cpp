#include "base/process_memory.h"

#ifdef _WIN32
#include <windows.h>
// psapi.h needs the types windows.h declares first.
#include <psapi.h>
#else
#include <unistd.h>

#include <cstdio>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace base {

std::uint64_t ResidentBytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize;
#else
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return 0;
    unsigned long long size = 0, resident = 0;
    const int read = std::fscanf(statm, "%llu %llu", &size, &resident);
    std::fclose(statm);
    if (read != 2) return 0;
    return static_cast<std::uint64_t>(resident) * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
#endif
}

void KeepFreedMemoryForReuse() {
#ifdef __GLIBC__
    // Two pools for all threads: what one player's thread gave back serves the next one's.
    mallopt(M_ARENA_MAX, 2);
    // A fixed threshold also stops glibc from moving it on its own.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

}  // namespace base
