#pragma once
// A catalogue of video channels on the loopback server: "Channel 0", "Channel 1", … playing
// the test video from /ch0.ts, /ch1.ts, …, written as Data.txt into a program folder.
#include <QString>
#include <string>

#include "catalogue/catalogue_writer.h"
#include "support/http_server.h"
#include "support/temp_dir.h"
#include "support/test_media.h"
#include "widgets/qt_text.h"

namespace test_support {

inline QString ChannelPath(int i) { return QStringLiteral("/ch%1.ts").arg(i); }

inline void ServeVideoChannels(HttpServer& server, const TempDir& program, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        server.serve(ChannelPath(i), test_media::MpegTsVideo(), "video/mp2t");
        catalogue::AppendEncodedLine(text, "Channel " + std::to_string(i), FromQt(server.url(ChannelPath(i))), "TV",
                                     "English");
    }
    program.write("Data.txt", text);
}

}  // namespace test_support
