#include "services/curl_reason.h"

namespace fetch {

std::string CurlReason(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST: return "the server's name could not be found (unknown host)";
        case CURLE_COULDNT_CONNECT: return "the server refused the connection";
        case CURLE_OPERATION_TIMEDOUT: return "the server did not answer in time";
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION: return "the secure connection to the server failed";
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING: return "the server closed the connection";
        default: return curl_easy_strerror(code);
    }
}

}  // namespace fetch
