#include "support/test_media.h"

#include <QProcess>
#include <QStringList>
#include <stdexcept>

namespace test_media {
namespace {

QByteArray Run(const QStringList& args) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-v"), QStringLiteral("error")} + args);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        throw std::runtime_error("ffmpeg failed: " + ffmpeg.readAllStandardError().toStdString());
    return ffmpeg.readAllStandardOutput();
}

QStringList Split(const char* args) { return QString::fromLatin1(args).split(QLatin1Char(' ')); }

}  // namespace

QByteArray MpegTsVideo() {
    static const QByteArray data =
        Run(Split("-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
                  "-t 20 -c:v mpeg2video -q:v 5 -g 12 -c:a mp2 -f mpegts -"));
    return data;
}

QByteArray Mp3Audio() {
    static const QByteArray data =
        Run(Split("-f lavfi -i sine=frequency=440:sample_rate=44100 -t 20 -c:a libmp3lame -b:a 64k -f mp3 -"));
    return data;
}

QByteArray MpegTsRed() {
    static const QByteArray data =
        Run(Split("-f lavfi -i color=c=red:size=320x240:rate=25 -t 10 -c:v mpeg2video -q:v 5 -g 12 -an -f mpegts -"));
    return data;
}

QByteArray MpegTsH264Hd() {
    static const QByteArray data =
        Run(Split("-f lavfi -i testsrc=size=1280x720:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
                  "-t 8 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 50 -b:v 1500k -minrate 1500k -maxrate 1500k "
                  "-bufsize 750k -x264-params nal-hrd=cbr -c:a aac -ac 2 -b:a 128k -f mpegts -"));
    return data;
}

}  // namespace test_media
