#pragma once
// What a stream is, technically, as the player knows it while it plays.
#include <QString>
#include <cstdint>

struct StreamFacts {
    QString videoCodec, audioCodec;  // short names: "h264", "aac"
    int width = 0, height = 0;
    double framesPerSecond = 0;
    double videoBitrate = 0, audioBitrate = 0;  // bits a second, measured over the last second
    QString audioFormat;                        // the decoder's samples: "floatp", "s16"
    int sampleRate = 0, channels = 0;
    QString channelLayout;  // "stereo", "5.1(side)"
    QString container;
    QString decoder;  // the hardware decoder in use, "no" for software
    QString address;  // what the player was asked to open
    std::int64_t droppedFrames = 0;
};
