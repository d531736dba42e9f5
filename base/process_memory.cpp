#include "base/process_memory.h"

#ifdef _WIN32
#include <windows.h>
// psapi.h needs the types windows.h declares first.
#include <psapi.h>
#else
#include <unistd.h>

#include <cstdio>
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

}  // namespace base
