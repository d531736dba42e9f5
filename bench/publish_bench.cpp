// FetchPage of a 10 MB page on loopback beside the curl command fetching the same page in the
// same run, and "Decrypt and Load" of a 100,000-line catalogue.
//
//   build/release/bin/publish_bench [repeats]
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "base/app.h"
#include "base/file_io.h"
#include "base/private_label.h"
#include "bench_table.h"
#include "catalogue/catalogue_writer.h"
#include "gui_bench.h"
#include "services/fetch.h"
#include "widgets/list_view.h"
#include "windows/main_window.h"

namespace {

using bench::Stats;
using bench::Summarise;

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

}  // namespace

int main(int argc, char** argv) {
    bench::GuiBench gui(argc, argv, 9);
    const int repeats = gui.repeats();

    QTemporaryDir dir;
    std::string page;
    page.reserve(10u << 20);
    for (int i = 0; page.size() < (10u << 20); ++i) page += "<p>line " + std::to_string(i) + " of the page</p>\r\n";
    base::ReplaceFileAtomically((dir.path() + QStringLiteral("/page.htm")).toStdString(), page);

    // A real web server in its own process: Python's, from the machine's packages.
    const quint16 port = FreePort();
    QProcess server;
    server.start(QStringLiteral("python3"),
                 {QStringLiteral("-m"), QStringLiteral("http.server"), QStringLiteral("--bind"),
                  QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), dir.path(), QString::number(port)});
    server.waitForStarted();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/page.htm";
    for (int i = 0; i < 50 && FetchPage(url).size() != page.size(); ++i) QThread::msleep(100);

    std::vector<double> ours, theirs;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        t.start();
        const std::string body = FetchPage(url);
        ours.push_back(t.nsecsElapsed() / 1e6);
        if (body.size() != page.size()) std::fprintf(stderr, "short body: %zu\n", body.size());
        QProcess curl;
        t.restart();
        curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                            QString::fromStdString(url)});
        curl.waitForFinished();
        theirs.push_back(t.nsecsElapsed() / 1e6);
    }
    server.kill();
    server.waitForFinished();
    const Stats o = Summarise(ours), c = Summarise(theirs);
    bench::Row("FetchPage, 10 MB page", o, "curl, same page", c, "<= 1.5x", o.median <= 1.5 * c.median);

    // Decrypt and Load of a 100,000-line catalogue.
    std::string catalogue;
    for (int i = 0; i < 100000; ++i)
        catalogue::AppendEncodedLine(catalogue, "Channel " + std::to_string(i),
                                     "http://streams.example.test/" + std::to_string(i) + "/index.m3u8",
                                     i % 2 ? "TV" : "Radio", "English/French");
    QTemporaryDir programDir;
    base::ReplaceFileAtomically((programDir.path() + QStringLiteral("/Data.txt")).toStdString(), catalogue);
    AppInfo info = App::BuildInfo();
    info.path = programDir.path().toStdString();
    App::Configure(info);
    modPrivateLabel::LoadPrivateLabel();
    Form1 form;
    std::vector<double> load;
    for (int i = 0; i < repeats; ++i) {
        form.Clear_Click();
        QElapsedTimer t;
        t.start();
        form.doLoad_Click();
        load.push_back(t.nsecsElapsed() / 1e6);
    }
    const Stats l = Summarise(load);
    bench::Row("Decrypt and Load, 100k lines (" + std::to_string(form.ListView1->rowCount()) + " rows)", l, "", {}, "",
               true);
    return 0;
}
