#include "guide/guide_update.h"

#include <fstream>
#include <vector>

#include "guide/gunzip.h"
#include "services/fetch_stream.h"

namespace guide {

UpdateResult Update(const UpdateRequest& request) {
    UpdateResult out;
    XmltvReader reader(request.wanted);
    bool tooLarge = false;
    Gunzip gunzip([&](std::string_view piece) {
        out.bytesUnpacked += piece.size();
        if (out.bytesUnpacked > request.maxBytes) {
            tooLarge = true;
            return false;
        }
        return reader.feed(piece);
    });
    const auto onData = [&](const char* data, std::size_t size) {
        out.bytesRead += size;
        return gunzip.feed(std::string_view(data, size));
    };

    const bool remote = request.address.find("://") != std::string::npos;
    if (remote) {
        fetch::StreamRequest get;
        get.address = request.address;
        get.ifModifiedSince = request.ifModifiedSince;
        get.onData = onData;
        get.cancel = request.cancel;
        get.stallSeconds = request.stallSeconds;
        const fetch::StreamResult fetched = fetch::FetchStream(get);
        if (fetched.cancelled) {
            out.outcome = UpdateResult::Outcome::Cancelled;
            return out;
        }
        if (fetched.status == 304) {
            out.outcome = UpdateResult::Outcome::Unchanged;
            return out;
        }
        if (fetched.status != 0 && (fetched.status < 200 || fetched.status >= 300)) {
            out.message = "the guide's server answered with HTTP status " + std::to_string(fetched.status);
            return out;
        }
        if (!fetched.failure.empty() && !fetched.stoppedByReader) {
            out.message = "the guide could not be downloaded: " + fetched.failure;
            return out;
        }
        out.lastModified = fetched.lastModified;
    } else {
        std::ifstream file(request.address, std::ios::binary);
        if (!file) {
            out.message = "the guide file " + request.address + " cannot be read";
            return out;
        }
        std::vector<char> buffer(std::size_t{1} << 20);
        while (file) {
            if (request.cancel && request.cancel->load()) {
                out.outcome = UpdateResult::Outcome::Cancelled;
                return out;
            }
            file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto n = static_cast<std::size_t>(file.gcount());
            if (n == 0 || !onData(buffer.data(), n)) break;
        }
    }
    if (tooLarge) {
        out.message = "the guide is larger than " + std::to_string(request.maxBytes >> 20) + " MiB unpacked";
        return out;
    }
    if (!reader.error().empty()) {
        out.message = "the guide is not valid XMLTV: " + reader.error();
        return out;
    }
    if (!gunzip.error().empty() || !gunzip.finish()) {
        out.message = gunzip.error();
        return out;
    }
    if (out.bytesUnpacked == 0) {
        out.message = "the guide is empty";
        return out;
    }
    if (!reader.finish()) {
        out.message = "the guide is not valid XMLTV: " + reader.error();
        return out;
    }
    out.data = reader.take();
    out.outcome = UpdateResult::Outcome::Updated;
    return out;
}

}  // namespace guide
