// End to end: the main window plays streams that a real HTTP server on 127.0.0.1 serves.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <memory>

#include <mpv/client.h>

#include "base/app.h"
#include "base/private_label.h"
#include "base/process_memory.h"
#include "catalogue/catalogue_writer.h"
#include "player/hardware_decoders.h"
#include "player/mpv_player.h"
#include "player/player_pane.h"
#include "support/http_server.h"
#include "support/temp_dir.h"
#include "support/test_media.h"
#include "support/tiny_http.h"
#include "support/wait_for.h"
#include "widgets/list_view.h"
#include "widgets/qt_text.h"
#include "windows/main_window.h"

using test_support::WaitFor;

namespace {

// A property of the player's mpv handle, as text ("" when mpv has none).
std::string Property(const MpvPlayer& player, const char* name) {
    char* text = mpv_get_property_string(player.handle(), name);
    std::string out = text ? text : "";
    mpv_free(text);
    return out;
}

// Mean absolute deviation of the picture's grey levels: 0 for a blank picture.
double Detail(const QImage& image) {
    if (image.isNull()) return 0;
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) sum += grey.pixelColor(x, y).red();
    const double mean = sum / (grey.width() * grey.height());
    double dev = 0;
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) dev += std::abs(grey.pixelColor(x, y).red() - mean);
    return dev / (grey.width() * grey.height());
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = App::Info();
        server.serve(QStringLiteral("/video.ts"), test_media::MpegTsVideo(), "video/mp2t");
        server.serve(QStringLiteral("/radio.mp3"), test_media::Mp3Audio(), "audio/mpeg");
        server.serveRadio(QStringLiteral("/icy"), test_media::Mp3Audio(), QStringLiteral("Test Artist - Test Song"));
        server.serve(QStringLiteral("/notes.txt"), QByteArray("these are not media\n").repeated(50), "text/plain");
        server.serveSilence(QStringLiteral("/stalled.ts"));
        AppInfo info = App::BuildInfo();
        info.path = program.path();
        App::Configure(info);
        modPrivateLabel::LoadPrivateLabel();
    }
    void TearDown() override {
        form.reset();
        App::Configure(m_saved);
    }

    void Catalogue(std::initializer_list<std::pair<const char*, QString>> channels, const char* category = "TV") {
        std::string text;
        for (const auto& [name, url] : channels)
            catalogue::AppendEncodedLine(text, name, FromQt(url), category, "English");
        program.write("Data.txt", text);
    }

    Form1& Start() {
        form = std::make_unique<Form1>();
        form->Form_Load();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return *form;
    }

    // Clicks the row as a user does: on its first cell.
    static void ClickRow(ListView* list, int row) {
        const QRect cell = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    }

    HttpServer server;
    TempDir program;
    ScopedConfigHome home;
    std::unique_ptr<Form1> form;

private:
    AppInfo m_saved;
};

}  // namespace

TEST_F(Playback, ClickingAChannelPlaysTheMpegTsStreamAndDrawsItsPicture) {
    Catalogue({{"Test Video", server.url(QStringLiteral("/video.ts"))}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    ClickRow(f.ListView1, 0);
    EXPECT_EQ(pane->property("URL").toString(), server.url(QStringLiteral("/video.ts")));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000))
        << "state " << pane->playState().toStdString() << ": " << pane->lastError().toStdString();
    ASSERT_TRUE(WaitFor([&] { return pane->hasFrame() && Detail(pane->grabFrame()) > 10; }, 10000))
        << "detail " << Detail(pane->grabFrame());
}

TEST_F(Playback, RadioStreamPlaysAndShowsItsNowPlayingTitle) {
    Catalogue({{"Test Radio", server.url(QStringLiteral("/icy"))}}, "Radio");
    Form1& f = Start();
    f.cmdRadio_Click();
    ClickRow(f.ListView1, 0);
    PlayerPane* pane = f.WindowsMediaPlayer1;
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000))
        << pane->lastError().toStdString();
    EXPECT_TRUE(WaitFor([&] { return pane->title().contains(QLatin1String("Test Song")); }, 10000))
        << "title: " << pane->title().toStdString();
}

