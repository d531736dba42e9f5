// Pausing live TV on a live stream from loopback, sent at its own pace: what arrives while the
// picture is paused is kept on disk, play resumes where it paused, and End goes back to live.
#include <gtest/gtest.h>

#include <QAction>
#include <QTest>

#include "player/player_pane.h"
#include "support/http_server.h"
#include "support/temp_dir.h"
#include "support/test_media.h"
#include "support/wait_for.h"

using test_support::WaitFor;

TEST(PauseLive, APausedChannelKeepsWhatArrivesOnDiskResumesWhereItPausedAndEndGoesBackToLive) {
    TempDir cache;
    HttpServer server;
    const QByteArray ts = test_media::MpegTsVideo();  // 20 s, sent in 20 s
    server.serveTrickle(QStringLiteral("/live.ts"), ts, "video/mp2t", static_cast<int>(ts.size() / 200), 100);
    server.serveTrickle(QStringLiteral("/other.ts"), ts, "video/mp2t", static_cast<int>(ts.size() / 200), 100);
    PlayerPane pane;
    pane.resize(320, 240);
    pane.show();
    pane.setPauseBuffer(QString::fromStdString(cache.path().string()), 30, 64);
    pane.setUrl(server.url(QStringLiteral("/live.ts")), QStringLiteral("Live"));
    ASSERT_TRUE(WaitFor([&] { return pane.state() == PlayerPane::PlayState::Playing && pane.position() > 1; }, 15000))
        << pane.lastError().toStdString();

    pane.pause();
    const double pausedAt = pane.position();
    QTest::qWait(4000);
    EXPECT_GT(pane.behindLive(), 3) << "what arrived while paused was kept";
    EXPECT_GT(pane.pauseBufferBytes(), 0) << "on disk";
    EXPECT_TRUE(pane.statusText().contains(QLatin1String("behind live"))) << pane.statusText().toStdString();

    pane.play();
    QTest::qWait(500);
    // The stream's time goes on from where it paused: nothing skipped while paused.
    EXPECT_GE(pane.position(), pausedAt);
    EXPECT_LT(pane.position(), pausedAt + 2);
    EXPECT_GT(pane.behindLive(), 2);

    pane.findChild<QAction*>(QStringLiteral("liveKey"))->trigger();
    // The live edge is later than where it paused by the time it was paused.
    EXPECT_TRUE(WaitFor([&] { return pane.behindLive() < 3 && pane.position() > pausedAt + 3; }, 5000))
        << pane.behindLive() << " behind, at " << pane.position();

    // A zap forgets it.
    pane.setUrl(server.url(QStringLiteral("/other.ts")), QStringLiteral("Other"));
    ASSERT_TRUE(WaitFor([&] { return pane.state() == PlayerPane::PlayState::Playing; }, 15000));
    EXPECT_EQ(pane.pauseBufferBytes(), 0);
}
