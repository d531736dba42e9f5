// Start of the executable to the TV list shown (the splash's designed pause left out) and the
// peak memory at that moment, with the shipped catalogue and with 100,000 lines, beside a bare
// Qt window started and measured the same way.
//
//   startup_bench VIEWER SHIPPED_DATA_TXT BARE_WINDOW [repeats]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <random>
#include <vector>

#include "base/file_io.h"
#include "bench_table.h"
#include "catalogue/catalogue_writer.h"

namespace {

struct Start {
    double ms = -1;  // to the list shown, splash pause left out
    double peakMb = 0;
};

Start RunOnce(const QString& program, const QString& configHome) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VIEWER_STARTUP_PROBE"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), configHome);
    env.insert(QStringLiteral("XDG_DATA_HOME"), configHome + QStringLiteral("/data"));
    env.insert(QStringLiteral("MARLU_MACHINE_HIVES"), configHome + QStringLiteral("/hives"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer t;
    t.start();
    p.start(program, {});
    QByteArray out;
    double at = -1;
    while (at < 0 && p.waitForReadyRead(30000)) {
        out += p.readAllStandardOutput();
        if (out.contains("probe ")) at = t.nsecsElapsed() / 1e6;
    }
    p.waitForFinished(10000);
    if (at < 0) {
        std::fprintf(stderr, "%s gave no report: %s\n", qPrintable(program), p.readAllStandardError().constData());
        return {};
    }
    const auto m = QRegularExpression(QStringLiteral("splash_wait_ms=([0-9.]+) peak_kib=([0-9]+)"))
                       .match(QString::fromLatin1(out));
    Start s;
    s.ms = at - m.captured(1).toDouble();
    s.peakMb = m.captured(2).toDouble() / 1024.0;
    return s;
}

struct Result {
    bench::Stats ms, mb;
};

Result Run(const QString& program, const QString& configHome, int repeats) {
    RunOnce(program, configHome);  // warm the file cache
    std::vector<double> ms, mb;
    for (int i = 0; i < repeats; ++i) {
        const Start s = RunOnce(program, configHome);
        if (s.ms < 0) continue;
        ms.push_back(s.ms);
        mb.push_back(s.peakMb);
    }
    return {bench::Summarise(ms), bench::Summarise(mb)};
}

// A program folder with the viewer and the catalogue.
QString Folder(const QTemporaryDir& root, const QString& name, const QString& viewer, const QByteArray& data) {
    const QString dir = root.path() + QLatin1Char('/') + name;
    QDir().mkpath(dir + QStringLiteral("/config"));
    QFile::copy(viewer, dir + QStringLiteral("/viewer"));
    QFile out(dir + QStringLiteral("/Data.txt"));
    out.open(QIODevice::WriteOnly);
    out.write(data);
    return dir;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_bench VIEWER SHIPPED_DATA_TXT BARE_WINDOW [repeats]\n");
        return 2;
    }
    const QString viewer = QString::fromLocal8Bit(argv[1]), bare = QString::fromLocal8Bit(argv[3]);
    const int repeats = argc > 4 ? std::max(3, std::atoi(argv[4])) : 7;
    QFile shippedFile(QString::fromLocal8Bit(argv[2]));
    shippedFile.open(QIODevice::ReadOnly);
    const QByteArray shipped = shippedFile.readAll();

    std::string big;
    std::mt19937 rng(7);
    const char* const categories[] = {"TV", "Radio", "Video", "XXX"};
    // 40 languages; the list shows "English" first, as on a fresh installation.
    const char* const languages[] = {"English", "French",  "German", "Spanish", "Italian",
                                     "Dutch",   "Swedish", "Arabic", "Turkish", "Polish"};
    for (int i = 0; i < 100000; ++i)
        catalogue::AppendEncodedLine(big, "Channel " + std::to_string(rng() % 1000000),
                                     "http://streams.example.test/" + std::to_string(rng()) + "/index.m3u8",
                                     categories[i % 4],
                                     languages[rng() % 10] + std::string(" ") + std::to_string(rng() % 4));

    QTemporaryDir root;
    const QString home = root.path() + QStringLiteral("/bare-config");
    QDir().mkpath(home);
    const Result reference = Run(bare, home, repeats);
    bench::Row("  peer: bare Qt window, start to shown", reference.ms, "", {}, "", true);
    for (const auto& [name, data] :
         {std::pair{"shipped catalogue", shipped}, std::pair{"100k lines", QByteArray::fromStdString(big)}}) {
        const QString dir =
            Folder(root, QString::fromLatin1(name).replace(QLatin1Char(' '), QLatin1Char('-')), viewer, data);
        const Result r = Run(dir + QStringLiteral("/viewer"), dir + QStringLiteral("/config"), repeats);
        bench::Row(std::string("Start to TV list shown, ") + name + ", splash pause left out", r.ms, "bare Qt window",
                   reference.ms, "<= 300 ms over the bare window",
                   r.ms.valid() && r.ms.median <= reference.ms.median + 300);
        bench::Row(std::string("Peak memory, ") + name + " shown", r.mb, "bare Qt window", reference.mb,
                   "<= 60 MB over the bare window", r.mb.valid() && r.mb.median <= reference.mb.median + 60, "MB");
    }
    return 0;
}
