#pragma once
// The pane as the desktop sees it. On Linux an MPRIS2 player on the session bus
// ("org.mpris.MediaPlayer2.<name>"), so that media keys and the desktop's media controls play,
// pause, stop and zap, and show the channel and its now-playing title; and, while a picture
// plays, a hold on the screen saver (org.freedesktop.ScreenSaver; SetThreadExecutionState on
// Windows), let go on pause, stop and exit. Without a session bus both are silently off.
#include <QObject>
#include <QPointer>
#include <QString>

class PlayerPane;
class QDBusPendingCallWatcher;

class MediaSession : public QObject {
    Q_OBJECT
public:
    // `identity` is the program's name as the desktop shows it, `desktopEntry` the base name
    // of its .desktop file.
    MediaSession(PlayerPane* pane, const QString& identity, const QString& desktopEntry, QObject* parent = nullptr);
    ~MediaSession() override;

    bool isRegistered() const { return !m_serviceName.isEmpty(); }
    QString serviceName() const { return m_serviceName; }
    bool screenSaverHeld() const { return m_holding; }

    PlayerPane* pane() const { return m_pane; }
    QString identity() const { return m_identity; }
    QString desktopEntry() const { return m_desktopEntry; }

signals:
    void raiseRequested();
    void quitRequested();

private:
    void refreshScreenSaver();
    void holdScreenSaver(bool hold);
    // Tells the bus that these properties of the player interface changed.
    void announce(const QStringList& properties);

    QPointer<PlayerPane> m_pane;
    QString m_identity, m_desktopEntry, m_serviceName;
    bool m_holding = false;
    quint32 m_cookie = 0;
    QPointer<QDBusPendingCallWatcher> m_pendingCall;  // an Inhibit call on its way
    bool m_releaseWhenAnswered = false;
};
