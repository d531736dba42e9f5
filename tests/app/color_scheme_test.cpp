// The viewer's colours follow the desktop's light or dark preference through a fake XDG desktop
// portal on a private session bus (dbus-run-session; the test says so through
// VIEWER_TEST_PRIVATE_BUS), never the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <memory>

#include "app/color_scheme.h"
#include "base/private_label.h"
#include "player/player_pane.h"
#include "support/wait_for.h"

using test_support::WaitFor;

// A portal that only knows the colour scheme, and says when it changes.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint value = 1;  // prefers dark
    int reads = 0;

public slots:
    QDBusVariant Read(const QString& group, const QString& key) {
        ++reads;
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
            return QDBusVariant(QVariant());
        // The portal wraps the value in a variant of its own.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(value)));
    }
};

namespace {

bool Dark() { return QApplication::palette().color(QPalette::Window).lightness() < 100; }

class DesktopColours : public ::testing::Test {
protected:
    void SetUp() override {
        if (qgetenv("VIEWER_TEST_PRIVATE_BUS") != "1") GTEST_SKIP() << "runs on a private session bus only";
        m_light = QApplication::palette();
        bus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")));
        ASSERT_TRUE(bus->isConnected());
        ASSERT_TRUE(bus->registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                        QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus->registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    }
    void TearDown() override {
        modPrivateLabel::SkinEnabled = false;
        QApplication::setPalette(m_light);
        if (!bus) return;
        bus->unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    }
    void Say(uint value) {
        portal.value = value;
        QDBusMessage changed = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                          QStringLiteral("org.freedesktop.portal.Settings"),
                                                          QStringLiteral("SettingChanged"));
        changed << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
                << QVariant::fromValue(QDBusVariant(value));
        ASSERT_TRUE(bus->send(changed));
    }

    FakePortal portal;
    std::unique_ptr<QDBusConnection> bus;
    QPalette m_light;
};

}  // namespace

TEST_F(DesktopColours, DarkAtStartLightAfterTheDesktopSaysSoAndTheSettingOrTheSkinOverrule) {
    {
        color_scheme::DesktopScheme colours(QString{});
        ASSERT_TRUE(WaitFor([&] { return Dark(); }, 5000)) << "dark from the portal at start";
        PlayerPane pane;
        const auto stopGlyph = [&] {
            // The lightest pixel of the Stop button's square glyph.
            const QImage image = pane.findChild<QToolButton*>(QStringLiteral("stop"))->icon().pixmap(16, 16).toImage();
            int lightest = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) > 128) lightest = std::max(lightest, qGray(image.pixel(x, y)));
            return lightest;
        };
        EXPECT_GT(stopGlyph(), 160) << "the player's buttons drawn light on the dark bar";
        EXPECT_EQ(colours.scheme(), color_scheme::Scheme::Dark);
        EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
        Say(2);
        ASSERT_TRUE(WaitFor([&] { return !Dark(); }, 5000)) << "light after the change";
        EXPECT_EQ(colours.scheme(), color_scheme::Scheme::Light);
        Say(1);
        ASSERT_TRUE(WaitFor([&] { return Dark(); }, 5000));
        // Other settings of the portal change nothing.
        QDBusMessage other = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                        QStringLiteral("org.freedesktop.portal.Settings"),
                                                        QStringLiteral("SettingChanged"));
        other << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("accent-color")
              << QVariant::fromValue(QDBusVariant(2u));
        bus->send(other);
        QTest::qWait(200);
        EXPECT_TRUE(Dark());
    }
    QApplication::setPalette(m_light);

    // The per-user setting chooses light whatever the desktop prefers; the portal is not asked.
    const int reads = portal.reads;
    {
        color_scheme::DesktopScheme colours(QStringLiteral("light"));
        QTest::qWait(300);
        EXPECT_FALSE(Dark());
        EXPECT_EQ(portal.reads, reads);
    }

    // A skin keeps its own colours: nothing is applied, now or on a change.
    modPrivateLabel::SkinEnabled = true;
    QPalette skinned = QApplication::palette();
    skinned.setColor(QPalette::Window, QColor(200, 180, 120));
    QApplication::setPalette(skinned);
    {
        color_scheme::DesktopScheme colours(QString{});
        Say(1);
        QTest::qWait(300);
        EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(200, 180, 120));
    }
}

#include "color_scheme_test.moc"
