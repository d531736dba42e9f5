// Watching comfort, end to end with streams from a loopback server: the picture follows the
// state, failures are told in words, live streams reconnect, the controls match the state,
// and the keyboard plays. Runs on the offscreen platform (software picture) and, under Xvfb,
// on xcb with Mesa's OpenGL (the picture read back from the OpenGL widget).
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "base/app.h"
#include "base/private_label.h"
#include "catalogue/catalogue_writer.h"
#include "player/mpv_player.h"
#include "player/player_pane.h"
#include "player/stream_information.h"
#include "player/video_view.h"
#include "services/recording.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "support/active_window.h"
#include "support/http_server.h"
#include "support/program_folder.h"
#include "support/temp_dir.h"
#include "support/test_media.h"
#include "support/tiny_http.h"
#include "support/video_channels.h"
#include "support/wait_for.h"
#include "widgets/list_view.h"
#include "widgets/qt_text.h"
#include "windows/main_window.h"

using test_support::WaitFor;

namespace {

// The share of pixels with a clear colour (the test picture is full of them; text and black
// have none).
double Colourful(const QImage& image) {
    if (image.isNull()) return 0;
    const QImage small = image.scaled(80, 60).convertToFormat(QImage::Format_RGB32);
    int coloured = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            const QColor c = small.pixelColor(x, y);
            if (c.hsvSaturation() > 120 && c.value() > 80) ++coloured;
        }
    return static_cast<double>(coloured) / (small.width() * small.height());
}

// The brightest channel of any pixel: 0 for a black picture.
int Brightest(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int most = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QColor c = rgb.pixelColor(x, y);
            most = std::max({most, c.red(), c.green(), c.blue()});
        }
    return most;
}

bool MostlyRed(const QImage& image) {
    const QImage small = image.scaled(40, 30).convertToFormat(QImage::Format_RGB32);
    long r = 0, gb = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            const QColor c = small.pixelColor(x, y);
            r += c.red();
            gb += c.green() + c.blue();
        }
    const long n = small.width() * small.height();
    return r / n > 150 && gb / (2 * n) < 80;
}

bool SameIcon(const QIcon& a, const QIcon& b) { return a.pixmap(16, 16).toImage() == b.pixmap(16, 16).toImage(); }

void CloseErrorBox(QWidget* pane) {
    if (auto* box = pane->findChild<QMessageBox*>(QStringLiteral("playerError"))) box->close();
}

// The pane on its own, shown.
class Watching : public ::testing::Test {
protected:
    void SetUp() override {
        server.serve(QStringLiteral("/video.ts"), test_media::MpegTsVideo(), "video/mp2t");
        server.serve(QStringLiteral("/red.ts"), test_media::MpegTsRed(), "video/mp2t");
        server.serveRadio(QStringLiteral("/icy"), test_media::Mp3Audio(), QStringLiteral("Test Artist - Test Song"));
        server.serveSilence(QStringLiteral("/silent.ts"));
        pane = std::make_unique<PlayerPane>();
        pane->resize(400, 300);
        pane->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.get()));
    }
    void TearDown() override {
        PlayerPane::SetReconnectBaseForTests(0);
        if (pane) CloseErrorBox(pane.get());
        pane.reset();
    }
    bool PlayingWithPicture(int withinMs = 15000) {
        return WaitFor(
            [&] {
                return pane->playState() == QLatin1String("playing") && pane->hasFrame() &&
                       Colourful(pane->grabFrame()) > 0.2;
            },
            withinMs);
    }

    HttpServer server;
    std::unique_ptr<PlayerPane> pane;
};

}  // namespace

TEST_F(Watching, ThePictureIsTheOneOfTheStateNeverALeftover) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // The real OpenGL path: a native window of its own.
        auto* gl = dynamic_cast<GlVideoView*>(pane->findChild<QWidget*>(QStringLiteral("video")));
        ASSERT_NE(gl, nullptr);
        EXPECT_TRUE(WaitFor([&] { return gl->surface()->isExposed(); }, 5000));
    }
    const QString video = server.url(QStringLiteral("/video.ts"));
    pane->setUrl(video, QStringLiteral("Test Video"));
    ASSERT_TRUE(PlayingWithPicture()) << pane->lastError().toStdString();
    // No GPU here: hardware decoding is on, and the decoder fell back to software unnoticed.
    EXPECT_TRUE(pane->hardwareDecoding());
    EXPECT_EQ(pane->currentDecoder(), QStringLiteral("no"));

    pane->stop();
    EXPECT_LE(Brightest(pane->grabFrame()), 16) << "stop leaves a black picture";
    // A stream that is slow to start says so on the picture, but not at once: a quick zap
    // shows no flash of it.
    pane->setUrl(server.url(QStringLiteral("/silent.ts")), QStringLiteral("Silent Channel"));
    // (The channel's banner stands at the foot from the start; above it, nothing.)
    const QRect banner = pane->onScreen().place(pane->findChild<QWidget*>(QStringLiteral("video"))->rect());
    EXPECT_LE(Brightest(pane->grabFrame().copy(0, 0, pane->width(), banner.top())), 16)
        << "no flash of text at the start of a zap";
    EXPECT_TRUE(
        WaitFor([&] { return Brightest(pane->grabFrame()) > 100; }, PlayerPane::kConnectingShownAfterMs + 2000));

    pane->setUrl(video, QStringLiteral("Test Video"));
    ASSERT_TRUE(PlayingWithPicture());
    pane->setUrl(QStringLiteral("http://127.0.0.1:%1/dead.ts").arg(TinyHttp::ClosedPort()), QStringLiteral("Dead"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, 8000));
    EXPECT_LE(Brightest(pane->grabFrame()), 16) << "an error leaves a black picture";
    CloseErrorBox(pane.get());

    // A zap to a server that never answers: the old picture may stay a second, then the pane
    // says where it connects, on black.
    pane->setUrl(video, QStringLiteral("Test Video"));
    ASSERT_TRUE(PlayingWithPicture());
    pane->setUrl(server.url(QStringLiteral("/silent.ts")), QStringLiteral("Silent Channel"));
    EXPECT_EQ(pane->statusText(), QStringLiteral("Connecting to Silent Channel…"));
    QTest::qWait(PlayerPane::kHoldPictureMs + 300);
    const QImage connecting = pane->grabFrame();
    EXPECT_LT(Colourful(connecting), 0.01) << "the old picture stayed longer than a second";
    EXPECT_GT(Brightest(connecting), 100) << "the connecting text is shown";
    pane->stop();

    // The first frame of the new channel replaces the old picture.
    pane->setUrl(video, QStringLiteral("Test Video"));
    ASSERT_TRUE(PlayingWithPicture());
    pane->setUrl(server.url(QStringLiteral("/red.ts")), QStringLiteral("Red"));
    EXPECT_TRUE(WaitFor([&] { return pane->hasFrame() && MostlyRed(pane->grabFrame()); }, 15000));

    // The end of a file clears to black too.
    PlayerPane::SetOpenLimitsForTests(0, 0);
    server.serve(QStringLiteral("/short.ts"), test_media::MpegTsVideo().left(test_media::MpegTsVideo().size() / 20),
                 "video/mp2t");
    pane->setUrl(server.url(QStringLiteral("/short.ts")), QStringLiteral("Short"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("stopped"); }, 15000))
        << pane->playState().toStdString();
    EXPECT_LE(Brightest(pane->grabFrame()), 16);
}

