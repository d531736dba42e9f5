// Zap time: from setting the player pane's URL to the first decoded frame (video) or the start
// of playback (audio), for loopback MPEG-TS, HLS and MP3 streams, beside the mpv command-line
// player on the same streams in the same run.
//
//   build/release/bin/zap_bench [repeats]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <vector>

#include "support/http_server.h"
#include "viewer/player_pane.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

void Ffmpeg(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} + args);
    p.waitForFinished(120000);
    if (p.exitCode() != 0) std::fprintf(stderr, "ffmpeg: %s\n", p.readAllStandardError().constData());
}

QByteArray Read(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

struct Stats {
    double median = 0, min = 0, max = 0;
};

Stats Summarise(std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

// True when the pane shows a picture with detail in it (the test pattern), not a black frame.
bool ShowsPicture(const PlayerPane& pane) {
    if (!pane.hasFrame()) return false;
    const QImage image = pane.grabFrame();
    if (image.isNull()) return false;
    int lit = 0;
    for (int y = 0; y < image.height(); y += 16)
        for (int x = 0; x < image.width(); x += 16)
            if (qGray(image.pixel(x, y)) > 40) ++lit;
    return lit > 20;
}

// One zap of the pane: milliseconds to the first decoded frame on screen (or to the start of
// playback for audio), or -1.
double PaneZap(PlayerPane& pane, const QString& url, bool video) {
    pane.stop();
    WaitFor([] { return false; }, 50);  // let the previous stream wind down
    QElapsedTimer t;
    t.start();
    pane.setUrl(url);
    const bool ok =
        WaitFor([&] { return pane.playState() == QLatin1String("playing") && (!video || ShowsPicture(pane)); }, 20000);
    return ok ? t.nsecsElapsed() / 1e6 : -1;
}

// The mpv command-line player on the same stream: the whole run from process start to its exit
// after the first frame (or the first 10 ms of audio). For video the sound is left out: with it,
// mpv plays out its buffered audio before it exits, which is no part of starting the stream.
double CliZap(const QString& url, bool video) {
    QStringList args{QStringLiteral("--no-config"), QStringLiteral("--really-quiet"), QStringLiteral("--vo=null"),
                     QStringLiteral("--ao=null"), QStringLiteral("--ytdl=no")};
    if (video)
        args << QStringLiteral("--frames=1") << QStringLiteral("--aid=no");
    else
        args << QStringLiteral("--end=0.01");
    args << url;
    QProcess mpv;
    QElapsedTimer t;
    t.start();
    mpv.start(QStringLiteral("mpv"), args);
    if (!WaitFor([&] { return mpv.state() == QProcess::NotRunning; }, 20000)) {
        mpv.kill();
        mpv.waitForFinished();
        return -1;
    }
    return mpv.exitCode() == 0 ? t.nsecsElapsed() / 1e6 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int repeats = argc > 1 ? std::max(3, atoi(argv[1])) : 7;

    QTemporaryDir dir;
    const QString d = dir.path();
    const QStringList src =
        QString::fromLatin1(
            "-f lavfi -i testsrc=size=1280x720:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
            "-t 30")
            .split(QLatin1Char(' '));
    Ffmpeg(src +
           QString::fromLatin1("-c:v mpeg2video -q:v 4 -g 12 -c:a mp2 -f mpegts ")
               .split(QLatin1Char(' '), Qt::SkipEmptyParts) +
           QStringList{d + QStringLiteral("/zap.ts")});
    QDir().mkpath(d + QStringLiteral("/hls"));
    Ffmpeg(src +
           QString::fromLatin1("-c:v mpeg2video -q:v 4 -g 25 -c:a mp2 -f hls -hls_time 2 -hls_list_size 0")
               .split(QLatin1Char(' ')) +
           QStringList{d + QStringLiteral("/hls/index.m3u8")});
    Ffmpeg(QString::fromLatin1("-f lavfi -i sine=frequency=440:sample_rate=44100 -t 30 -c:a libmp3lame -b:a 128k")
               .split(QLatin1Char(' ')) +
           QStringList{d + QStringLiteral("/zap.mp3")});

    HttpServer server;
    server.serve(QStringLiteral("/zap.ts"), Read(d + QStringLiteral("/zap.ts")), "video/mp2t");
    server.serve(QStringLiteral("/zap.mp3"), Read(d + QStringLiteral("/zap.mp3")), "audio/mpeg");
    for (const QString& f : QDir(d + QStringLiteral("/hls")).entryList(QDir::Files))
        server.serve(QStringLiteral("/hls/") + f, Read(d + QStringLiteral("/hls/") + f),
                     f.endsWith(QLatin1String(".m3u8")) ? "application/vnd.apple.mpegurl" : "video/mp2t");

    PlayerPane pane;
    pane.resize(640, 400);
    pane.show();

    struct Stream {
        const char* name;
        QString url;
        bool video;
    };
    const Stream streams[] = {{"MPEG-TS", server.url(QStringLiteral("/zap.ts")), true},
                              {"HLS", server.url(QStringLiteral("/hls/index.m3u8")), true},
                              {"MP3", server.url(QStringLiteral("/zap.mp3")), false}};

    // The command-line player's own start and exit, on a source that needs no network.
    std::vector<double> floor_ms;
    for (int i = 0; i < repeats; ++i)
        floor_ms.push_back(CliZap(QStringLiteral("av://lavfi:testsrc=size=1280x720"), true));
    const Stats floor = Summarise(floor_ms);

    std::printf("zap time, %d runs each, milliseconds (median [min..max])\n", repeats);
    std::printf("mpv command line start and exit on a local source: %.1f [%.1f..%.1f]\n\n", floor.median, floor.min,
                floor.max);
    std::printf("%-8s %-26s %-26s %-8s %s\n", "stream", "player pane", "mpv command line", "ratio",
                "ratio to mpv less its start");
    for (const Stream& s : streams) {
        std::vector<double> pane_ms, cli_ms;
        for (int i = 0; i < repeats; ++i) {
            const double p = PaneZap(pane, s.url, s.video);
            const double c = CliZap(s.url, s.video);
            if (p >= 0) pane_ms.push_back(p);
            if (c >= 0) cli_ms.push_back(c);
        }
        const Stats p = Summarise(pane_ms), c = Summarise(cli_ms);
        const double net = c.median - floor.median;
        std::printf("%-8s %6.1f [%6.1f..%6.1f]     %6.1f [%6.1f..%6.1f]     %-8.2f %.2f\n", s.name, p.median, p.min,
                    p.max, c.median, c.min, c.max, c.median > 0 ? p.median / c.median : 0.0,
                    net > 0 ? p.median / net : 0.0);
    }

    // Zap after zap: twenty channels in a row in the same pane.
    std::vector<double> run;
    for (int i = 0; i < 20; ++i) run.push_back(PaneZap(pane, streams[i % 2].url, true));
    const double first = run.front();
    const Stats rest = Summarise(std::vector<double>(run.begin() + 1, run.end()));
    std::printf("\nzap after zap, 20 in a row: first %.1f ms, the rest median %.1f [%.1f..%.1f], last %.1f\n", first,
                rest.median, rest.min, rest.max, run.back());
    pane.close();
    return 0;
}
