// What both page-fetch backends share: the event pump, the timeouts and the conditional headers.
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

std::vector<std::string> ValidatorHeaders(const FetchLimits& limits) {
    std::vector<std::string> lines;
    for (const auto& [name, value] :
         {std::pair{"If-None-Match: ", &limits.ifNoneMatch}, std::pair{"If-Modified-Since: ", &limits.ifModifiedSince}})
        if (!value->empty() && value->find_first_of("\r\n") == std::string::npos) lines.push_back(name + *value);
    return lines;
}

void RunEventPump() {
    if (g_pump) g_pump();
}

}  // namespace fetch
