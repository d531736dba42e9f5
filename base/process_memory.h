#pragma once
// How much memory the running process holds now (its resident set), for watchdogs that stop
// work growing without bound. 0 when the system does not say.
#include <cstdint>

namespace base {
std::uint64_t ResidentBytes();
}  // namespace base
