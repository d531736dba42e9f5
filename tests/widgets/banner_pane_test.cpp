// The banner's pictures: fetched and decoded off the window's thread, within a pixel limit.
#include "widgets/banner_pane.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QTimer>

#include "support/http_server.h"
#include "support/wait_for.h"

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