TEST_F(Watching, FailuresAreToldInWords) {
    const struct {
        QString url;
        const char* says;
    } cases[] = {
        {server.url(QStringLiteral("/missing.ts")), "HTTP status 404"},
        {QStringLiteral("http://127.0.0.1:%1/live.ts").arg(TinyHttp::ClosedPort()), "refused the connection"},
        {QStringLiteral("http://no-such-host.invalid/live.ts"), "unknown host"},
        {server.url(QStringLiteral("/silent.ts")), "did not answer in time"},
        {QStringLiteral("ftp://127.0.0.1/x.ts"), "protocol the player does not open"},
    };
    for (const auto& c : cases) {
        pane->setUrl(c.url, QStringLiteral("Channel"));
        ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, 15000)) << c.url.toStdString();
        EXPECT_TRUE(pane->statusText().contains(QLatin1String(c.says))) << pane->statusText().toStdString();
        auto* box = pane->findChild<QMessageBox*>(QStringLiteral("playerError"));
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->text().contains(QLatin1String(c.says))) << box->text().toStdString();
        box->close();
        QTest::qWait(10);
    }
}

TEST_F(Watching, ARadioShowsItsNameAndTitleOnAQuietBackdrop) {
    pane->setUrl(server.url(QStringLiteral("/icy")), QStringLiteral("Test Radio"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    ASSERT_TRUE(WaitFor([&] { return pane->nowPlaying().contains(QLatin1String("Test Song")); }, 10000));
    EXPECT_EQ(pane->statusText(), QStringLiteral("Test Radio — Test Artist - Test Song"));
    EXPECT_FALSE(pane->hasVideo());
    const QImage backdrop = pane->grabFrame();
    EXPECT_GT(Brightest(backdrop), 150) << "the name is written on the backdrop";
    EXPECT_LT(Colourful(backdrop), 0.01);
}

TEST_F(Watching, AZapPutsTheBannerInThePictureAndVolumeAndIShowOnItToo) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    pane->setUrl(server.url(QStringLiteral("/video.ts")), QStringLiteral("News 24"));
    pane->setChannelNumber(QStringLiteral("7"));
    pane->setGuideText(QStringLiteral("Now: World News"), {QStringLiteral("World News"), now - 600, now + 1200},
                       {QStringLiteral("Sport"), now + 1200, now + 3000});
    ASSERT_EQ(pane->onScreen().kind(), OnScreen::Kind::Banner);
    const QStringList lines = pane->onScreen().text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << pane->onScreen().text().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("7  News 24"));
    EXPECT_TRUE(lines[1].endsWith(QLatin1String("  World News"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith(QLatin1String("Next ")) && lines[2].endsWith(QLatin1String("  Sport")));
    EXPECT_NEAR(pane->onScreen().progress(), 333, 2);

    // Drawn into the picture itself: where the banner stands, the colourful picture is dimmed.
    const auto trigger = [&](const char* name) {
        for (QAction* action : pane->keyActions())
            if (action->objectName() == QLatin1String(name)) action->trigger();
    };
    ASSERT_TRUE(PlayingWithPicture());
    trigger("bannerKey");  // again, should the first have gone meanwhile
    auto* video = pane->findChild<QWidget*>(QStringLiteral("video"));
    const QRect banner = pane->onScreen().place(video->rect());
    ASSERT_FALSE(banner.isEmpty());
    EXPECT_TRUE(WaitFor([&] { return Colourful(pane->grabFrame().copy(banner)) < 0.05; }, 2000));
    EXPECT_GT(Colourful(pane->grabFrame().copy(0, 0, video->width(), banner.top())), 0.2);
    EXPECT_TRUE(pane->onScreen().text().startsWith(QLatin1String("7  News 24")));
    // It goes by itself, and the picture there is whole again.
    ASSERT_TRUE(WaitFor([&] { return pane->onScreen().isEmpty(); }, PlayerPane::kBannerMs + 2000));
    EXPECT_TRUE(WaitFor([&] { return Colourful(pane->grabFrame().copy(banner)) > 0.2; }, 2000));

    const int volume = pane->volume();
    trigger("volumeUpKey");
    EXPECT_EQ(pane->onScreen().kind(), OnScreen::Kind::Level);
    EXPECT_EQ(pane->onScreen().text(), QStringLiteral("Volume %1%").arg(std::min(100, volume + 5)));
    const QRect level = pane->onScreen().place(video->rect());
    EXPECT_TRUE(WaitFor([&] { return Colourful(pane->grabFrame().copy(level)) < 0.12; }, 1000))  // the bar's own
        << Colourful(pane->grabFrame().copy(level));
    trigger("muteKey");
    EXPECT_EQ(pane->onScreen().text(), QStringLiteral("Muted"));

    // A live stream has no seek bar or time: the status line takes their room.
    server.serveLive(QStringLiteral("/live.ts"), test_media::MpegTsVideo(), "video/mp2t");
    pane->setUrl(server.url(QStringLiteral("/live.ts")), QStringLiteral("Live One"));
    EXPECT_EQ(pane->onScreen().text(), QStringLiteral("Live One")) << "the last channel's number and guide went";
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    EXPECT_FALSE(pane->findChild<QSlider*>(QStringLiteral("position"))->isVisible());
    EXPECT_FALSE(pane->findChild<QLabel*>(QStringLiteral("time"))->isVisible());
    pane->stop();
    EXPECT_TRUE(pane->onScreen().isEmpty());
}

// Recording, on the software picture only (the picture plays no part in it).
class Recordings : public Watching {
protected:
    void SetUp() override {
        Watching::SetUp();
        qputenv("XDG_VIDEOS_DIR", QByteArray::fromStdString((videos / "Videos").string()));
    }
    void TearDown() override {
        recording::Sink::SetSpaceForTests(0);
        if (auto* box = pane ? pane->findChild<QMessageBox*>(QStringLiteral("recordingError")) : nullptr) box->close();
        Watching::TearDown();
        qunsetenv("XDG_VIDEOS_DIR");
    }
    // A live MPEG-TS channel sent at the pace it plays (a 20 s picture in 20 s), or `seconds` of it.
    QString PacedChannel(int seconds = 20) {
        const QByteArray video = test_media::MpegTsVideo();
        server.serveTrickle(QStringLiteral("/paced.ts"), video.left(video.size() * seconds / 20), "video/mp2t",
                            static_cast<int>(video.size() / 200), 100);
        return server.url(QStringLiteral("/paced.ts"));
    }
    void TriggerKey(const char* name) {
        for (QAction* action : pane->keyActions())
            if (action->objectName() == QLatin1String(name)) action->trigger();
    }
    TempDir videos;
};

// What a file holds, as ffprobe reads it: its duration in seconds (-1 when it cannot read it).
static double ProbedSeconds(const QString& path) {
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format=duration"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0) return -1;
    bool ok = false;
    const double seconds = QString::fromUtf8(probe.readAllStandardOutput()).trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}

TEST_F(Recordings, RIsWrittenAsItComesToTheVideoFolderAndStopEndsAFileThatPlays) {
    pane->setUrl(PacedChannel(), QStringLiteral("News: 24/7"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    TriggerKey("recordKey");
    ASSERT_TRUE(pane->isRecording()) << pane->statusText().toStdString();
    const QString path = pane->recordingPath();
    const QFileInfo file(path);
    EXPECT_EQ(file.absolutePath(), QString::fromStdString((videos / "Videos").string()));
    EXPECT_TRUE(file.fileName().startsWith(QLatin1String("News_ 24_7 20"))) << path.toStdString();
    EXPECT_EQ(file.suffix(), QStringLiteral("ts"));
    EXPECT_TRUE(WaitFor([&] { return pane->statusText().startsWith(QLatin1String("REC 0:0")); }, 2000))
        << pane->statusText().toStdString();
    std::unique_ptr<QMenu> menu(pane->createContextMenu(nullptr));
    EXPECT_EQ(menu->findChild<QAction*>(QStringLiteral("menuRecord"))->text(), QStringLiteral("Stop &Recording"));

    QTest::qWait(5000);
    QSignalSpy ended(pane.get(), &PlayerPane::recordingChanged);
    pane->stop();  // Stop ends the file too
    EXPECT_FALSE(pane->isRecording());
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended[0][2].toString(), QString()) << "no failure";
    const double seconds = ProbedSeconds(path);
    EXPECT_GT(seconds, 3.5) << "the recording plays for about the 5 s recorded";
    EXPECT_LT(seconds, 8.0);
}

TEST_F(Recordings, AReconnectGoesOnInTheSameFileAndAFullDiskEndsItKeepingWhatWasWritten) {
    PlayerPane::SetReconnectBaseForTests(100);
    pane->setUrl(PacedChannel(3), QStringLiteral("Short Live"));  // 3 s, then the server drops it
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    ASSERT_TRUE(pane->startRecording());
    const QString path = pane->recordingPath();
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("reconnecting"); }, 15000));
    const std::uint64_t beforeDrop = pane->recordedBytes();
    EXPECT_GT(beforeDrop, 0u);
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    ASSERT_TRUE(pane->isRecording()) << "a reconnect does not end the recording";
    ASSERT_TRUE(WaitFor([&] { return pane->recordedBytes() > beforeDrop + 50000; }, 10000))
        << "the stream after the reconnect is appended";

    // The disk fills: the recording ends with the reason, what was written stays, playing goes on.
    QSignalSpy ended(pane.get(), &PlayerPane::recordingChanged);
    const std::uint64_t room = pane->recordedBytes() + 20000;
    recording::Sink::SetSpaceForTests(room);
    ASSERT_TRUE(WaitFor([&] { return !ended.isEmpty(); }, 10000));
    EXPECT_FALSE(pane->isRecording());
    EXPECT_EQ(ended[0][2].toString(), QStringLiteral("the disk is full"));
    EXPECT_EQ(QFileInfo(path).size(), static_cast<qint64>(room));
    auto* box = pane->findChild<QMessageBox*>(QStringLiteral("recordingError"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("the disk is full")));
    EXPECT_TRUE(box->text().contains(path));
    EXPECT_GT(ProbedSeconds(path), 1.0) << "the partial file plays";
    EXPECT_NE(pane->playState(), QStringLiteral("error"));

    // The next recording never takes the name of one that is there.
    recording::Sink::SetSpaceForTests(0);
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    ASSERT_TRUE(pane->startRecording());
    EXPECT_NE(pane->recordingPath(), path);
    pane->close();
    EXPECT_FALSE(pane->isRecording());
}

