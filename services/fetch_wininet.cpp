// FetchPage on Windows' own internet client.
// The sockets' header comes before windows.h, which would otherwise bring in the old one.
#include <winsock2.h>
#include <ws2tcpip.h>
// (kept apart so that the order stays)
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "services/fetch.h"

std::string FetchPage(const std::string& address) { return FetchPageReport(address).body; }

FetchResult FetchPageReport(const std::string& address) { return FetchPageReport(address, FetchLimits{}); }

namespace {

// The client's calls block; closing the session from another thread is how a blocked call is
// ended. The watcher does that as soon as the fetch is cancelled (its flag, or CancelAll) or its
// time is up, so a silent server holds the fetch no longer than one look of the watcher.
class Watch {
public:
    Watch(HINTERNET session, const std::atomic<bool>* cancel, ULONGLONG deadline)
        : m_session(session),
          m_cancel(cancel),
          m_generation(fetch::Generation()),
          m_deadline(deadline),
          m_thread([this] { watch(); }) {}
    ~Watch() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_thread.join();
        if (!m_closed) InternetCloseHandle(m_session);
    }
    bool cancelled() const { return m_closed && !m_timedOut; }
    // Closes a handle of the session unless the watcher closed the session (and with it the
    // handle) already; the two never close at once.
    void close(HINTERNET handle) {
        std::lock_guard lock(m_mutex);
        if (!m_closed) InternetCloseHandle(handle);
    }
    bool timedOut() const { return m_timedOut; }

private:
    void watch() {
        std::unique_lock lock(m_mutex);
        while (!m_done) {
            const bool cancel = (m_cancel && *m_cancel) || fetch::Generation() != m_generation;
            if (cancel || GetTickCount64() > m_deadline) {
                m_timedOut = !cancel;
                m_closed = true;
                InternetCloseHandle(m_session);
                return;
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(50));
        }
    }
    HINTERNET m_session;
    const std::atomic<bool>* m_cancel;
    unsigned m_generation;
    ULONGLONG m_deadline;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::atomic<bool> m_closed{false}, m_timedOut{false};
    std::thread m_thread;
};

// Whether the host of `address` resolves to an address `refuse` says no to. (WinInet gives no
// look at the address it connects to; a redirect is therefore not followed when a rule is set.)
bool Refused(const std::string& address, bool (*refuse)(std::string_view)) {
    char host[256] = {};
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    if (!InternetCrackUrlA(address.c_str(), 0, 0, &parts)) return true;
    WSADATA winsock{};
    const bool started = WSAStartup(MAKEWORD(2, 2), &winsock) == 0;
    addrinfo* found = nullptr;
    const bool resolved = getaddrinfo(host, nullptr, nullptr, &found) == 0;
    if (!resolved) {
        if (started) WSACleanup();
        return false;  // unreachable anyway
    }
    bool refused = false;
    for (addrinfo* a = found; a && !refused; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* raw = a->ai_family == AF_INET6
                              ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr)
                              : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr);
        if (inet_ntop(a->ai_family, raw, text, sizeof text)) refused = refuse(text);
    }
    freeaddrinfo(found);
    if (started) WSACleanup();
    return refused;
}

}  // namespace

FetchResult FetchPageReport(const std::string& address, const FetchLimits& limits) {
    const std::size_t maxBytes = limits.maxBytes < fetch::kMaxBodyBytes ? limits.maxBytes : fetch::kMaxBodyBytes;
    FetchResult out;
    if (limits.refuseAddress && Refused(address, limits.refuseAddress)) {
        out.failure = "the server is on this computer or its local network, which is not asked for this list";
        return out;
    }
    std::string result;
    HINTERNET session = InternetOpenA(limits.userAgent.empty() ? "Mozilla" : limits.userAgent.c_str(),
                                      INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session) {
        out.failure = "the internet client could not be started";
        return out;
    }
    DWORD timeout = static_cast<DWORD>(fetch::StallTimeoutSeconds() * 1000);
    for (DWORD option : {INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT})
        InternetSetOptionA(session, option, &timeout, sizeof timeout);
    DWORD connect =
        static_cast<DWORD>((limits.connectSeconds > 0 ? limits.connectSeconds : fetch::kConnectTimeoutSeconds) * 1000);
    InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    const ULONGLONG deadline =
        GetTickCount64() +
        static_cast<ULONGLONG>(limits.totalSeconds > 0 ? limits.totalSeconds : fetch::TotalTimeoutSeconds()) * 1000;
    {
        Watch watch(session, limits.cancel, deadline);  // closes the session when it ends
        // Reload from the server (0x80000000) and ask proxies for no cached copy (0x100); the
        // header says the same to every cache on the way.
        std::string headers = "Cache-Control: no-cache\r\n";
        for (const std::string& line : fetch::ValidatorHeaders(limits)) headers += line + "\r\n";
        const DWORD flags = 0x80000100 | (limits.refuseAddress ? INTERNET_FLAG_NO_AUTO_REDIRECT : 0);
        HINTERNET url =
            InternetOpenUrlA(session, address.c_str(), headers.c_str(), static_cast<DWORD>(headers.size()), flags, 0);
        if (!url) {
            out.failure = "no connection to the server (error " + std::to_string(GetLastError()) + ")";
        } else {
            DWORD status = 0, length = sizeof status;
            if (HttpQueryInfoA(url, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr))
                out.status = static_cast<long>(status);
            for (auto [query, value] : {std::pair{DWORD{HTTP_QUERY_ETAG}, &out.etag},
                                        std::pair{DWORD{HTTP_QUERY_LAST_MODIFIED}, &out.lastModified}}) {
                char text[512];
                DWORD size = sizeof text - 1;
                if (HttpQueryInfoA(url, query, text, &size, nullptr)) value->assign(text, size);
            }
            DWORD announced = 0, announcedSize = sizeof announced;
            const bool hasLength = HttpQueryInfoA(url, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                                                  &announcedSize, nullptr);
            char buffer[256];
            DWORD got = 0;
            bool ended = false;  // the answer's end was read
            while (!watch.cancelled()) {
                if (!InternetReadFile(url, buffer, sizeof buffer, &got)) break;
                if (got == 0) {
                    ended = true;
                    break;
                }
                if (result.size() + got > maxBytes) {
                    result.clear();  // over the cap: no page of ours
                    out.failure = "the page is larger than any page of ours (over 64 MiB)";
                    ended = true;
                    break;
                }
                result.append(buffer, got);
                if (limits.pumpEvents) fetch::RunEventPump();
                if (GetTickCount64() > deadline) break;
            }
            if (ended && hasLength && out.failure.empty() && result.size() < announced) ended = false;
            if (!ended && !watch.cancelled()) {
                out.incomplete = true;
                out.failure = "the download broke off";
                out.etag.clear();
                out.lastModified.clear();
            }
            watch.close(url);
        }
        if (watch.cancelled()) {
            result.clear();
            out.cancelled = true;
            out.failure = "the download was cancelled";
        } else if (watch.timedOut() && out.status == 0 && result.empty()) {
            out.incomplete = false;
            out.failure = "the server did not answer in time";
        }
    }
    out.body = std::move(result);
    return out;
}
