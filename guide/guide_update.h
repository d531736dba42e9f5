#pragma once
// Brings the guide up to date: downloads it (or reads a local file), unpacks gzip, reads the
// XMLTV as it arrives and keeps the programmes of our channels. Blocking: run it on a worker
// thread; the cancel flag ends it within a moment.
#include <atomic>
#include <cstdint>
#include <string>

#include "guide/xmltv.h"

namespace guide {

struct UpdateRequest {
    std::string address;          // http(s) address or a local file's path
    std::string ifModifiedSince;  // from the cache, for a guide fetched before from this address
    Wanted wanted;
    const std::atomic<bool>* cancel = nullptr;
    std::uint64_t maxBytes = std::uint64_t{2} << 30;  // unpacked; a larger guide is refused
    long stallSeconds = 30;
};

struct UpdateResult {
    enum class Outcome { Updated, Unchanged, Failed, Cancelled };
    Outcome outcome = Outcome::Failed;
    std::string message;       // for Failed: why, in words for the user
    std::string lastModified;  // for Updated
    GuideData data;            // for Updated
    std::uint64_t bytesRead = 0, bytesUnpacked = 0;
};

UpdateResult Update(const UpdateRequest& request);

}  // namespace guide
