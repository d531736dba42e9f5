#include "player/media_session.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "player/mpris_adaptors.h"
#include "player/player_pane.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

// A D-Bus bus name part: letters, digits and "_" only, not starting with a digit.
QString BusNamePart(const QString& text) {
    QString part;
    for (const QChar c : text)
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_'))
            part += c;
    if (part.isEmpty() || part.front().isDigit()) part.prepend(QLatin1String("viewer"));
    return part;
}

}  // namespace

MediaSession::MediaSession(PlayerPane* pane, const QString& identity, const QString& desktopEntry, QObject* parent)
    : QObject(parent), m_pane(pane), m_identity(identity), m_desktopEntry(desktopEntry) {
    connect(pane, &PlayerPane::playStateChanged, this, [this] {
        refreshScreenSaver();
        announce({QStringLiteral("PlaybackStatus"), QStringLiteral("CanPlay"), QStringLiteral("CanPause"),
                  QStringLiteral("CanSeek")});
    });
    connect(pane, &PlayerPane::mediaChanged, this, [this] {
        refreshScreenSaver();
        if (auto* player = findChild<MprisPlayer*>()) player->nextTrack();
        announce({QStringLiteral("Metadata")});
    });
    connect(pane, &PlayerPane::volumeChanged, this, [this] { announce({QStringLiteral("Volume")}); });

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;  // no session bus: nothing to show to
    new MprisRoot(this);
    new MprisPlayer(this);
    if (!bus.registerObject(kObjectPath, this)) return;
    QString name = QStringLiteral("org.mpris.MediaPlayer2.") + BusNamePart(identity);
    if (!bus.registerService(name)) {
        name += QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
        if (!bus.registerService(name)) {
            bus.unregisterObject(kObjectPath);
            return;
        }
    }
    m_serviceName = name;
}

MediaSession::~MediaSession() {
#ifndef Q_OS_WIN
    // A hold whose answer is still on its way is let go too: wait for the cookie first.
    if (QDBusPendingCallWatcher* watcher = m_pendingCall) {
        m_pendingCall = nullptr;
        watcher->waitForFinished();
        const QDBusPendingReply<quint32> reply = *watcher;
        if (!reply.isError()) m_cookie = reply.value();
        m_holding = true;
    }
#endif
    holdScreenSaver(false);
    if (!isRegistered()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_serviceName);
    bus.unregisterObject(kObjectPath);
}

void MediaSession::announce(const QStringList& properties) {
    if (!isRegistered()) return;
    QVariantMap changed;
    const auto* adaptor = findChild<MprisPlayer*>();
    if (!adaptor) return;
    for (const QString& property : properties)
        changed.insert(property, adaptor->property(property.toLatin1().constData()));
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void MediaSession::refreshScreenSaver() {
    // Only a picture keeps the screen awake: a radio does not need the screen.
    holdScreenSaver(m_pane && m_pane->state() == PlayerPane::PlayState::Playing && m_pane->hasVideo());
}

void MediaSession::holdScreenSaver(bool hold) {
    if (hold == m_holding) return;
    m_holding = hold;
#ifdef Q_OS_WIN
    SetThreadExecutionState(hold ? (ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED) : ES_CONTINUOUS);
#else
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    const QString service = QStringLiteral("org.freedesktop.ScreenSaver");
    const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");
    if (hold) {
        if (m_pendingCall) {
            m_releaseWhenAnswered = false;
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Inhibit"));
        call << m_identity << QStringLiteral("Playing a video");
        // Asynchronous: the answer may take a while, and the window never waits for the desktop.
        m_releaseWhenAnswered = false;
        m_pendingCall = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
        connect(m_pendingCall, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (m_pendingCall != w) return;  // already taken by the destructor
            m_pendingCall = nullptr;
            const QDBusPendingReply<quint32> reply = *w;
            if (reply.isError()) return;  // no screen saver service: nothing to hold
            m_cookie = reply.value();
            if (m_releaseWhenAnswered) {
                m_holding = true;  // taken after all: let go now
                holdScreenSaver(false);
            }
        });
    } else {
        if (m_pendingCall) {
            m_releaseWhenAnswered = true;
            return;
        }
        if (m_cookie == 0) return;
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("UnInhibit"));
        call << m_cookie;
        m_cookie = 0;
        bus.send(call);
    }
#endif
}
