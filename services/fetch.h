#pragma once
// Downloads the body of a web page: a plain GET with the user agent "Mozilla" that bypasses
// every cache. Blocking, but the event pump installed by the GUI runs between chunks (and at
// least every 50 ms while waiting), so the window keeps repainting.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The whole body as bytes; "" when no connection or no page could be opened. An error page's
// body is returned like any other. A server that sends nothing for 30 seconds, or a page still
// arriving after 5 minutes, ends the fetch with what came so far. A body over 64 MiB is no page
// of ours: the fetch stops there and gives "".
std::string FetchPage(const std::string& address);
void SetFetchEventPump(std::function<void()> pump);  // runs after every chunk

// The same fetch, with what happened: the HTTP status of the answer (0 when no server
// answered) and, when no page came whole, why, in words for the user.
struct FetchResult {
    std::string body;
    long status = 0;
    std::string failure;     // empty when a page (of any status) arrived whole
    bool cancelled = false;  // fetch::CancelAll ended it; nothing to tell the user
    // The answer began and broke off (the connection cut before its end, a stall, the total
    // time): `body` holds what came, `failure` says why, and the validators are dropped, as
    // they name a page that did not arrive.
    bool incomplete = false;
    // The answer's validators, for a conditional fetch of the same page later ("" when none).
    std::string etag, lastModified;
    bool arrived() const { return failure.empty(); }
    bool succeeded() const { return arrived() && status >= 200 && status < 300; }
};
FetchResult FetchPageReport(const std::string& address);

namespace fetch {
inline constexpr std::size_t kMaxBodyBytes = std::size_t{64} * 1024 * 1024;
inline constexpr long kConnectTimeoutSeconds = 15;
inline constexpr long kStallTimeoutSeconds = 30;
inline constexpr long kTotalTimeoutSeconds = 300;
// Tests only: shorter timeouts (0 restores the default).
void SetStallTimeoutForTests(long seconds);
void SetTotalTimeoutForTests(long seconds);

// Ends every fetch under way within one turn of its loop (the program is closing): each
// returns with `cancelled` set and no body. Fetches begun afterwards run as usual.
void CancelAll();

// For the two client backends: the settings above as they stand, and the installed pump run.
long StallTimeoutSeconds();
long TotalTimeoutSeconds();
void RunEventPump();
// A number that changes at every CancelAll: a fetch that sees it differ from its start ends.
unsigned Generation();
}  // namespace fetch

// Limits of one fetch: the largest body taken (a larger one is refused whole, as one over the
// page cap is), and whether the event pump runs (never on a worker thread).
struct FetchLimits {
    std::size_t maxBytes = fetch::kMaxBodyBytes;
    bool pumpEvents = true;
    const std::atomic<bool>* cancel = nullptr;  // set: the fetch ends as CancelAll ends it
    // A conditional fetch: the validators of the copy at hand. The server answers 304 and no
    // body when that copy is still the page.
    std::string ifNoneMatch, ifModifiedSince;
    // The client's name for a server that asks clients to name themselves ("" says "Mozilla"),
    // and shorter limits for a service with mirrors to fall back to (0 keeps the defaults).
    std::string userAgent;
    long connectSeconds = 0, totalSeconds = 0;
    // Set: a server whose numeric address this says yes to is not asked (nor one a redirect
    // leads to); the fetch fails as if it could not be reached.
    bool (*refuseAddress)(std::string_view numericAddress) = nullptr;
};
FetchResult FetchPageReport(const std::string& address, const FetchLimits& limits);

namespace fetch {
// For the two client backends: the request's header lines of a conditional fetch
// ("If-None-Match: …"); a validator holding a line break (it came from a server) is left out,
// as it would add a header of its own.
std::vector<std::string> ValidatorHeaders(const FetchLimits& limits);
}  // namespace fetch
