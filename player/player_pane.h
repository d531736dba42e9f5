#pragma once
// The media-player pane of the main window: the picture, and under it a compact bar with
// play/pause, stop, a position slider for seekable media, volume, mute and the now-playing
// title. Setting URL opens and plays the address at once; controls.stop and close end
// playback; an address that cannot be played ends in the pane's own error dialog.
#include <QElapsedTimer>
#include <QFrame>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>

class MpvPlayer;
class QLabel;
class QMessageBox;
class QSlider;
class QToolButton;
class VideoView;

class PlayerPane : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString URL READ url WRITE setUrl)
    Q_PROPERTY(QString playState READ playState NOTIFY playStateChanged)
public:
    enum class PlayState { Idle, Opening, Playing, Paused, Stopped, Error };
    Q_ENUM(PlayState)

    explicit PlayerPane(QWidget* parent = nullptr);
    ~PlayerPane() override;

    QString url() const { return m_url; }
    // Plays an address from a catalogue, the favourites or a playlist: network addresses only.
    void setUrl(const QString& url);
    // Plays what the user named (a file picked in My Files, the command line): local paths too.
    void setUrlFromUser(const QString& url);
    PlayState state() const { return m_state; }
    // The state as text, for tests and scripts: "idle", "opening", "playing", "paused",
    // "stopped" or "error".
    QString playState() const { return StateName(m_state); }
    static QString StateName(PlayState state);
    int volume() const { return m_volume; }
    QString title() const;  // the stream's now-playing title (ICY) or media title
    QString lastError() const { return m_error; }

    void stop();   // controls.stop
    void close();  // close: releases the current media

    // An address that has not started playing after this long ends in the error state (a
    // server that sends endless headers, or trickles a stream that never begins).
    static constexpr int kOpenDeadlineMs = 20000;
    // While an address opens, the process may grow by at most this much (an endless playlist
    // would otherwise take all memory). The open is stopped, with the reason, once it has
    // taken three quarters of it: the player needs a moment to let go of the source.
    static constexpr std::uint64_t kOpenGrowthLimitBytes = std::uint64_t{256} * 1024 * 1024;
    // Tests only: other limits (0 restores the defaults).
    static void SetOpenLimitsForTests(int deadlineMs, std::uint64_t growthBytes);

    // The picture as shown now, and whether a frame has been drawn since the address was set.
    QImage grabFrame() const;
    bool hasFrame() const;

signals:
    void playStateChanged(const QString& state);

private:
    void open(const QString& url, bool fromUser);
    void buildControlBar();
    void setState(PlayState state);
    void showError(const QString& reason);
    void refreshPosition();
    void watchOpening();

    MpvPlayer* m_player = nullptr;
    VideoView* m_video = nullptr;
    QString m_url;
    PlayState m_state = PlayState::Idle;
    QString m_error;
    QString m_title;
    int m_volume = 50;

    QToolButton *m_playPause = nullptr, *m_stop = nullptr, *m_mute = nullptr;
    QSlider *m_position = nullptr, *m_volumeSlider = nullptr;
    QLabel* m_status = nullptr;
    QTimer m_positionTimer;
    QTimer m_openWatch;  // runs while an address opens: deadline and memory growth
    QElapsedTimer m_openClock;
    std::uint64_t m_openBaseline = 0;
    bool m_dragging = false;
    QPointer<QMessageBox> m_errorBox;
};