TEST_F(Watching, ALiveStreamThatDropsReconnectsAndGivesUpWithTheReason) {
    PlayerPane::SetReconnectBaseForTests(100);  // 0.1, 0.2, 0.4, 0.8, 1.6 s
    const QByteArray audio = test_media::Mp3Audio();
    server.serveLive(QStringLiteral("/live.mp3"), audio.left(audio.size() / 8), "audio/mpeg");  // 2.5 s, then cut
    QStringList statuses;
    QObject::connect(pane.get(), &PlayerPane::playStateChanged, pane.get(), [&] { statuses << pane->statusText(); });
    pane->setUrl(server.url(QStringLiteral("/live.mp3")), QStringLiteral("Live Radio"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("reconnecting"); }, 15000))
        << pane->playState().toStdString() << " after " << statuses.join(QStringLiteral(", ")).toStdString();
    EXPECT_EQ(pane->statusText(), QStringLiteral("Reconnecting (1 of 5)…"));
    // The server is back: playback resumes by itself.
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    EXPECT_GE(server.requestCount(QStringLiteral("/live.mp3")), 2);
    EXPECT_EQ(pane->statusText(), QStringLiteral("Live Radio"));

    // Now it stays down: five tries, then the error with the reason.
    server.remove(QStringLiteral("/live.mp3"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, 30000))
        << pane->playState().toStdString();
    EXPECT_TRUE(pane->lastError().contains(QLatin1String("could not be reached again")))
        << pane->lastError().toStdString();
    EXPECT_TRUE(pane->lastError().contains(QLatin1String("404"))) << pane->lastError().toStdString();
    EXPECT_TRUE(WaitFor([&] { return statuses.contains(QStringLiteral("Reconnecting (1 of 5)…")); }, 0));
    CloseErrorBox(pane.get());

    // Stop ends the reconnecting: no request follows.
    server.serveLive(QStringLiteral("/live.mp3"), audio.left(audio.size() / 8), "audio/mpeg");
    PlayerPane::SetReconnectBaseForTests(1000);
    pane->setUrl(server.url(QStringLiteral("/live.mp3")), QStringLiteral("Live Radio"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("reconnecting"); }, 20000));
    pane->stop();
    const int requests = server.requestCount(QStringLiteral("/live.mp3"));
    QTest::qWait(1500);
    EXPECT_EQ(server.requestCount(QStringLiteral("/live.mp3")), requests);
    EXPECT_EQ(pane->playState(), QStringLiteral("stopped"));
}

