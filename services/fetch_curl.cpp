// FetchPage on libcurl's multi interface: the transfer advances in short polls, and the event
// pump runs after each, so a slow or silent server never freezes the window.
#include <curl/curl.h>

#include <algorithm>
#include <mutex>

#include "services/curl_reason.h"
#include "services/fetch.h"

namespace {

struct Body {
    CURL* easy = nullptr;
    std::string data;
    std::size_t maxBytes = fetch::kMaxBodyBytes;
    bool capped = false;
};

std::size_t OnData(char* ptr, std::size_t size, std::size_t count, void* user) {
    auto* body = static_cast<Body*>(user);
    const std::size_t n = size * count;
    if (body->data.empty()) {
        // Room for the whole announced body at once, within the cap.
        curl_off_t announced = -1;
        if (curl_easy_getinfo(body->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK && announced > 0)
            body->data.reserve(
                static_cast<std::size_t>(std::min<curl_off_t>(announced, static_cast<curl_off_t>(body->maxBytes))));
    }
    const std::size_t room = body->maxBytes - body->data.size();
    if (n > room) {
        body->capped = true;
        return 0;  // ends the transfer
    }
    body->data.append(ptr, n);
    return n;
}

// Asked once a connection stands, before the request goes: a refused server gets nothing.
struct Refusal {
    bool (*refuse)(std::string_view) = nullptr;
    bool refused = false;
};

int BeforeRequest(void* user, char* serverAddress, char* /*localAddress*/, int /*serverPort*/, int /*localPort*/) {
    auto* refusal = static_cast<Refusal*>(user);
    refusal->refused = refusal->refuse(serverAddress ? serverAddress : "");
    return refusal->refused ? CURL_PREREQFUNC_ABORT : CURL_PREREQFUNC_OK;
}

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

std::string FetchPage(const std::string& address) { return FetchPageReport(address).body; }

FetchResult FetchPageReport(const std::string& address) { return FetchPageReport(address, FetchLimits{}); }

FetchResult FetchPageReport(const std::string& address, const FetchLimits& limits) {
    GlobalInit();
    FetchResult out;
    CURL* easy = curl_easy_init();
    if (!easy) {
        out.failure = "the internet client could not be started";
        return out;
    }
    Body body;
    body.easy = easy;
    body.maxBytes = std::min(limits.maxBytes, fetch::kMaxBodyBytes);
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    for (const std::string& line : fetch::ValidatorHeaders(limits)) headers = curl_slist_append(headers, line.c_str());
    curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, limits.userAgent.empty() ? "Mozilla" : limits.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");  // direct: no proxy configuration is consulted
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT,
                     limits.connectSeconds > 0 ? limits.connectSeconds : fetch::kConnectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, fetch::StallTimeoutSeconds());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT,
                     limits.totalSeconds > 0 ? limits.totalSeconds : fetch::TotalTimeoutSeconds());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    Refusal refusal{limits.refuseAddress};
    if (refusal.refuse) {
        curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, BeforeRequest);
        curl_easy_setopt(easy, CURLOPT_PREREQDATA, static_cast<void*>(&refusal));
    }

    const unsigned generation = fetch::Generation();
    CURLM* multi = curl_multi_init();
    curl_multi_add_handle(multi, easy);
    int running = 1;
    while (running) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) break;
        if (running) curl_multi_poll(multi, nullptr, 0, 50, nullptr);
        if (limits.pumpEvents) fetch::RunEventPump();
        if (fetch::Generation() != generation || (limits.cancel && *limits.cancel)) {
            out.cancelled = true;
            break;
        }
    }
    CURLcode result = CURLE_OK;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left))
        if (msg->msg == CURLMSG_DONE) result = msg->data.result;
    long responseCode = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &responseCode);
    // The validators of the last answer (after any redirect).
    for (auto [name, value] : {std::pair{"ETag", &out.etag}, std::pair{"Last-Modified", &out.lastModified}})
        if (curl_header* h = nullptr; curl_easy_header(easy, name, 0, CURLH_HEADER, -1, &h) == CURLHE_OK && h)
            *value = h->value;
    curl_multi_remove_handle(multi, easy);
    curl_multi_cleanup(multi);
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    out.status = responseCode;
    if (out.cancelled) {
        out.failure = "the download was cancelled";
        return out;
    }
    // Nothing could be opened: no answer from any server. A page that began and then broke
    // off keeps what came; one over the cap is refused whole.
    if (body.capped) {
        out.failure = body.maxBytes == fetch::kMaxBodyBytes ? "the page is larger than any page of ours (over 64 MiB)"
                                                            : "the answer is larger than allowed";
        return out;
    }
    if (refusal.refused) {
        out.failure = "the server is on this computer or its local network, which is not asked for this list";
        return out;
    }
    if (result != CURLE_OK && responseCode == 0 && body.data.empty()) {
        out.failure = fetch::CurlReason(result);
        return out;
    }
    if (result != CURLE_OK) {
        // An answer that began and broke off: what came is kept for FetchPage's callers, but it
        // is not the page, and its validators must not stand for it.
        out.incomplete = true;
        out.failure = "the download broke off (" + fetch::CurlReason(result) + ")";
        out.etag.clear();
        out.lastModified.clear();
    }
    out.body = std::move(body.data);
    return out;
}
