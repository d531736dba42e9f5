// What both page-fetch backends share: the event pump and the timeouts.
#include <atomic>
#include <utility>

#include "services/fetch.h"

namespace {
std::function<void()> g_pump;
long g_stallSeconds = fetch::kStallTimeoutSeconds;
long g_totalSeconds = fetch::kTotalTimeoutSeconds;
std::atomic<unsigned> g_generation{0};
}  // namespace

void SetFetchEventPump(std::function<void()> pump) { g_pump = std::move(pump); }

namespace fetch {

void SetStallTimeoutForTests(long seconds) { g_stallSeconds = seconds > 0 ? seconds : kStallTimeoutSeconds; }
void SetTotalTimeoutForTests(long seconds) { g_totalSeconds = seconds > 0 ? seconds : kTotalTimeoutSeconds; }
long StallTimeoutSeconds() { return g_stallSeconds; }
long TotalTimeoutSeconds() { return g_totalSeconds; }

void CancelAll() { ++g_generation; }
unsigned Generation() { return g_generation.load(); }

void RunEventPump() {
    if (g_pump) g_pump();
}

}  // namespace fetch