TEST_F(Watching, AKeptLiveStreamComesBackNearItsNewestNotWhereItPaused) {
    server.serveLive(QStringLiteral("/live.mp3"), test_media::Mp3Audio(), "audio/mpeg");  // faster than it plays
    pane->setUrl(server.url(QStringLiteral("/live.mp3")), QStringLiteral("Live Radio"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    QTest::qWait(500);
    const double pausedAt = pane->position();
    pane->setUrl(server.url(QStringLiteral("/video.ts")), QStringLiteral("Test Video"));
    ASSERT_TRUE(PlayingWithPicture());
    ASSERT_EQ(pane->keptAddress(), server.url(QStringLiteral("/live.mp3")));
    QTest::qWait(3000);  // the kept radio reads on meanwhile

    pane->setUrl(server.url(QStringLiteral("/live.mp3")), QStringLiteral("Live Radio"));
    EXPECT_EQ(pane->playState(), QStringLiteral("playing"));
    EXPECT_EQ(pane->statusText(), QStringLiteral("Live Radio"));
    // Within a second: playing on from where it paused could not get 2.5 s further by then.
    EXPECT_TRUE(WaitFor([&] { return pane->position() > pausedAt + 2.5; }, 1000))
        << "it went on from " << pane->position() << " s, near where it paused at " << pausedAt << " s";
    EXPECT_EQ(server.requestCount(QStringLiteral("/live.mp3")), 1);
}

TEST_F(Watching, AFileThatEndsIsNotOpenedAgain) {
    PlayerPane::SetReconnectBaseForTests(50);
    const QByteArray audio = test_media::Mp3Audio();
    server.serve(QStringLiteral("/clip.mp3"), audio.left(audio.size() / 20), "audio/mpeg");  // 1 s, with a length
    pane->setUrl(server.url(QStringLiteral("/clip.mp3")), QStringLiteral("Clip"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("stopped"); }, 15000))
        << pane->playState().toStdString();
    const int requests = server.requestCount(QStringLiteral("/clip.mp3"));
    QTest::qWait(800);
    EXPECT_EQ(server.requestCount(QStringLiteral("/clip.mp3")), requests);
    EXPECT_EQ(pane->playState(), QStringLiteral("stopped"));
    EXPECT_EQ(pane->statusText(), QStringLiteral("Stopped"));
}

TEST_F(Watching, ControlsMatchTheStateAndAClickSeeks) {
    auto* playPause = pane->findChild<QToolButton*>(QStringLiteral("playPause"));
    auto* stop = pane->findChild<QToolButton*>(QStringLiteral("stop"));
    auto* position = pane->findChild<QSlider*>(QStringLiteral("position"));
    auto* time = pane->findChild<QLabel*>(QStringLiteral("time"));
    const QIcon playIcon = pane->style()->standardIcon(QStyle::SP_MediaPlay);
    const QIcon pauseIcon = pane->style()->standardIcon(QStyle::SP_MediaPause);
    EXPECT_TRUE(SameIcon(playPause->icon(), playIcon)) << "idle shows play";
    EXPECT_FALSE(stop->isEnabled());

    // A local file: seekable, named by its file name.
    TempDir folder;
    folder.write("film.ts", test_media::MpegTsVideo().toStdString());
    pane->setUrlFromUser(ToQt((folder / "film.ts").string()));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing") && position->isEnabled(); }, 15000))
        << pane->playState().toStdString();
    EXPECT_TRUE(SameIcon(playPause->icon(), pauseIcon)) << "playing shows pause";
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_EQ(pane->statusText(), QStringLiteral("film.ts"));
    ASSERT_TRUE(WaitFor([&] { return time->isVisible() && time->text().endsWith(QLatin1String("/ 0:20")); }, 3000))
        << time->text().toStdString();

    // A click three quarters along the bar goes there at once.
    QTest::mouseClick(position, Qt::LeftButton, {}, QPoint(position->width() * 3 / 4, position->height() / 2));
    EXPECT_TRUE(WaitFor([&] { return pane->position() >= 12.0; }, 5000)) << pane->position();

    playPause->click();
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("paused"); }, 3000));
    EXPECT_TRUE(SameIcon(playPause->icon(), playIcon));
    stop->click();
    EXPECT_TRUE(SameIcon(playPause->icon(), playIcon)) << "stopped shows play";
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(time->isVisible());
}

TEST_F(Watching, TheContextMenuOffersTracksAspectFullScreenAndTheAddress) {
    const QString video = server.url(QStringLiteral("/video.ts"));
    pane->setUrl(video, QStringLiteral("Test Video"));
    ASSERT_TRUE(PlayingWithPicture());
    std::unique_ptr<QMenu> menu(pane->createContextMenu(nullptr));
    for (const char* name : {"menuAudio", "menuSubtitles", "menuAspect"})
        EXPECT_NE(menu->findChild<QMenu*>(QLatin1String(name)), nullptr) << name;
    auto* audio = menu->findChild<QMenu*>(QStringLiteral("menuAudio"));
    ASSERT_EQ(audio->actions().size(), 1);  // the one sound track of the test stream, chosen
    EXPECT_TRUE(audio->actions().front()->isChecked());
    EXPECT_FALSE(menu->findChild<QMenu*>(QStringLiteral("menuSubtitles"))->isEnabled());  // none in the stream
    auto* full = menu->findChild<QAction*>(QStringLiteral("menuFullScreen"));
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->shortcut(), QKeySequence(Qt::Key_F));  // the menu shows the key
    QApplication::clipboard()->clear();
    menu->findChild<QAction*>(QStringLiteral("menuCopyAddress"))->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), video);

    bool toggled = true;
    QObject::connect(pane.get(), &PlayerPane::hardwareDecodingToggled, pane.get(), [&](bool on) { toggled = on; });
    menu->findChild<QAction*>(QStringLiteral("menuHardwareDecoding"))->trigger();
    EXPECT_FALSE(toggled);
    EXPECT_FALSE(pane->hardwareDecoding());
    full->trigger();
    EXPECT_TRUE(pane->isFullScreen());
    EXPECT_TRUE(pane->windowState() & Qt::WindowFullScreen);  // a pane on its own is its window
    pane->setFullScreen(false);
    EXPECT_FALSE(pane->windowState() & Qt::WindowFullScreen);
    menu->findChild<QAction*>(QStringLiteral("menuStop"))->trigger();
    EXPECT_EQ(pane->playState(), QStringLiteral("stopped"));
}

