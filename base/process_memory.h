#pragma once
// How much memory the running process holds now (its resident set), for watchdogs that stop
// work growing without bound. 0 when the system does not say.
#include <cstdint>

namespace base {
std::uint64_t ResidentBytes();

// Has the C library's allocator keep memory it was given back for the next stream, and share it
// across threads. Every stream a player opens takes large zeroed blocks (a 10 MiB probe buffer,
// pools of decoded frames of a few MiB each) and gives them back when it closes. By default
// glibc returns such blocks to the system, and keeps what it does hold in one pool per thread
// (a player's threads are new for every stream), so each open touches fresh pages: thousands of
// page faults, which were half of a zap's time on the machines measured. Here blocks of up to
// 32 MiB come from the heap, up to 64 MiB of freed memory stays mapped, and all threads share
// two pools. Call it first thing in main, before any thread starts. Elsewhere it does nothing.
void KeepFreedMemoryForReuse();
}  // namespace base
