// FetchStream on libcurl's multi interface, polled in 50 ms steps so that the cancel flag is
// seen promptly even while a server sends nothing.
#include <curl/curl.h>

#include <mutex>

#include "base/text.h"
#include "services/curl_reason.h"
#include "services/fetch.h"
#include "services/fetch_stream.h"

namespace fetch {
namespace {

struct Transfer {
    const StreamRequest* request = nullptr;
    StreamResult* result = nullptr;
};

std::size_t OnData(char* ptr, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (t->request->onData && !t->request->onData(ptr, n)) {
        t->result->stoppedByReader = true;
        return 0;
    }
    return n;
}

std::size_t OnHeader(char* ptr, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    const std::string_view line(ptr, n);
    constexpr std::string_view kName = "last-modified:";
    if (text::StartsWithAsciiNoCase(line, kName))
        t->result->lastModified = text::TrimBlanks(line.substr(kName.size()), " \t\r\n");
    return n;
}

}  // namespace

StreamResult FetchStream(const StreamRequest& request) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    StreamResult out;
    CURL* easy = curl_easy_init();
    if (!easy) {
        out.failure = "the internet client could not be started";
        return out;
    }
    Transfer transfer{&request, &out};
    curl_slist* headers = nullptr;
    if (!request.ifModifiedSince.empty())
        headers = curl_slist_append(headers, ("If-Modified-Since: " + request.ifModifiedSince).c_str());
    curl_easy_setopt(easy, CURLOPT_URL, request.address.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Mozilla");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, request.stallSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, request.totalSeconds);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);

    CURLM* multi = curl_multi_init();
    curl_multi_add_handle(multi, easy);
    int running = 1;
    while (running) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) break;
        if (request.cancel && request.cancel->load()) {
            out.cancelled = true;
            break;
        }
        if (running) curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
    CURLcode code = CURLE_OK;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left))
        if (msg->msg == CURLMSG_DONE) code = msg->data.result;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &out.status);
    curl_multi_remove_handle(multi, easy);
    curl_multi_cleanup(multi);
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    if (out.cancelled)
        out.failure = "the download was cancelled";
    else if (code != CURLE_OK && !out.stoppedByReader)
        out.failure = fetch::CurlReason(code);
    return out;
}

}  // namespace fetch