TEST_F(Playback, TheNextStreamOpensItsSoundWithTheDriverThatOpenedBefore) {
    MpvPlayer player;
    int starts = 0;
    QObject::connect(&player, &MpvPlayer::started, [&] { ++starts; });
    player.load(server.url(QStringLiteral("/radio.mp3")));
    ASSERT_TRUE(WaitFor([&] { return starts == 1; }, 15000));
    const auto property = [&](const char* name) { return Property(player, name); };
    const std::string opened = property("current-ao");
    ASSERT_FALSE(opened.empty());
    player.load(server.url(QStringLiteral("/radio.mp3")));
    ASSERT_TRUE(WaitFor([&] { return starts == 2; }, 15000));
    EXPECT_EQ(property("ao").substr(0, opened.size() + 1), opened == "null" ? opened : opened + ",");
    EXPECT_EQ(property("current-ao"), opened);
}

TEST_F(Playback, WhereTheMachineHasNoHardwareDecoderStreamsDecodeInSoftwareAndTheSettingStaysOn) {
    const QString radio = server.url(QStringLiteral("/radio.mp3"));
    MpvPlayer player(nullptr, 50, true, true);
    const auto decoders = [&] { return Property(player, "hwdec"); };
    hardware_decoders::SetForTests(false);
    player.load(radio);
    EXPECT_TRUE(WaitFor([&] { return decoders() == "no"; }, 5000)) << decoders();
    EXPECT_TRUE(player.hardwareDecoding());  // what the user chose, and what is saved
    // A machine that has one: the next stream may use it; off is off.
    hardware_decoders::SetForTests(true);
    player.load(radio);
    EXPECT_TRUE(WaitFor([&] { return decoders() == "auto-copy-safe"; }, 5000)) << decoders();
    player.setHardwareDecoding(false);
    EXPECT_TRUE(WaitFor([&] { return decoders() == "no"; }, 5000)) << decoders();
    hardware_decoders::SetForTests(std::nullopt);
}

TEST_F(Playback, UnplayableAddressesEndInThePanesErrorDialogWithinSeconds) {
    const QString refused = QStringLiteral("http://127.0.0.1:%1/live.ts").arg(TinyHttp::ClosedPort());
    const struct {
        QString url;
        int withinMs;
    } cases[] = {
        {refused, 5000},
        {server.url(QStringLiteral("/missing.ts")), 5000},
        {server.url(QStringLiteral("/notes.txt")), 5000},
        {QStringLiteral("ytdl://somewhere"), 100},
        {server.url(QStringLiteral("/stalled.ts")), 15000},
    };
    Catalogue({{"Placeholder", refused}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    for (const auto& c : cases) {
        QElapsedTimer timer;
        timer.start();
        pane->setUrl(c.url);
        EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, c.withinMs))
            << c.url.toStdString() << " state " << pane->playState().toStdString();
        EXPECT_LE(timer.elapsed(), c.withinMs) << c.url.toStdString();
        auto* box = pane->findChild<QMessageBox*>(QStringLiteral("playerError"));
        ASSERT_NE(box, nullptr) << c.url.toStdString();
        EXPECT_TRUE(box->isVisible());
        EXPECT_TRUE(box->text().contains(c.url));
        EXPECT_EQ(box->windowModality(), Qt::NonModal);  // the window stays usable
        box->close();
        QTest::qWait(10);
    }
}

