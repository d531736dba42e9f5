// The desktop's side: media keys and media controls reach the pane through MPRIS on the session
// bus, and the screen saver is held while a picture plays. Runs on a private bus made by
// dbus-run-session (the test says so through VIEWER_TEST_PRIVATE_BUS), never on the user's.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QSet>
#include <QTest>
#include <memory>

#include "base/private_label.h"
#include "player/media_session.h"
#include "player/player_pane.h"
#include "support/http_server.h"
#include "support/program_folder.h"
#include "support/temp_dir.h"
#include "support/video_channels.h"
#include "support/wait_for.h"
#include "widgets/list_view.h"
#include "windows/main_window.h"

using test_support::WaitFor;

// A screen saver that only records who holds it.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QSet<uint> held;
    int released = 0;

public slots:
    uint Inhibit(const QString&, const QString&) {
        held.insert(++m_next);
        return m_next;
    }
    void UnInhibit(uint cookie) {
        if (held.remove(cookie)) ++released;
    }

private:
    uint m_next = 0;
};

namespace {

class MediaSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qgetenv("VIEWER_TEST_PRIVATE_BUS") != "1") GTEST_SKIP() << "runs on a private session bus only";
        modPrivateLabel::LoadPrivateLabel();
        test_support::ServeVideoChannels(server, program.folder(), 2);
        // The screen saver and the remote control each on a connection of their own, as
        // other programs on the bus would be.
        m_saverBus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-screensaver")));
        ASSERT_TRUE(m_saverBus->isConnected());
        ASSERT_TRUE(m_saverBus->registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                                               QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(m_saverBus->registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        m_remote = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("remote")));
        ASSERT_TRUE(m_remote->isConnected());
    }
    void TearDown() override {
        form.reset();
        if (m_saverBus) {
            m_saverBus->unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
            QDBusConnection::disconnectFromBus(QStringLiteral("fake-screensaver"));
        }
        if (m_remote) QDBusConnection::disconnectFromBus(QStringLiteral("remote"));
    }

    // A call from the remote connection, answered while this thread's event loop runs (the
    // player answers on this thread too, so a blocking call would wait for itself).
    QDBusMessage Call(const QString& interfaceName, const QString& method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            form->mediaSession()->serviceName(), QStringLiteral("/org/mpris/MediaPlayer2"), interfaceName, method);
        call.setArguments(args);
        QDBusPendingCallWatcher watcher(m_remote->asyncCall(call, 5000));
        EXPECT_TRUE(WaitFor([&] { return watcher.isFinished(); }, 6000)) << method.toStdString();
        return watcher.reply();
    }
    QDBusMessage Player(const QString& method) { return Call(QStringLiteral("org.mpris.MediaPlayer2.Player"), method); }
    QVariant Property(const QString& name) {
        const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {QStringLiteral("org.mpris.MediaPlayer2.Player"), name});
        if (reply.arguments().isEmpty()) return {};
        return reply.arguments().front().value<QDBusVariant>().variant();
    }
    QVariantMap Metadata() {
        QVariantMap map;
        const QVariant value = Property(QStringLiteral("Metadata"));
        if (value.canConvert<QDBusArgument>()) value.value<QDBusArgument>() >> map;
        return map;
    }

    HttpServer server;
    ScopedProgramFolder program;
    ScopedConfigHome home;
    FakeScreenSaver saver;
    std::unique_ptr<Form1> form;

private:
    std::unique_ptr<QDBusConnection> m_saverBus, m_remote;
};

}  // namespace

TEST_F(MediaSessionTest, MediaKeysPlayPauseStopAndZapAndTheScreenSaverWaitsOnlyForAPicture) {
    form = std::make_unique<Form1>();
    form->Form_Load();
    form->show();
    MediaSession* session = form->mediaSession();
    ASSERT_NE(session, nullptr);
    ASSERT_TRUE(session->isRegistered());
    EXPECT_TRUE(session->serviceName().startsWith(QLatin1String("org.mpris.MediaPlayer2.")));
    PlayerPane* pane = form->WindowsMediaPlayer1;

    form->ListView1->selectRow(0);
    form->ListView1_Click();
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    EXPECT_EQ(Property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    const QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Channel 0"));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:url")).toString(), server.url(QStringLiteral("/ch0.ts")));
    EXPECT_TRUE(WaitFor([&] { return saver.held.size() == 1; }, 3000)) << "a playing picture holds the screen saver";

    Player(QStringLiteral("PlayPause"));
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("paused"); }, 3000));
    EXPECT_TRUE(WaitFor([&] { return saver.held.isEmpty(); }, 3000)) << "a pause lets go of it";
    Player(QStringLiteral("PlayPause"));
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 3000));
    EXPECT_TRUE(WaitFor([&] { return saver.held.size() == 1; }, 3000));

    Player(QStringLiteral("Next"));
    EXPECT_TRUE(WaitFor([&] { return pane->url() == server.url(QStringLiteral("/ch1.ts")); }, 3000));
    EXPECT_TRUE(
        WaitFor([&] { return Metadata().value(QStringLiteral("xesam:title")) == QStringLiteral("Channel 1"); }, 3000));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    Player(QStringLiteral("Previous"));
    EXPECT_TRUE(WaitFor([&] { return pane->url() == server.url(QStringLiteral("/ch0.ts")); }, 3000));

    Player(QStringLiteral("Stop"));
    EXPECT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("stopped"); }, 3000));
    EXPECT_EQ(Property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    EXPECT_TRUE(WaitFor([&] { return saver.held.isEmpty(); }, 3000)) << "stop lets go of it";
    EXPECT_GE(saver.released, 2);

    // Volume from the desktop moves the pane's slider.
    const QDBusMessage set = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                                  {QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Volume"),
                                   QVariant::fromValue(QDBusVariant(0.25))});
    EXPECT_NE(set.type(), QDBusMessage::ErrorMessage) << set.errorMessage().toStdString();
    EXPECT_EQ(pane->volume(), 25);
}

TEST_F(MediaSessionTest, ClosingThePlayingWindowLetsGoOfTheScreenSaver) {
    form = std::make_unique<Form1>();
    form->Form_Load();
    form->show();
    form->ListView1->selectRow(0);
    form->ListView1_Click();
    ASSERT_TRUE(WaitFor([&] { return form->WindowsMediaPlayer1->playState() == QLatin1String("playing"); }, 15000));
    ASSERT_TRUE(WaitFor([&] { return saver.held.size() == 1; }, 3000));
    form.reset();
    EXPECT_TRUE(WaitFor([&] { return saver.held.isEmpty(); }, 3000));
}

#include "media_session_test.moc"