TEST_F(Watching, StreamInformationTellsCodecsSizeAndMeasuredBitratesOfWhatPlays) {
    server.serve(QStringLiteral("/hd.ts"), test_media::MpegTsH264Hd(), "video/mp2t");
    const QString address = server.url(QStringLiteral("/hd.ts"));
    pane->setUrl(address);
    ASSERT_TRUE(PlayingWithPicture()) << pane->lastError().toStdString();
    // The picture's menu and Ctrl+I open the same one window.
    QMenu* menu = pane->createContextMenu(pane.get());
    menu->findChild<QAction*>(QStringLiteral("menuStreamInformation"))->trigger();
    delete menu;
    auto* info = pane->window()->findChild<StreamInformation*>();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(pane->showStreamInformation(), info);
    EXPECT_TRUE(info->isVisible());
    // The bitrates are measured over a second of the stream: they come after a moment.
    ASSERT_TRUE(
        WaitFor([&] { return info->value(QStringLiteral("Video bitrate")).contains(QLatin1String("bit/s")); }, 10000));
    EXPECT_EQ(info->value(QStringLiteral("Video")), QStringLiteral("h264"));
    EXPECT_EQ(info->value(QStringLiteral("Audio")), QStringLiteral("aac"));
    EXPECT_EQ(info->value(QStringLiteral("Resolution")), QStringLiteral("1280 × 720"));
    EXPECT_EQ(info->value(QStringLiteral("Frame rate")), QStringLiteral("25.00 fps"));
    EXPECT_EQ(info->value(QStringLiteral("Container")), QStringLiteral("mpegts"));
    EXPECT_TRUE(info->value(QStringLiteral("Sound")).startsWith(QLatin1String("48000 Hz, stereo (2 channels)")))
        << info->value(QStringLiteral("Sound")).toStdString();
    EXPECT_EQ(info->value(QStringLiteral("Hardware decoding")), QStringLiteral("No"));
    EXPECT_EQ(info->value(QStringLiteral("Address")), address);
    EXPECT_TRUE(WaitFor([&] { return info->value(QStringLiteral("Answered by")) == address; }, 10000))
        << info->value(QStringLiteral("Answered by")).toStdString();
    const StreamFacts facts = pane->streamFacts();
    EXPECT_NEAR(facts.videoBitrate, 1500e3, 1500e3 * 0.2);
    EXPECT_NEAR(facts.audioBitrate, 128e3, 128e3 * 0.2);
    // Stopped, it tells nothing; the window stays for the next channel.
    pane->stop();
    EXPECT_TRUE(WaitFor([&] { return info->value(QStringLiteral("Video")) == QStringLiteral("–"); }, 3000));
    EXPECT_TRUE(info->isVisible());
}

TEST_F(Watching, WhatTheMouseDoesOnTheNativePictureReachesThePane) {
    auto* gl = dynamic_cast<GlVideoView*>(pane->findChild<QWidget*>(QStringLiteral("video")));
    if (!gl) GTEST_SKIP() << "the picture has a native window of its own only on a real display";
    pane->setUrl(server.url(QStringLiteral("/video.ts")), QStringLiteral("Test Video"));
    ASSERT_TRUE(PlayingWithPicture());
    QWindow* surface = gl->surface();
    // A double-click on the picture: full screen, and back.
    QTest::mouseDClick(surface, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_TRUE(WaitFor([&] { return pane->isFullScreen(); }, 2000));
    QTest::mouseDClick(surface, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_TRUE(WaitFor([&] { return !pane->isFullScreen(); }, 2000));
    // The right button: the player's menu, where the pointer is.
    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(40, 40));
    QMenu* menu = nullptr;
    EXPECT_TRUE(WaitFor(
        [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("playerMenu") && w->isVisible()) menu = qobject_cast<QMenu*>(w);
            return menu != nullptr;
        },
        2000));
    if (menu) {
        EXPECT_LE((menu->pos() - surface->mapToGlobal(QPoint(40, 40))).manhattanLength(), 2);
        menu->close();
    }
    // A hidden pointer is hidden on the picture too.
    gl->setCursor(Qt::BlankCursor);
    EXPECT_EQ(surface->cursor().shape(), Qt::BlankCursor);
    gl->unsetCursor();
    EXPECT_EQ(surface->cursor().shape(), Qt::ArrowCursor);
}

namespace {

// The main window with a catalogue of channels on the loopback server.
class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        modPrivateLabel::LoadPrivateLabel();
        test_support::ServeVideoChannels(server, program.folder(), 5);
    }
    void TearDown() override {
        if (form) CloseErrorBox(form->WindowsMediaPlayer1);
        form.reset();
    }
    Form1& Start() {
        form = test_support::StartActive();
        return *form;
    }
    static void Key(int key, Qt::KeyboardModifiers modifiers = {}) { test_support::KeyToFocus(key, modifiers); }
    QString Channel(int i) const { return server.url(test_support::ChannelPath(i)); }
    // The pane plays channel `row` with its picture.
    bool Plays(int row) const {
        PlayerPane* pane = form->WindowsMediaPlayer1;
        return WaitFor(
            [&] {
                return pane->url() == Channel(row) && pane->playState() == QLatin1String("playing") && pane->hasFrame();
            },
            15000);
    }
    // From now on, every few milliseconds, the most player handles the process held.
    void CountHandles() {
        QObject::connect(&handleSample, &QTimer::timeout,
                         [this] { mostHandles = std::max(mostHandles, MpvPlayer::Instances()); });
        handleSample.start(5);
    }

    int mostHandles = 0;
    QTimer handleSample;
    HttpServer server;
    ScopedProgramFolder program;
    ScopedConfigHome home;
    std::unique_ptr<Form1> form;
};

}  // namespace

TEST_F(Keys, EnterPlaysArrowsZapOnceBackspaceReturnsAndFullScreenComesAndGoes) {
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    f.ListView1->setFocus();
    f.ListView1->selectRow(0);
    Key(Qt::Key_Return);
    EXPECT_EQ(pane->url(), Channel(0));
    EXPECT_EQ(pane->channelName(), QStringLiteral("Channel 0"));

    // Three rows down in quick steps: one zap, to the row where the keys came to rest.
    QStringList opened;
    QObject::connect(pane, &PlayerPane::playStateChanged, pane, [&](const QString& state) {
        if (state == QLatin1String("opening")) opened << pane->url();
    });
    for (int i = 0; i < 3; ++i) {
        Key(Qt::Key_Down);
        QTest::qWait(60);
    }
    EXPECT_EQ(pane->url(), Channel(0)) << "no zap while the keys move";
    ASSERT_TRUE(WaitFor([&] { return pane->url() == Channel(3); }, 2000));
    QTest::qWait(Form1::kZapPauseMs + 100);
    EXPECT_EQ(opened, QStringList{Channel(3)});
    EXPECT_EQ(server.requestCount(QStringLiteral("/ch1.ts")) + server.requestCount(QStringLiteral("/ch2.ts")), 0);

    Key(Qt::Key_Backspace);
    EXPECT_EQ(pane->url(), Channel(0)) << "back to the last channel";
    Key(Qt::Key_Backspace);
    EXPECT_EQ(pane->url(), Channel(3)) << "and forth again";

    // Page Down: the next channel.
    Key(Qt::Key_PageDown);
    EXPECT_TRUE(WaitFor([&] { return pane->url() == Channel(4); }, 2000)) << pane->url().toStdString();

    // Volume and mute from the keyboard.
    const int volume = pane->volume();
    Key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(pane->volume(), volume + 5);
    Key(Qt::Key_M);  // over the list a letter finds a row: nothing is muted
    EXPECT_FALSE(pane->isMuted());
    pane->setFocus();  // the picture has the keys: M, F and Space are the player's
    QWidget* const hadKeys = QApplication::focusWidget();
    Key(Qt::Key_M);
    EXPECT_TRUE(WaitFor([&] { return pane->isMuted(); }, 2000));

    // F: full screen; the keys follow the pane there; Esc: back in its place.
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    Key(Qt::Key_F);
    ASSERT_TRUE(pane->isFullScreen());
    EXPECT_TRUE(f.windowState() & Qt::WindowFullScreen);
    EXPECT_EQ(pane->geometry(), f.client->rect()) << "the picture covers the window";
    EXPECT_FALSE(f.menuBar()->isVisible());
    Key(Qt::Key_Space);
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("paused"); }, 3000));
    // The bar hides after two quiet seconds and comes back with the mouse.
    auto* bar = pane->findChild<QWidget*>(QStringLiteral("controlBar"));
    EXPECT_TRUE(WaitFor([&] { return !bar->isVisible(); }, PlayerPane::kIdleHideMs + 1500));
    QWidget* video = pane->findChild<QWidget*>(QStringLiteral("video"));
    QTest::mouseMove(video, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(12, 12), video->mapToGlobal(QPointF(12, 12)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(video, &move);
    EXPECT_TRUE(bar->isVisible());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(pane->isFullScreen());
    EXPECT_FALSE(f.windowState() & Qt::WindowFullScreen);
    EXPECT_TRUE(f.menuBar()->isVisible());
    EXPECT_NE(pane->geometry(), f.client->rect());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), hadKeys) << "the keys are back where they were";

    // A double-click on the picture goes full screen and back.
    QTest::mouseDClick(video, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(pane->isFullScreen());
    QTest::mouseDClick(video, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(pane->isFullScreen());
    // Full screen and back kept the picture going (the OpenGL view stayed in its window).
    pane->play();
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 3000));
    const quint64 frames = pane->framesShown();
    EXPECT_TRUE(WaitFor([&] { return pane->framesShown() > frames + 5; }, 3000));
}

