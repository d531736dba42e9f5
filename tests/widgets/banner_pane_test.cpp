// The banner's pictures: fetched and decoded off the window's thread, within a pixel limit; and
// the logos beside them, on threads of their own.
#include "widgets/banner_pane.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QTimer>

#include "support/http_server.h"
#include "support/tiny_http.h"
#include "support/wait_for.h"
#include "widgets/background.h"
#include "widgets/logo_icons.h"

using test_support::WaitFor;

namespace {
QByteArray Png(int width, int height) {
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(200);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
}  // namespace

TEST(BannerPane, AHugePictureIsNeverDecodedAndTheWindowKeepsTicking) {
    // 5,600 x 5,600 pixels in about 100 KB: 120 MB once decoded, and seconds of work.
    const QByteArray huge = Png(5600, 5600);
    ASSERT_LT(huge.size(), 256 << 10);
    EXPECT_TRUE(BannerPane::Decode(huge.toStdString()).isNull());
    EXPECT_EQ(BannerPane::Decode(Png(468, 60).toStdString()).size(), QSize(468, 60));

    HttpServer server;
    QByteArray page = "<html><body>";
    for (int i = 0; i < 8; ++i) page += "<img src=\"/huge" + QByteArray::number(i) + ".png\">";
    page += "<img src=\"/small.png\"></body></html>";
    server.serve(QStringLiteral("/banner.html"), page, "text/html");
    for (int i = 0; i < 8; ++i) server.serve(QStringLiteral("/huge%1.png").arg(i), huge, "image/png");
    server.serve(QStringLiteral("/small.png"), Png(468, 60), "image/png");
    BannerPane pane;
    pane.resize(600, 100);
    pane.show();
    // The window's thread answers a timer every 200 ms at most while the pictures come.
    test_support::LongestGap gap;
    pane.Navigate(server.url(QStringLiteral("/banner.html")));
    ASSERT_TRUE(WaitFor([&] { return pane.imageCount() == 1; }, 10000));
    WaitFor([] { return false; }, 500);  // the huge ones have had their time
    EXPECT_EQ(pane.imageCount(), 1);
    EXPECT_LT(gap.ms(), 200);
}

// Logos from a server that trickles hold only the logos' own threads: the program's other
// background work (a source's load, the banner's pictures) runs at once beside them.
TEST(BannerPane, SlowLogosNeverHoldUpTheProgramsOtherBackgroundWork) {
    TinyHttp trickle;
    LogoIcons logos;
    for (int i = 0; i < 2 * LogoIcons::kParallel; ++i) {
        const std::string path = "/logo" + std::to_string(i) + ".png";
        trickle.slow(path, std::string(40000, 'p'), 40, 2000);
        logos.icon(trickle.url(path));
    }
    ASSERT_TRUE(WaitFor([&] { return trickle.connections() >= LogoIcons::kParallel; }, 5000));
    for (int i = 0; i < 2 * BackgroundPool()->maxThreadCount(); ++i) {
        QFutureWatcher<int> done;
        done.setFuture(RunInBackground<int>([] { return 7; }));
        ASSERT_TRUE(WaitFor([&] { return done.isFinished(); }, 1000)) << "work queued behind the logos";
        EXPECT_EQ(done.result(), 7);
    }
}
