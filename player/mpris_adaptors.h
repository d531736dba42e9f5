#pragma once
// The two MPRIS2 interfaces of the media session, as D-Bus adaptors of it: who the player is
// (org.mpris.MediaPlayer2) and what plays with its commands (org.mpris.MediaPlayer2.Player).
#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>
#include <algorithm>
#include <cmath>

#include "player/media_session.h"
#include "player/player_pane.h"

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
        return pane()->isActive() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
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
