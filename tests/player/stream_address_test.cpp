#include <gtest/gtest.h>

#include "player/stream_address.h"

using stream_address::IsAllowed;

TEST(StreamAddress, StreamingProtocolsAreAllowedInAnyLetterCase) {
    for (const char* a : {"http://127.0.0.1/x.ts", "HTTPS://example.test/live.m3u8", "mms://a/b", "mmsh://a/b",
                          "mmst://a/b", "rtmp://a/live", "rtsp://a:554/s", "rtp://239.0.0.1:5004", "udp://@:1234"})
        EXPECT_TRUE(IsAllowed(a)) << a;
}

TEST(StreamAddress, LocalFilesByAbsolutePath) {
    EXPECT_TRUE(IsAllowed("/home/user/Music/song.mp3"));
    EXPECT_TRUE(IsAllowed("C:\\Media\\clip.avi"));
    EXPECT_TRUE(IsAllowed("d:/clip.avi"));
    EXPECT_TRUE(IsAllowed("\\\\server\\share\\clip.wmv"));
}

TEST(StreamAddress, EverythingElseIsRefused) {
    for (const char* a :
         {"", "file:///etc/passwd", "ytdl://abc", "av://lavfi:testsrc", "lavf://x", "memory://x", "edl://a", "fd://0",
          "-", "relative/path.mp3", "javascript:alert(1)", "ftp://a/b", "http:/missing-slash", "/tmp/x\nhttp://y",
          "http//no-colon", "appending://x", "/folder/ytdl://x"})
        EXPECT_FALSE(IsAllowed(a)) << a;
    EXPECT_FALSE(IsAllowed(std::string_view("/tmp/a\0b", 8)));
}
