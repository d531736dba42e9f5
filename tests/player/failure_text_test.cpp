// What the pane says when an address fails: the player's log lines and error codes become
// one sentence each, the most telling line winning.
#include <gtest/gtest.h>
#include <mpv/client.h>

#include "player/failure_text.h"

using failure_text::Describe;
using failure_text::Kind;

TEST(FailureText, EachKnownCauseHasItsOwnSentence) {
    const struct {
        std::vector<std::string> log;
        int error;
        bool tookLong;
        Kind kind;
        const char* says;
    } cases[] = {
        {{"http: HTTP error 404 File not found", "Failed to open http://h/x.ts."},
         MPV_ERROR_LOADING_FAILED,
         false,
         Kind::HttpStatus,
         "HTTP status 404 (File not found)"},
        {{"http: HTTP error 503 Service Unavailable\n"},
         MPV_ERROR_LOADING_FAILED,
         false,
         Kind::HttpStatus,
         "HTTP status 503 (Service Unavailable)."},
        {{"tcp: Connection to tcp://127.0.0.1:9 failed: Connection refused"},
         MPV_ERROR_LOADING_FAILED,
         false,
         Kind::Refused,
         "refused the connection"},
        {{"tcp: Failed to resolve hostname nowhere.invalid: Name or service not known"},
         MPV_ERROR_LOADING_FAILED,
         false,
         Kind::HostNotFound,
         "unknown host"},
        {{"tcp: Connection to tcp://10.0.0.1:80 failed: Connection timed out"},
         MPV_ERROR_LOADING_FAILED,
         false,
         Kind::Timeout,
         "did not answer in time"},
        // A server that accepted and said nothing leaves only "Failed to open": the time tells.
        {{"Failed to open http://h/x.ts."}, MPV_ERROR_LOADING_FAILED, true, Kind::Timeout, "did not answer in time"},
        {{"Failed to recognize file format."},
         MPV_ERROR_UNKNOWN_FORMAT,
         false,
         Kind::Unsupported,
         "unknown or damaged format"},
        {{}, MPV_ERROR_UNKNOWN_FORMAT, false, Kind::Unsupported, "unknown or damaged format"},
        {{}, MPV_ERROR_NOTHING_TO_PLAY, false, Kind::Nothing, "neither sound nor picture"},
        {{"tls: certificate verify failed"}, MPV_ERROR_LOADING_FAILED, false, Kind::Secure, "certificate"},
        {{"Failed to open http://h/x.ts."}, MPV_ERROR_LOADING_FAILED, false, Kind::Other, "could not be opened"},
    };
    for (const auto& c : cases) {
        const failure_text::Failure failure = Describe(c.error, c.log, c.tookLong);
        EXPECT_EQ(failure.kind, c.kind) << failure.text;
        EXPECT_NE(failure.text.find(c.says), std::string::npos) << failure.text;
        // No player jargon: no "tcp:", "ffmpeg", "demuxer" or error codes reach the user.
        for (const char* jargon : {"tcp", "ffmpeg", "demux", "lavf", "MPV_", "loading failed"})
            EXPECT_EQ(failure.text.find(jargon), std::string::npos) << failure.text;
    }
}

TEST(FailureText, TheServersAnswerWinsOverLaterLinesAndNonsenseIsNotAStatus) {
    // The answer comes first in the log, the consequences after it.
    EXPECT_EQ(
        Describe(MPV_ERROR_LOADING_FAILED,
                 {"Failed to recognize file format.", "http: HTTP error 403 Forbidden", "Connection reset by peer"},
                 false)
            .kind,
        Kind::HttpStatus);
    // "HTTP error" without three digits is no status; an overlong reason is left out.
    EXPECT_NE(Describe(MPV_ERROR_LOADING_FAILED, {"HTTP error 4x4 nonsense"}, false).kind, Kind::HttpStatus);
    const std::string longReason = "http: HTTP error 500 " + std::string(200, 'x');
    EXPECT_EQ(Describe(MPV_ERROR_LOADING_FAILED, {longReason}, false).text,
              "The server answered with HTTP status 500.");
}
