#pragma once
// One wording for what went wrong with a connection, whichever part of the program met it (the
// page fetch, the streamed download, the stream check), in the words the player uses: a refused
// connection is "the server refused the connection" everywhere.
#include <curl/curl.h>

#include <string>

namespace fetch {

std::string CurlReason(CURLcode code);

}  // namespace fetch
