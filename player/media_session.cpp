#include "player/media_session.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <cmath>

#include "player/player_pane.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
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

bool IsActive(PlayerPane::PlayState state) {
    return state == PlayerPane::PlayState::Playing || state == PlayerPane::PlayState::Opening ||
           state == PlayerPane::PlayState::Reconnecting;
}

}  // namespace

// org.mpris.MediaPlayer2: who the player is.
class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit MprisRoot(MediaSession* session) : QDBusAbstractAdaptor(session), m_session(session) {}
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return m_session->identity(); }
    QString desktopEntry() const { return m_session->desktopEntry(); }
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

public slots:
    void Raise() { emit m_session->raiseRequested(); }
    void Quit() { emit m_session->quitRequested(); }

private:
    MediaSession* m_session;
};

// org.mpris.MediaPlayer2.Player: what plays and the commands.
class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canControl)
    Q_PROPERTY(bool CanGoPrevious READ canControl)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPlay)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    explicit MprisPlayer(MediaSession* session) : QDBusAbstractAdaptor(session), m_session(session) {}

    PlayerPane* pane() const { return m_session->pane(); }
    QString playbackStatus() const {
        if (!pane()) return QStringLiteral("Stopped");
        if (pane()->state() == PlayerPane::PlayState::Paused) return QStringLiteral("Paused");
        return IsActive(pane()->state()) ? QStringLiteral("Playing") : QStringLiteral("Stopped");
    }
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const {
        QVariantMap map;
        if (!pane() || pane()->url().isEmpty()) return map;
        map.insert(
            QStringLiteral("mpris:trackid"),
            QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/Track/%1").arg(m_track))));
        const QString name = pane()->channelName().isEmpty() ? pane()->title() : pane()->channelName();
        const QString now = pane()->nowPlaying();
        // A radio's now-playing text is the title and the station its artist, as desktops show them.
        map.insert(QStringLiteral("xesam:title"), now.isEmpty() ? name : now);
        if (!name.isEmpty()) map.insert(QStringLiteral("xesam:artist"), QStringList{name});
        map.insert(QStringLiteral("xesam:url"), pane()->url());
        return map;
    }
    double volume() const { return pane() ? pane()->volume() / 100.0 : 0; }
    void setVolume(double v) {
        if (pane()) pane()->setVolumeFromUser(static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 100)));
    }
    qlonglong position() const { return pane() ? static_cast<qlonglong>(pane()->position() * 1e6) : 0; }
    bool canControl() const { return true; }
    bool canPlay() const { return pane() && !pane()->url().isEmpty(); }
    bool canSeek() const { return pane() && pane()->seekable(); }
    void nextTrack() { ++m_track; }

public slots:
    void Next() {
        if (pane()) pane()->requestNext();
    }
    void Previous() {
        if (pane()) pane()->requestPrevious();
    }
    void Pause() {
        if (pane()) pane()->pause();
    }
    void PlayPause() {
        if (pane()) pane()->playPause();
    }
    void Stop() {
        if (pane()) pane()->stop();
    }
    void Play() {
        if (pane()) pane()->play();
    }
    void Seek(qlonglong offset) {
        if (pane() && pane()->seekable()) pane()->seekTo(pane()->position() + static_cast<double>(offset) / 1e6);
    }
    void SetPosition(const QDBusObjectPath&, qlonglong at) {
        if (pane() && pane()->seekable()) pane()->seekTo(static_cast<double>(at) / 1e6);
    }
    void OpenUri(const QString&) {}  // no schemes are offered: the channels come from the lists

signals:
    void Seeked(qlonglong position);

private:
    MediaSession* m_session;
    int m_track = 0;
};

MediaSession::MediaSession(PlayerPane* pane, const QString& identity, const QString& desktopEntry, QObject* parent)
    : QObject(parent), m_pane(pane), m_identity(identity), m_desktopEntry(desktopEntry) {
    connect(pane, &PlayerPane::playStateChanged, this, [this] {
        refreshScreenSaver();
        announce(kPlayerInterface, {QStringLiteral("PlaybackStatus"), QStringLiteral("CanPlay"),
                                    QStringLiteral("CanPause"), QStringLiteral("CanSeek")});
    });
    connect(pane, &PlayerPane::mediaChanged, this, [this] {
        refreshScreenSaver();
        if (auto* player = findChild<MprisPlayer*>()) player->nextTrack();
        announce(kPlayerInterface, {QStringLiteral("Metadata")});
    });
    connect(pane, &PlayerPane::volumeChanged, this, [this] { announce(kPlayerInterface, {QStringLiteral("Volume")}); });

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
    if (m_cookiePending) {
        if (auto* watcher = qobject_cast<QDBusPendingCallWatcher*>(m_pendingCall.data())) {
            watcher->waitForFinished();
            const QDBusPendingReply<quint32> reply = *watcher;
            if (!reply.isError()) m_cookie = reply.value();
        }
        m_cookiePending = false;
        m_holding = true;
    }
#endif
    holdScreenSaver(false);
    if (!isRegistered()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_serviceName);
    bus.unregisterObject(kObjectPath);
}

void MediaSession::announce(const QString& interfaceName, const QStringList& properties) {
    if (!isRegistered()) return;
    QVariantMap changed;
    const QObject* adaptor = interfaceName == kRootInterface ? static_cast<QObject*>(findChild<MprisRoot*>())
                                                             : static_cast<QObject*>(findChild<MprisPlayer*>());
    if (!adaptor) return;
    for (const QString& property : properties)
        changed.insert(property, adaptor->property(property.toLatin1().constData()));
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interfaceName << changed << QStringList();
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
        if (m_cookiePending) {
            m_releaseWhenAnswered = false;
            return;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Inhibit"));
        call << m_identity << QStringLiteral("Playing a video");
        // Asynchronous: the answer may take a while, and the window never waits for the desktop.
        m_cookiePending = true;
        m_releaseWhenAnswered = false;
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
        m_pendingCall = watcher;
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (!m_cookiePending) return;  // already taken by the destructor
            m_cookiePending = false;
            const QDBusPendingReply<quint32> reply = *w;
            if (reply.isError()) return;  // no screen saver service: nothing to hold
            m_cookie = reply.value();
            if (m_releaseWhenAnswered) {
                m_holding = true;  // taken after all: let go now
                holdScreenSaver(false);
            }
        });
    } else {
        if (m_cookiePending) {
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

#include "media_session.moc"