TEST_F(Keys, TheLastChannelComesBackAtOnceFromItsPausedPlayerAndOnlyOneIsKept) {
    CountHandles();
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    f.ListView1->setFocus();
    const auto playRow = [&](int row) {
        f.ListView1->selectRow(row);
        Key(Qt::Key_Return);
        return Plays(row);
    };
    ASSERT_TRUE(playRow(0)) << pane->lastError().toStdString();
    ASSERT_TRUE(playRow(1)) << pane->lastError().toStdString();
    EXPECT_EQ(pane->keptAddress(), Channel(0)) << "the channel played before waits, paused";

    // Back: at once, from the paused player, with its picture, and without asking the server.
    Key(Qt::Key_Backspace);
    EXPECT_EQ(pane->url(), Channel(0));
    EXPECT_EQ(pane->channelName(), QStringLiteral("Channel 0"));
    EXPECT_EQ(f.ListView1->selectedIndex(), 0) << "its row is selected again";
    EXPECT_EQ(pane->playState(), QStringLiteral("playing"));
    EXPECT_TRUE(pane->hasFrame());
    EXPECT_GT(Colourful(pane->grabFrame()), 0.2) << "its picture is on screen before any new frame";
    EXPECT_EQ(pane->keptAddress(), Channel(1)) << "and the one left is kept in turn";
    const quint64 frames = pane->framesShown();
    EXPECT_TRUE(WaitFor([&] { return pane->framesShown() > frames + 5; }, 5000)) << "it plays on";
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(0)), 1);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(pane->url(), Channel(1));
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(1)), 1);

    // Zapping on: the kept channel is always the one before, and only one is kept.
    for (int row = 2; row < 5; ++row) {
        ASSERT_TRUE(playRow(row));
        EXPECT_EQ(pane->keptAddress(), Channel(row - 1));
    }
    // Three handles at most: the current one, the one paused on the last channel, and a spare
    // that opens the next channel while the stream before it closes.
    EXPECT_EQ(mostHandles, 3) << "never more than the current player, the kept one and the spare";

    // Turned off from the context menu (and remembered): one player, nothing kept, and the last
    // channel opens again from its server.
    std::unique_ptr<QMenu> menu(pane->createContextMenu(pane));
    auto* keep = menu->findChild<QAction*>(QStringLiteral("menuKeepLastChannel"));
    ASSERT_NE(keep, nullptr);
    EXPECT_TRUE(keep->isChecked());
    keep->trigger();
    EXPECT_FALSE(pane->keepsLastChannel());
    EXPECT_EQ(MpvPlayer::Instances(), 2) << "the current player and the spare";
    EXPECT_TRUE(pane->keptAddress().isEmpty());
    EXPECT_EQ(GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kKeepLastChannel, "?"), "0");
    mostHandles = 0;
    Key(Qt::Key_Backspace);
    EXPECT_EQ(pane->url(), Channel(3));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing") && pane->hasFrame(); }, 15000));
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(3)), 2);
    EXPECT_EQ(mostHandles, 2);
}

TEST_F(Keys, ABurstOfZapsOpensEachChannelBesideTheClosesAndItsExtraPlayerGoesAgain) {
    CountHandles();
    PlayerPane* pane = Start().WindowsMediaPlayer1;
    pane->setUrl(Channel(0));
    ASSERT_TRUE(Plays(0)) << pane->lastError().toStdString();
    // Four zaps before any stream answers: channel 0 is kept, 1 and 2 close on players of their
    // own while the next one opens on another; the last waits for a close, as no fifth is made.
    for (int row = 1; row <= 4; ++row) pane->setUrl(Channel(row));
    ASSERT_TRUE(Plays(4)) << pane->lastError().toStdString();
    EXPECT_EQ(pane->keptAddress(), Channel(0));
    EXPECT_EQ(mostHandles, 4) << "the current player, the kept one and two spares";
    EXPECT_TRUE(WaitFor([] { return MpvPlayer::Instances() == 3; }, 10000)) << "the burst's extra spare goes";
    EXPECT_EQ(mostHandles, 4);
    // Zapping on uses the players that are left.
    pane->setUrl(Channel(2));
    ASSERT_TRUE(Plays(2)) << pane->lastError().toStdString();
    EXPECT_EQ(pane->keptAddress(), Channel(4));
}

// The main window's channel list under the mouse.
// Clicks on the list; the loopback server stands for a far one, so that rows are prepared.
class Clicks : public Keys {
protected:
    void SetUp() override {
        Keys::SetUp();
        PlayerPane::SetPrepareNearServersForTests(true);
    }
    void TearDown() override {
        PlayerPane::SetPrepareNearServersForTests(false);
        Keys::TearDown();
    }
    QPoint at(int row) const { return form->ListView1->visualRect(form->ListView1->model()->index(row, 0)).center(); }
    // Channel `row` plays, with its picture.
    bool playing(int row) const {
        PlayerPane* pane = form->WindowsMediaPlayer1;
        return WaitFor(
            [&] {
                return pane->url() == Channel(row) && pane->playState() == QLatin1String("playing") && pane->hasFrame();
            },
            15000);
    }
};

