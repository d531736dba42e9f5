// Pausing live TV on a live stream from loopback, sent at its own pace: what arrives while the
// picture is paused is kept on disk, play resumes where it paused, and End goes back to live.
#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <csignal>
#include <fstream>

#include <sys/resource.h>

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

// Where nothing can be kept (a folder that cannot be made, a disk that fills while paused), the
// channel plays on live and the status line says why.
TEST(PauseLive, WhereNothingCanBeKeptTheChannelPlaysOnLiveAndTheUserIsTold) {
    TempDir cache;
    HttpServer server;
    const QByteArray ts = test_media::MpegTsVideo();
    server.serveTrickle(QStringLiteral("/live.ts"), ts, "video/mp2t", static_cast<int>(ts.size() / 200), 100);
    PlayerPane pane;
    pane.resize(320, 240);
    pane.show();
    const std::filesystem::path file = cache.path() / "a-file";
    std::ofstream(file) << "not a folder";
    pane.setPauseBuffer(QString::fromStdString((file / "PauseBuffer").string()), 30, 64);
    pane.setUrl(server.url(QStringLiteral("/live.ts")), QStringLiteral("Live"));
    ASSERT_TRUE(WaitFor([&] { return pane.state() == PlayerPane::PlayState::Playing; }, 15000))
        << pane.lastError().toStdString();
    pane.pause();
    QTest::qWait(300);
    EXPECT_EQ(pane.state(), PlayerPane::PlayState::Playing);
    EXPECT_TRUE(pane.statusText().contains(QLatin1String("plays on live"))) << pane.statusText().toStdString();

    // The disk fills: writes past a few kilobytes fail as they do on a full disk (the limit
    // holds for this process alone, and its signal is ignored so the write fails instead).
    pane.setPauseBuffer(QString::fromStdString((cache.path() / "PauseBuffer").string()), 30, 64);
    pane.showNote({});
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 32 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    pane.pause();
    const bool told = WaitFor([&] { return pane.statusText().contains(QLatin1String("plays on live")); }, 10000);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(told) << pane.statusText().toStdString() << " kept " << pane.pauseBufferBytes();
    EXPECT_TRUE(WaitFor([&] { return pane.state() == PlayerPane::PlayState::Playing; }, 5000));
    EXPECT_LT(pane.behindLive(), 3);
}
