#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "base/process_memory.h"

// glibc's allocator (AddressSanitizer brings its own, which holds freed memory back on purpose).
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#include <sys/resource.h>
#include <unistd.h>

namespace {

// What a stream's open takes on its own new thread: a 10 MiB probe buffer, filled, given back
// when the stream closes. The page faults the filling cost that thread.
long OpenOnNewThread() {
    long faults = -1;
    std::thread opener([&] {
        constexpr std::size_t kProbe = std::size_t{10} << 20;
        rusage before{}, after{};
        getrusage(RUSAGE_THREAD, &before);
        auto* buffer = static_cast<char*>(std::malloc(kProbe));
        if (!buffer) return;
        std::memset(buffer, 0x5a, kProbe);            // (zeros would let the compiler ask for zeroed memory)
        asm volatile("" : : "r"(buffer) : "memory");  // filled for real, though never read
        getrusage(RUSAGE_THREAD, &after);
        faults = after.ru_minflt - before.ru_minflt;
        std::free(buffer);
    });
    opener.join();
    return faults;
}

}  // namespace

// Each stream's opener is a new thread: once one stream has opened, the next ones find the
// memory the last one gave back still mapped, and fill it without faulting its pages in again.
TEST(KeepFreedMemoryForReuse, TheNextStreamsBuffersCostNoPageFaults) {
    base::KeepFreedMemoryForReuse();
    const long pages = (10L << 20) / sysconf(_SC_PAGESIZE);
    ASSERT_GT(OpenOnNewThread(), pages / 2);  // the first open maps fresh memory
    for (int stream = 2; stream <= 4; ++stream) EXPECT_LT(OpenOnNewThread(), pages / 20) << "stream " << stream;
}
#endif
