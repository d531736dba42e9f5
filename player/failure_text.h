#pragma once
// Turns what the player reported about a failed open (its error code and the log lines of that
// open) into one sentence a user understands: the server's answer, a refused connection, an
// unknown host, a timeout, a format the player cannot read. No player jargon reaches the user.
#include <string>
#include <vector>

namespace failure_text {

// The reasons the pane tells apart.
enum class Kind {
    HttpStatus,
    Refused,
    HostNotFound,
    Timeout,
    Unreachable,
    Closed,
    Secure,
    Unsupported,
    Nothing,
    Other
};

struct Failure {
    Kind kind = Kind::Other;
    std::string text;  // the sentence in English (logs, tests)
    std::string key;   // the message that says it in the language applied ("%1": `detail`)
    std::string detail;
};

// `mpvError` is the end-file error code (an `mpv_error`); `log` the player's warning and error
// lines since the address was set, oldest first. `tookLong` says the open failed only after the
// network timeout had passed (a server that accepted and never answered says nothing else).
Failure Describe(int mpvError, const std::vector<std::string>& log, bool tookLong);

}  // namespace failure_text