TEST_F(Playback, StopCloseAndANewAddressChangeTheState) {
    Catalogue({{"Test Video", server.url(QStringLiteral("/video.ts"))}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    pane->setUrl(server.url(QStringLiteral("/radio.mp3")));
    EXPECT_EQ(pane->playState(), QStringLiteral("opening"));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    pane->stop();
    EXPECT_EQ(pane->playState(), QStringLiteral("stopped"));
    pane->setUrl(server.url(QStringLiteral("/video.ts")));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    pane->close();
    EXPECT_EQ(pane->playState(), QStringLiteral("idle"));
    EXPECT_TRUE(pane->url().isEmpty());
}

// A catalogue comes from the web: a playlist on a web server must not lead the player to the
// user's own files, or to any protocol the viewer does not open.
TEST_F(Playback, APlaylistOnTheWebCannotReachLocalFilesOrOtherProtocols) {
    program.write("secret.mp3", test_media::Mp3Audio().toStdString());
    const QString local = ToQt((program / "secret.mp3").string());
    server.serve(QStringLiteral("/local.m3u"), (QStringLiteral("#EXTM3U\n") + local + QStringLiteral("\n")).toUtf8(),
                 "audio/x-mpegurl");
    server.serve(QStringLiteral("/file.m3u"), (QStringLiteral("file://") + local + QStringLiteral("\n")).toUtf8(),
                 "audio/x-mpegurl");
    server.serve(QStringLiteral("/lavfi.m3u"), QByteArray("av://lavfi:sine\n"), "audio/x-mpegurl");
    Catalogue({{"Placeholder", server.url(QStringLiteral("/local.m3u"))}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    for (const char* list : {"/local.m3u", "/file.m3u", "/lavfi.m3u"}) {
        pane->setUrl(server.url(QString::fromLatin1(list)));
        EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, 10000))
            << list << " ended in " << pane->playState().toStdString();
        QTest::qWait(300);
        EXPECT_NE(pane->playState(), QStringLiteral("playing")) << list;
    }
    // A radio playlist that names a web stream still plays, as radio stations publish them.
    server.serve(QStringLiteral("/radio.m3u"),
                 (server.url(QStringLiteral("/radio.mp3")) + QStringLiteral("\n")).toUtf8(), "audio/x-mpegurl");
    pane->setUrl(server.url(QStringLiteral("/radio.m3u")));
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000))
        << pane->playState().toStdString() << ": " << pane->lastError().toStdString();
}

// A catalogue names network addresses, in whatever letter case its author typed the scheme;
// a local file or folder is played only when the user names it.
TEST_F(Playback, ListAddressesAreNetworkOnlyAndTheSchemeMayBeInCapitals) {
    QString upper = server.url(QStringLiteral("/radio.mp3"));
    upper.replace(0, 4, QStringLiteral("HTTP"));
    program.write("song.mp3", test_media::Mp3Audio().toStdString());
    const QString local = ToQt((program / "song.mp3").string());
    Catalogue({{"Capitals", upper}, {"Local", local}, {"Folder", ToQt(program.path().string())}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    ClickRow(f.ListView1, 0);
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000))
        << pane->playState().toStdString() << ": " << pane->lastError().toStdString();
    for (int row : {1, 2}) {
        ClickRow(f.ListView1, row);
        EXPECT_EQ(pane->playState(), QStringLiteral("error")) << row;
        if (auto* box = pane->findChild<QMessageBox*>(QStringLiteral("playerError"))) box->close();
    }
    f.PlayAddress(local);  // as from the command line
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000))
        << pane->playState().toStdString() << ": " << pane->lastError().toStdString();
}

// A playlist whose first entry is dead: the pane goes on to the next entry and reports no
// error while it plays.
TEST_F(Playback, APlaylistWithADeadFirstEntryPlaysTheNextWithoutAnError) {
    const QString dead = QStringLiteral("http://127.0.0.1:%1/gone.mp3").arg(TinyHttp::ClosedPort());
    server.serve(
        QStringLiteral("/dead-first.m3u"),
        (dead + QStringLiteral("\n") + server.url(QStringLiteral("/radio.mp3")) + QStringLiteral("\n")).toUtf8(),
        "audio/x-mpegurl");
    Catalogue({{"List", server.url(QStringLiteral("/dead-first.m3u"))}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    QStringList states;
    QObject::connect(pane, &PlayerPane::playStateChanged, pane, [&](const QString& s) { states << s; });
    ClickRow(f.ListView1, 0);
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000))
        << states.join(QLatin1Char(' ')).toStdString() << ": " << pane->lastError().toStdString();
    QTest::qWait(300);
    EXPECT_EQ(pane->playState(), QStringLiteral("playing"));
    EXPECT_FALSE(states.contains(QStringLiteral("error"))) << states.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(pane->findChild<QMessageBox*>(QStringLiteral("playerError")), nullptr);
    // A playlist whose every entry is dead still ends in the error, once.
    server.serve(QStringLiteral("/all-dead.m3u"), (dead + QStringLiteral("\n") + dead + QStringLiteral("\n")).toUtf8(),
                 "audio/x-mpegurl");
    states.clear();
    pane->setUrl(server.url(QStringLiteral("/all-dead.m3u")));
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, 10000))
        << states.join(QLatin1Char(' ')).toStdString();
    QTest::qWait(300);
    EXPECT_EQ(states.count(QStringLiteral("error")), 1) << states.join(QLatin1Char(' ')).toStdString();
}

