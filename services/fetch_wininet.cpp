// FetchPage on Windows' own internet client.
#include <windows.h>
#include <wininet.h>

#include "services/fetch.h"

namespace {
std::function<void()> g_pump;
}

void SetFetchEventPump(std::function<void()> pump) { g_pump = std::move(pump); }

namespace fetch {
void SetStallTimeoutForTests(long) {}
}  // namespace fetch

std::string FetchPage(const std::string& address) {
    std::string result;
    HINTERNET session = InternetOpenA("Mozilla", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session) return result;
    DWORD timeout = static_cast<DWORD>(fetch::kStallTimeoutSeconds * 1000);
    InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    DWORD connect = static_cast<DWORD>(fetch::kConnectTimeoutSeconds * 1000);
    InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    HINTERNET url = InternetOpenUrlA(session, address.c_str(), nullptr, 0, 0x80000100, 0);
    if (url) {
        char buffer[256];
        DWORD got = 0;
        while (InternetReadFile(url, buffer, sizeof buffer, &got) && got > 0) {
            if (result.size() + got > fetch::kMaxBodyBytes) break;
            result.append(buffer, got);
            if (g_pump) g_pump();
        }
        InternetCloseHandle(url);
    }
    InternetCloseHandle(session);
    return result;
}