TEST_F(Clicks, AChannelStartsOnThePressAndADragAwayUndoesIt) {
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    QWidget* rows = f.ListView1->viewport();

    // A click: the stream opens while the button is still down, and the release does not open
    // it again.
    QTest::mousePress(rows, Qt::LeftButton, {}, at(0));
    EXPECT_EQ(pane->url(), Channel(0)) << "opened on the press";
    EXPECT_EQ(pane->playState(), QStringLiteral("opening"));
    QTest::qWait(100);  // a hand's click
    QTest::mouseRelease(rows, Qt::LeftButton, {}, at(0));
    ASSERT_TRUE(playing(0)) << pane->lastError().toStdString();
    QTest::mouseClick(rows, Qt::LeftButton, {}, at(1));
    ASSERT_TRUE(playing(1));
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(0)), 1);
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(1)), 1);

    // A press on row 3, dragged down to row 4 and let go there: row 3's stream is given up, row
    // 4 is not opened, and channel 1 plays on (from its kept player, at once).
    QTest::mousePress(rows, Qt::LeftButton, {}, at(3));
    EXPECT_EQ(pane->url(), Channel(3));
    QMouseEvent drag(QEvent::MouseMove, QPointF(at(4)), rows->mapToGlobal(QPointF(at(4))), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(rows, &drag);
    QTest::mouseRelease(rows, Qt::LeftButton, {}, at(4));
    EXPECT_EQ(pane->url(), Channel(1));
    EXPECT_EQ(pane->playState(), QStringLiteral("playing"));
    EXPECT_TRUE(pane->hasFrame());
    QTest::qWait(500);
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(4)), 0) << "the row the press ended on is not opened";
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(1)), 1);
    // The undone press is no channel to go back to: Backspace returns to channel 0.
    Key(Qt::Key_Backspace);
    EXPECT_EQ(pane->url(), Channel(0));
}

TEST_F(Clicks, AClickOnTheOpenRowLeavesAPlayingChannelAndPlaysAPausedOrStuckOneAgain) {
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    QWidget* rows = f.ListView1->viewport();
    QTest::mouseClick(rows, Qt::LeftButton, {}, at(0));
    ASSERT_TRUE(playing(0));
    QTest::mouseClick(rows, Qt::LeftButton, {}, at(0));  // playing: it plays on, not opened again
    QTest::qWait(300);
    EXPECT_EQ(pane->playState(), QStringLiteral("playing"));
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(0)), 1);

    pane->playPause();
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("paused"); }, 5000));
    QTest::mouseClick(rows, Qt::LeftButton, {}, at(0));
    EXPECT_TRUE(playing(0)) << "a click on the paused channel plays it";

    // A server that never answers: the channel is stuck opening; a second later, Enter on its
    // row opens it again (a double-click's second press, within the second, does not).
    server.serveSilence(test_support::ChannelPath(1));
    QTest::mouseClick(rows, Qt::LeftButton, {}, at(1));
    ASSERT_TRUE(WaitFor([&] { return server.requestCount(test_support::ChannelPath(1)) == 1; }, 5000));
    QTest::mouseClick(rows, Qt::LeftButton, {}, at(1));
    QTest::qWait(1100);
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(1)), 1);
    EXPECT_EQ(pane->playState(), QStringLiteral("opening"));
    Key(Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return server.requestCount(test_support::ChannelPath(1)) == 2; }, 5000));
    pane->stop();
}

TEST_F(Clicks, TheRowUnderThePointerOrTheKeysIsPreparedWithoutItsMediaAndOpensThroughThatConnection) {
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    QWidget* rows = f.ListView1->viewport();
    const int connections = server.connections();
    const qint64 sent = server.bytesSent();

    // The pointer sweeps across the list and comes to rest on row 2: only row 2 is prepared, its
    // server connected to, and nothing is asked of it.
    for (int row : {0, 1, 3, 4}) QTest::mouseMove(rows, at(row));
    QTest::mouseMove(rows, at(2));
    ASSERT_TRUE(WaitFor([&] { return server.connections() == connections + 1; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(server.bytesSent(), sent) << "no byte of media, nor any answer, before the press";
    EXPECT_EQ(server.connections(), connections + 1);

    // The press opens it over that connection: one request. Its server is kept warm from then
    // on: one more connection waits, unused, for the next zap to it.
    QTest::mouseClick(rows, Qt::LeftButton, {}, at(2));
    ASSERT_TRUE(playing(2)) << pane->lastError().toStdString();
    EXPECT_TRUE(pane->openedPrepared());
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(2)), 1);
    ASSERT_TRUE(WaitFor([&] { return server.connections() == connections + 2; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(server.connections(), connections + 2);
    EXPECT_EQ(server.requestCount(), 1);

    // The keys: a step down prepares row 3 (over the warm server's connection) before the zap
    // that follows once they rest; the next waiting connection is made after it.
    f.ListView1->setFocus();
    Key(Qt::Key_Down);
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(3)), 0);
    ASSERT_TRUE(playing(3)) << pane->lastError().toStdString();
    EXPECT_TRUE(pane->openedPrepared());
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(3)), 1);
    ASSERT_TRUE(WaitFor([&] { return server.connections() == connections + 3; }, 5000));

    // Going back to the kept channel needs no connection; an address nobody prepared, on the
    // warm server, goes over its waiting connection; one on a server never used is opened by
    // the player itself.
    QTest::mouseMove(rows, at(2));
    Key(Qt::Key_Backspace);
    EXPECT_EQ(pane->url(), Channel(2));
    QTest::qWait(300);
    EXPECT_EQ(server.connections(), connections + 3);
    pane->setUrl(Channel(0));
    ASSERT_TRUE(playing(0));
    EXPECT_TRUE(pane->openedPrepared());
    EXPECT_EQ(server.requestCount(test_support::ChannelPath(0)), 1);
    HttpServer other;
    other.serve(QStringLiteral("/other.ts"), test_media::MpegTsVideo(), "video/mp2t");
    pane->setUrl(other.url(QStringLiteral("/other.ts")));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    EXPECT_FALSE(pane->openedPrepared());
}