// A server that never ends its head, one that trickles a stream that never begins, and one that
// serves an endless playlist: each open ends in the error state with the reason, within its
// deadline and its memory limit.
TEST_F(Playback, EndlessHeadersAndEndlessPlaylistsEndInAnErrorWithinBounds) {
    TinyHttp hostile;
    hostile.endlessHead("/headers.ts", "Set-Cookie: session=0123456789abcdef0123456789abcdef\r\n");
    hostile.endless("/trickle.ts", "G", 100);  // a byte every 100 ms: never enough to start
    hostile.endless("/endless.m3u", "#EXTM3U\nhttp://127.0.0.1:9/a.ts\nhttp://127.0.0.1:9/b.ts\n", 0);
    hostile.endless("/endless.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\nseg.ts\n", 0);
    Catalogue({{"Placeholder", server.url(QStringLiteral("/radio.mp3"))}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    auto closeBox = [&] {
        if (auto* box = pane->findChild<QMessageBox*>(QStringLiteral("playerError"))) box->close();
    };

    PlayerPane::SetOpenLimitsForTests(3000, 0);
    pane->setUrl(QString::fromStdString(hostile.url("/trickle.ts")));
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, 10000));
    EXPECT_TRUE(pane->lastError().contains(QStringLiteral("did not start within 3 seconds")))
        << pane->lastError().toStdString();
    closeBox();
    // Endless headers end at the deadline, or sooner at the memory limit when the cookies
    // pile up fast enough.
    pane->setUrl(QString::fromStdString(hostile.url("/headers.ts")));
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("error"); }, 10000));
    EXPECT_TRUE(pane->lastError().contains(QStringLiteral("did not start within 3 seconds")) ||
                pane->lastError().contains(QStringLiteral("more than any stream")))
        << pane->lastError().toStdString();
    PlayerPane::SetOpenLimitsForTests(0, 0);

    for (const char* path : {"/endless.m3u", "/endless.m3u8"}) {
        closeBox();
        const std::uint64_t before = base::ResidentBytes();
        std::uint64_t peak = before;
        pane->setUrl(QString::fromStdString(hostile.url(path)));
        const bool ended = WaitFor(
            [&] {
                peak = std::max(peak, base::ResidentBytes());
                return pane->playState() == QLatin1String("error");
            },
            25000);
        EXPECT_TRUE(ended) << path << " " << pane->playState().toStdString();
        EXPECT_TRUE(pane->lastError().contains(QStringLiteral("more than any stream")))
            << pane->lastError().toStdString();
        for (int i = 0; i < 10; ++i) {  // and it stops growing
            QTest::qWait(50);
            peak = std::max(peak, base::ResidentBytes());
        }
        std::printf("%s: the process grew by %llu MB before the open ended\n", path,
                    static_cast<unsigned long long>((peak - before) / (1024 * 1024)));
#ifndef __SANITIZE_ADDRESS__
        // (The address sanitizer keeps freed memory resident on purpose, so there the growth
        // says nothing about the product's.)
        EXPECT_LE(peak - before, PlayerPane::kOpenGrowthLimitBytes)
            << path << " grew by " << (peak - before) / (1024 * 1024) << " MB";
#endif
    }
}
