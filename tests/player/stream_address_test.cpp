#include <gtest/gtest.h>

#include "player/stream_address.h"

using stream_address::Origin;

namespace {
bool Allowed(std::string_view address, Origin origin = Origin::User) {
    return stream_address::IsAllowed(address, origin);
}
}  // namespace

TEST(StreamAddress, StreamingProtocolsAreAllowedInAnyLetterCase) {
    for (const char* a : {"http://127.0.0.1/x.ts", "HTTPS://example.test/live.m3u8", "mms://a/b", "mmsh://a/b",
                          "mmst://a/b", "rtmp://a/live", "rtsp://a:554/s", "rtp://239.0.0.1:5004", "udp://@:1234"})
        for (Origin origin : {Origin::List, Origin::User}) EXPECT_TRUE(Allowed(a, origin)) << a;
}

TEST(StreamAddress, LocalFilesByAbsolutePath) {
    EXPECT_TRUE(Allowed("/home/user/Music/song.mp3"));
    EXPECT_TRUE(Allowed("C:\\Media\\clip.avi"));
    EXPECT_TRUE(Allowed("d:/clip.avi"));
    EXPECT_TRUE(Allowed("\\\\server\\share\\clip.wmv"));
}

TEST(StreamAddress, EverythingElseIsRefused) {
    for (const char* a :
         {"", "file:///etc/passwd", "ytdl://abc", "av://lavfi:testsrc", "lavf://x", "memory://x", "edl://a", "fd://0",
          "-", "relative/path.mp3", "javascript:alert(1)", "ftp://a/b", "http:/missing-slash", "/tmp/x\nhttp://y",
          "http//no-colon", "appending://x", "/folder/ytdl://x"})
        EXPECT_FALSE(Allowed(a)) << a;
    EXPECT_FALSE(Allowed(std::string_view("/tmp/a\0b", 8)));
}

// A catalogue, favourite, playlist or update page names network addresses only: no local
// file, folder or share, however it is spelt.
TEST(StreamAddress, ListsReachNoLocalPathOrShare) {
    for (const char* a : {"/etc", "/etc/", "/home/user/clip.ts", "//srv/clip.ts", "\\\\host\\share\\x.ts",
                          "C:\\Windows", "c:/x.ts", "\\\\?\\C:\\x"})
        EXPECT_FALSE(Allowed(a, Origin::List)) << a;
}

TEST(StreamAddress, SchemeLengthFindsTheSchemeToLower) {
    EXPECT_EQ(stream_address::SchemeLength("HTTP://host/x"), 4u);
    EXPECT_EQ(stream_address::SchemeLength("Rtsp://host/x"), 4u);
    EXPECT_EQ(stream_address::SchemeLength("C:\\x"), 0u);
    EXPECT_EQ(stream_address::SchemeLength("/x:y"), 0u);
    EXPECT_EQ(stream_address::SchemeLength(""), 0u);
}
