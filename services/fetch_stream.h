#pragma once
// A download handed to its reader piece by piece as it arrives, for documents too large to
// hold whole (programme guides run to hundreds of megabytes). Blocking: meant for a worker
// thread, with a flag another thread sets to end it.
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

namespace fetch {

struct StreamRequest {
    std::string address;
    // An HTTP date ("Mon, 07 Dec 2026 20:00:00 GMT"): sent as If-Modified-Since when not empty,
    // so an unchanged document costs one short answer (status 304).
    std::string ifModifiedSince;
    // Receives the body; returning false ends the transfer (the reader has seen enough or
    // refuses the rest).
    std::function<bool(const char* data, std::size_t size)> onData;
    const std::atomic<bool>* cancel = nullptr;  // set from another thread: ends within 50 ms
    long stallSeconds = 30;                     // no byte for this long ends the transfer
    long totalSeconds = 900;
};

struct StreamResult {
    long status = 0;           // HTTP status; 0 when no server answered
    std::string lastModified;  // the answer's Last-Modified, for the next request
    std::string failure;       // why the transfer did not end normally, for the user; empty when it did
    bool cancelled = false;
    bool stoppedByReader = false;  // onData returned false
};

StreamResult FetchStream(const StreamRequest& request);

}  // namespace fetch