TEST_F(Clicks, ZappingOnWithTheKeysOpensTheRowMadeReadyAheadTheWayTheyMove) {
    // Four HLS channels (a playlist and four segments each) in place of the list.
    const QByteArray stream = test_media::MpegTsVideo();
    const qsizetype piece = stream.size() / 4 / 188 * 188;
    const auto playlist = [](int c) { return QStringLiteral("/hls%1/index.m3u8").arg(c); };
    std::string catalogue;
    for (int c = 0; c < 4; ++c) {
        QByteArray media = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:5\n#EXT-X-MEDIA-SEQUENCE:0\n";
        for (int i = 0; i < 4; ++i) {
            server.serve(QStringLiteral("/hls%1/s%2.ts").arg(c).arg(i), stream.mid(i * piece, i == 3 ? -1 : piece),
                         "video/mp2t");
            media += "#EXTINF:5.0,\ns" + QByteArray::number(i) + ".ts\n";
        }
        server.serve(playlist(c), media + "#EXT-X-ENDLIST\n", "application/vnd.apple.mpegurl");
        catalogue::AppendEncodedLine(catalogue, "HLS " + std::to_string(c), FromQt(server.url(playlist(c))), "TV",
                                     "English");
    }
    program.folder().write("Data.txt", catalogue);
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    const auto plays = [&](int c) {
        return WaitFor(
            [&] {
                return pane->url() == server.url(playlist(c)) && pane->playState() == QLatin1String("playing") &&
                       pane->hasFrame();
            },
            15000);
    };
    // A click plays channel 0 and makes channel 1, below it, ready: its playlist is fetched
    // before anyone chose it, and Down opens it from there.
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {}, at(0));
    QTest::mouseMove(f.cmdTV, QPoint(2, 2));  // and the pointer leaves the list
    ASSERT_TRUE(plays(0)) << pane->lastError().toStdString();
    EXPECT_TRUE(WaitFor([&] { return server.requestCount(playlist(1)) == 1; }, 5000));
    f.ListView1->setFocus();
    const auto restThenKey = [&](int key) {
        QTest::qWait(Form1::kZapPauseMs + 50);
        Key(key);
    };
    restThenKey(Qt::Key_Down);
    ASSERT_TRUE(plays(1)) << pane->lastError().toStdString();
    EXPECT_TRUE(pane->openedPrepared());
    EXPECT_EQ(server.requestCount(playlist(1)), 1);

    // Zapping on: channel 2, where Down goes next, is made ready in turn.
    EXPECT_TRUE(WaitFor([&] { return server.requestCount(playlist(2)) == 1; }, 5000));
    QTest::qWait(200);
    restThenKey(Qt::Key_Down);
    ASSERT_TRUE(plays(2)) << pane->lastError().toStdString();
    EXPECT_TRUE(pane->openedPrepared());
    EXPECT_EQ(server.requestCount(playlist(2)), 1) << "answered from the playlist fetched ahead";
    EXPECT_TRUE(WaitFor([&] { return server.requestCount(playlist(3)) == 1; }, 5000));

    // Up turns the way round: back to channel 1, and channel 0 is the one made ready.
    const int channel0 = server.requestCount(playlist(0));
    restThenKey(Qt::Key_Up);
    ASSERT_TRUE(plays(1));
    EXPECT_TRUE(WaitFor([&] { return server.requestCount(playlist(0)) == channel0 + 1; }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(server.requestCount(playlist(3)), 1);
}

TEST_F(Clicks, APreparedHlsChannelIsAnsweredFromItsPlaylistsAndPlaysOnThroughItsSegments) {
    // A master playlist, its one variant and ten segments cut from a 20 s stream.
    const QByteArray stream = test_media::MpegTsVideo();
    const qsizetype piece = stream.size() / 10 / 188 * 188;
    QByteArray media = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:0\n";
    for (int i = 0; i < 10; ++i) {
        const QString segment = QStringLiteral("/hls/s%1.ts").arg(i);
        server.serve(segment, stream.mid(i * piece, i == 9 ? -1 : piece), "video/mp2t");
        media += "#EXTINF:2.0,\ns" + QByteArray::number(i) + ".ts\n";
    }
    media += "#EXT-X-ENDLIST\n";
    server.serve(QStringLiteral("/hls/index.m3u8"), media, "application/vnd.apple.mpegurl");
    server.serve(QStringLiteral("/hls/master.m3u8"),
                 "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=2000000,RESOLUTION=320x240\nindex.m3u8\n",
                 "application/vnd.apple.mpegurl");
    const QString address = server.url(QStringLiteral("/hls/master.m3u8"));
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;

    pane->prepare(address);
    ASSERT_TRUE(WaitFor([&] { return server.requestCount(QStringLiteral("/hls/index.m3u8")) == 1; }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(server.requestCount(), 2) << "the two playlists, no segment";
    pane->setUrl(address);
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing") && pane->hasFrame(); }, 15000))
        << pane->lastError().toStdString();
    EXPECT_TRUE(pane->openedPrepared());
    // It plays on past the segments read at the start: every request after the first passes
    // through to the server as the player makes it.
    ASSERT_TRUE(WaitFor([&] { return pane->position() > 7; }, 20000)) << pane->position();
    EXPECT_EQ(server.requestCount(QStringLiteral("/hls/master.m3u8")), 1);
    EXPECT_EQ(server.requestCount(QStringLiteral("/hls/index.m3u8")), 1);
    EXPECT_GE(server.requestCount(QStringLiteral("/hls/s4.ts")), 1);
    EXPECT_TRUE(pane->lastError().isEmpty());

    // A prepared address the server does not have fails in the server's words, as unprepared.
    const QString missing = server.url(QStringLiteral("/hls/gone.ts"));
    pane->prepare(missing);  // over the warm server's waiting connection, or a new one
    QTest::qWait(300);
    pane->setUrl(missing);
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, 15000));
    EXPECT_TRUE(pane->openedPrepared());
    EXPECT_TRUE(pane->lastError().contains(QLatin1String("HTTP status 404"))) << pane->lastError().toStdString();
}

TEST_F(Keys, AFailureInTheSecondPlayerIsToldInTheServersWords) {
    // FFmpeg's lines go to the player made first; a zap that fails in the other one (the last
    // channel kept in the first) still says what the server answered.
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    pane->setUrl(Channel(0));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    pane->setUrl(server.url(QStringLiteral("/missing.ts")));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, 15000));
    EXPECT_EQ(pane->keptAddress(), Channel(0));
    EXPECT_TRUE(pane->lastError().contains(QLatin1String("HTTP status 404"))) << pane->lastError().toStdString();
}

TEST_F(Keys, VolumeAndMuteAreKeptForTheNextStart) {
    Form1& f = Start();
    EXPECT_EQ(f.WindowsMediaPlayer1->volume(), 50);  // a first start, as designed
    f.WindowsMediaPlayer1->findChild<QSlider*>(QStringLiteral("volume"))->setValue(30);
    f.WindowsMediaPlayer1->findChild<QToolButton*>(QStringLiteral("mute"))->click();
    const auto saved = [](const char* key) {
        return GetSetting(settings_keys::AppName(), settings_keys::kSection, key, "");
    };
    ASSERT_TRUE(
        WaitFor([&] { return saved(settings_keys::kVolume) == "30" && saved(settings_keys::kMute) == "1"; }, 3000));
    form.reset();
    Form1& again = Start();
    EXPECT_EQ(again.WindowsMediaPlayer1->volume(), 30);
    EXPECT_TRUE(again.WindowsMediaPlayer1->isMuted());
    EXPECT_EQ(again.WindowsMediaPlayer1->findChild<QSlider*>(QStringLiteral("volume"))->value(), 30);
}
