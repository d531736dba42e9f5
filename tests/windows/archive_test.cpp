// A channel's archive through the real window: a programme of the guide that has ended plays
// from the address its playlist's catch-up form gives, under a name that says it is a
// recording; one on now plays live.
#include <QAction>
#include <QDateTime>
#include <QTest>

#include "player/player_pane.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "support/http_server.h"
#include "support/test_media.h"
#include "support/wait_for.h"
#include "windows/background_jobs.h"
#include "windows/guide_window.h"
#include "windows/source_window_fixture.h"

using test_support::WaitFor;

namespace {

class Archive : public test::SourceWindow {};
using test::XmltvAt;

}  // namespace

TEST_F(Archive, AnEndedProgrammePlaysFromTheArchiveAndOneOnNowLive) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 pastStart = now - 7200, pastStop = now - 3600;
    HttpServer server;
    server.serve(
        QStringLiteral("/epg.xml"),
        QStringLiteral("<tv><channel id=\"a1\"><display-name>A</display-name></channel>"
                       "<programme start=\"%1\" stop=\"%2\" channel=\"a1\"><title>Early Film</title></programme>"
                       "<programme start=\"%2\" stop=\"%3\" channel=\"a1\"><title>Late News</title></programme>"
                       "</tv>")
            .arg(XmltvAt(pastStart), XmltvAt(pastStop), XmltvAt(now + 3600))
            .toUtf8(),
        "text/xml");
    const QString archived = QStringLiteral("/arc/%1-%2.ts").arg(pastStart).arg(pastStop);
    server.serve(archived, test_media::MpegTsVideo(), "video/mp2t");
    SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kGuideAddress,
                server.url(QStringLiteral("/epg.xml")).toStdString());
    program.write("archive.m3u",
                  "#EXTM3U\n#EXTINF:-1 tvg-id=\"a1\" catchup=\"default\" catchup-days=\"3\" "
                  "catchup-source=\"" +
                      server.url(QStringLiteral("/arc/{utc}-{utcend}.ts")).toStdString() +
                      "\",Archive One\nhttp://127.0.0.1:9/live.ts\n");
    Form1& f = Start();
    f.AddPlaylist(QString::fromStdString((program.path() / "archive.m3u").string()));
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 1; }, 10000));
    ASSERT_TRUE(
        WaitFor([&] { return !f.guideUpdates()->running() && !f.guideUpdates()->data().schedules.empty(); }, 10000));
    f.mnuGuideGrid->trigger();
    auto* window = f.findChild<GuideWindow*>();
    ASSERT_NE(window, nullptr);
    GuideGrid* grid = window->grid();
    ASSERT_EQ(grid->rowCount(), 1);

    grid->choose(0, 0);  // "Early Film", over an hour ago
    QTest::keyClick(grid, Qt::Key_Return);
    PlayerPane* pane = f.WindowsMediaPlayer1;
    EXPECT_EQ(pane->url(), server.url(archived));
    EXPECT_TRUE(pane->channelName().contains(QStringLiteral("Early Film")));
    EXPECT_TRUE(pane->channelName().contains(QStringLiteral("recorded"))) << pane->channelName().toStdString();
    EXPECT_TRUE(WaitFor([&] { return server.requestCount(archived) > 0; }, 10000)) << "the archive was asked";

    grid->choose(0, 1);  // "Late News", on now
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(pane->url(), QStringLiteral("http://127.0.0.1:9/live.ts"));

    // The banner offers "Restart": a click on it plays the programme on now from its start.
    const QString lateNews = server.url(QStringLiteral("/arc/%1-%2.ts").arg(pastStop).arg(now + 3600));
    pane->showBanner();
    ASSERT_TRUE(pane->onScreen().text().contains(QStringLiteral("[Restart]"))) << pane->onScreen().text().toStdString();
    auto* video = pane->findChild<QWidget*>(QStringLiteral("video"));
    ASSERT_NE(video, nullptr);
    const QRect button = pane->onScreen().restartPlace(video->rect());
    ASSERT_FALSE(button.isEmpty());
    QTest::mouseClick(video, Qt::LeftButton, {}, button.topLeft() - QPoint(4, 4));
    EXPECT_EQ(pane->url(), QStringLiteral("http://127.0.0.1:9/live.ts")) << "a click beside it plays on";
    QTest::mouseClick(video, Qt::LeftButton, {}, button.center());
    EXPECT_EQ(pane->url(), lateNews);
    EXPECT_TRUE(pane->channelName().contains(QStringLiteral("Late News")));
    pane->showBanner();
    EXPECT_FALSE(pane->onScreen().text().contains(QStringLiteral("[Restart]"))) << "the recording has no restart";

    // Ctrl+R does the same from the live channel.
    grid->choose(0, 1);
    QTest::keyClick(grid, Qt::Key_Return);
    auto* restart = pane->findChild<QAction*>(QStringLiteral("restartKey"));
    ASSERT_NE(restart, nullptr);
    restart->trigger();
    EXPECT_EQ(pane->url(), lateNews);
}
