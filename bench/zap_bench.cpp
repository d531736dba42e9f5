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

#include "bench_table.h"
#include "gui_bench.h"
#include "player/player_pane.h"
#include "support/http_server.h"

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

using bench::Stats;
using bench::Summarise;

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
    // Video: the first picture on screen; audio: the player reporting playback.
    const bool ok =
        WaitFor([&] { return video ? ShowsPicture(pane) : pane.playState() == QLatin1String("playing"); }, 20000);
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

// ffplay on the same stream, for context: from process start to its exit after the first
// 40 ms of the stream, without a display or a sound device.
double FfplayStart(const QString& url) {
    QProcess ffplay;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    ffplay.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    ffplay.start(QStringLiteral("ffplay"),
                 {QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-nodisp"), QStringLiteral("-autoexit"),
                  QStringLiteral("-t"), QStringLiteral("0.04"), url});
    if (!WaitFor([&] { return ffplay.state() == QProcess::NotRunning; }, 20000)) {
        ffplay.kill();
        ffplay.waitForFinished();
        return -1;
    }
    return ffplay.exitCode() == 0 ? t.nsecsElapsed() / 1e6 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    bench::GuiBench gui(argc, argv, 7);
    const int repeats = gui.repeats();

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

    bench::Row("mpv command line, start and exit on a local source", floor, "", {}, "", true);
    for (const Stream& s : streams) {
        std::vector<double> pane_ms, cli_ms, ffplay_ms;
        for (int i = 0; i < repeats; ++i) {
            const double p = PaneZap(pane, s.url, s.video);
            const double c = CliZap(s.url, s.video);
            const double f = FfplayStart(s.url);
            if (p >= 0) pane_ms.push_back(p);
            if (c >= 0) cli_ms.push_back(c);
            if (f >= 0) ffplay_ms.push_back(f);
        }
        const Stats p = Summarise(pane_ms), c = Summarise(cli_ms), f = Summarise(ffplay_ms);
        const std::string what =
            std::string("Zap, ") + s.name + (s.video ? ": URL to first frame" : ": URL to first audio");
        bench::Row(what, p, "mpv command line, same stream", c, "ratio <= 1.0", p.valid() && p.median <= c.median);
        bench::Row(std::string("  peer: mpv command line, ") + s.name, c, "", {}, "", true);
        bench::Row(std::string("  peer: ffplay -nodisp, first 40 ms, ") + s.name, f, "", {}, "", true);
    }

    // Zap after zap: channels in a row in the same pane, the first ten against the last ten
    // (single zaps vary with where the stream's first picture falls; medians of ten do not).
    std::vector<double> run;
    for (int i = 0; i < 40; ++i) run.push_back(PaneZap(pane, streams[i % 2].url, true));
    const Stats early = Summarise(std::vector<double>(run.begin() + 1, run.begin() + 11));
    const Stats late = Summarise(std::vector<double>(run.end() - 10, run.end()));
    bench::Row("Zap after zap, 40 in a row: the last ten", late, "zaps 2 to 11", early, "no growth (<= 1.25x + 5 ms)",
               late.median <= 1.25 * early.median + 5);
    pane.close();
    return 0;
}
