#pragma once
// Test media made by ffmpeg at test time, once per run.
#include <QByteArray>

namespace test_media {

QByteArray MpegTsVideo();  // 20 s of a colour test picture with a tone, MPEG-2 in MPEG-TS
QByteArray Mp3Audio();     // 20 s of a tone, MP3
QByteArray MpegTsRed();    // 10 s of a plain red picture, MPEG-2 in MPEG-TS, no sound
// 8 s of a 1280 × 720 test picture at 25 fps, H.264 at a constant 1500 kbit/s, with AAC sound at
// 128 kbit/s, in MPEG-TS: what most channels send.
QByteArray MpegTsH264Hd();

}  // namespace test_media
