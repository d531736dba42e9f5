#pragma once
// The media-player pane of the main window: the picture, and under it a compact bar with
// play/pause, stop, a position slider and time for seekable media, the status line, volume
// and mute. Setting URL opens and plays the address at once; controls.stop and close end
// playback; an address that cannot be played ends in the pane's own error dialog.
//
// The pane tells what happens in words ("Connecting to …", the server's answer, "Reconnecting
// (2 of 5)…"), reconnects a live stream that drops, goes full screen, answers the keyboard
// (its actions can be added to other widgets, such as the channel lists) and has a context
// menu with the tracks, the aspect ratio and the stream's address.
#include <QElapsedTimer>
#include <QFrame>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "player/on_screen.h"
#include "player/stream_facts.h"

namespace recording {
class Sink;
}
class ElidedLabel;
class MpvPlayer;
class StreamInformation;
namespace stream_relay {
class Relay;
}
class QAction;
class QLabel;
class QMenu;
class QMessageBox;
class QSlider;
class QToolButton;
class VideoView;

class PlayerPane : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString URL READ url WRITE setUrl)
    Q_PROPERTY(QString playState READ playState NOTIFY playStateChanged)
public:
    enum class PlayState { Idle, Opening, Playing, Paused, Stopped, Error, Reconnecting };
    Q_ENUM(PlayState)

    explicit PlayerPane(QWidget* parent = nullptr);
    ~PlayerPane() override;

    QString url() const { return m_url; }
    // Plays an address from a catalogue, the favourites or a playlist: network addresses only.
    // `name` is the channel's name for the status line and the desktop's media controls.
    void setUrl(const QString& url) { setUrl(url, QString()); }
    void setUrl(const QString& url, const QString& name);
    // Plays what the user named (a file picked in My Files, the command line): local paths too.
    // A local file is named by its file name.
    void setUrlFromUser(const QString& url);
    // The headers the server of `url` asks for (stream_options' form, "" for none): sent when
    // it is opened, prepared or opened again after a drop. Said before the address is set.
    void setStreamOptions(const QString& url, const std::string& options);
    // What the programme guide says of the channel playing ("Now: … · Next: …"), shown after
    // its name while it plays, and the two programmes for its banner; empty for none. A new
    // address clears them.
    void setGuideText(const QString& text, const OnScreen::Programme& now = {}, const OnScreen::Programme& next = {});
    // The channel's number on its banner (the playlist's own, or its place); empty for none.
    // A new address clears it.
    void setChannelNumber(const QString& number);
    // Whether the channel's archive can play the programme on now from its start: its banner
    // then has a "Restart" button (a click asks with restartRequested). A new address clears it.
    void setRestartable(bool restartable);
    // What stands on the picture now: the banner after a zap or `I`, the volume, a radio's title.
    const OnScreen& onScreen() const { return m_onScreen; }
    // Shows the playing channel's banner again (the `I` key).
    void showBanner();
    static constexpr int kBannerMs = 3000;  // the banner after a zap, counted from the picture
    static constexpr int kLevelMs = 1500;   // the volume bar
    static constexpr int kLineMs = 4000;    // a radio's new title

    // Recording what plays: written as it comes, never encoded again, to the user's video
    // folder as "<channel> <date time>.<container>", never over a file that is there. A zap,
    // Stop or closing ends the file; a reconnect goes on in the same file; a full disk or a
    // folder that went ends it with the reason, keeping what was written. Starting needs a
    // channel that plays; false (and the reason in the status line) when it cannot start.
    bool startRecording();
    void stopRecording();
    bool isRecording() const { return m_recording != nullptr; }
    QString recordingPath() const;
    std::uint64_t recordedBytes() const;
    // XDG_VIDEOS_DIR, else the desktop's video folder (~/Videos).
    static QString RecordingFolder();
    // The channel's logo on the sound backdrop, until another channel opens; null for none.
    void setLogo(const QImage& logo);
    QImage logo() const;
    PlayState state() const { return m_state; }
    // The state as text, for tests and scripts: "idle", "opening", "playing", "paused",
    // "stopped", "error" or "reconnecting".
    QString playState() const { return StateName(m_state); }
    // Opening, playing, paused or reconnecting: something to stop.
    bool isActive() const;
    // Whether `url` plays now, or began opening less than a second ago (the second press of a
    // double-click): a press on its row leaves it so. Paused, stuck opening, reconnecting,
    // failed or stopped, a press opens it again.
    bool isPlayingOrStarting(const QString& url) const;
    static QString StateName(PlayState state);
    QString channelName() const { return m_name; }
    QString title() const;       // the stream's now-playing title (ICY) or media title
    QString nowPlaying() const;  // the ICY title only; empty when the stream sends none
    QString statusText() const;  // what the status line says
    // A word of what happened beside the playing (the guide's update, say): the status line
    // shows it for `ms`, then what it showed before. It asks nothing and blocks nothing.
    void showNote(const QString& text, int ms = kNoteMs);
    static constexpr int kNoteMs = 8000;
    QString lastError() const { return m_error; }
    bool hasVideo() const;

    void play();  // resumes, or opens the address again after a stop, an error or the end
    void pause();
    void playPause();
    // Pausing live TV: where what arrives meanwhile is kept, and how much (minutes of the
    // stream, megabytes); how far behind live the picture is; back to the live edge (End).
    void setPauseBuffer(const QString& folder, int minutes, int megabytes);
    double behindLive() const;
    void goLive();
    void seekBy(double seconds);      // Left and Right: within a paused live channel, or a file
    qint64 pauseBufferBytes() const;  // what the disk holds of it
    void stop();                      // controls.stop
    void close();                     // close: releases the current media

    int volume() const { return m_volume; }
    bool isMuted() const;
    // Set from the user's settings: no volumeSettled() follows.
    void setVolume(int volume);
    void setMuted(bool muted);
    // As if the user moved the volume slider (the desktop's volume): saved like one.
    void setVolumeFromUser(int volume);
    void setHardwareDecoding(bool on);
    bool hardwareDecoding() const;
    // Whether the channel played before stays open, paused, for a while, so that going back to
    // it ("Last Channel", or its row) shows its picture at once. It takes a second player and
    // keeps that one stream's connection; off, the pane holds one player only.
    void setKeepLastChannel(bool on);
    bool keepsLastChannel() const { return m_keepLast; }
    // The address kept paused for going back; empty for none.
    QString keptAddress() const { return m_kept.url; }
    // Gets a channel ready to open quickly, for the row under the pointer or the keyboard: its
    // server is connected to, and an HLS playlist fetched, in the background; no media is asked
    // for. Opening it then goes through that connection. A new address replaces the last one;
    // an empty one drops it.
    void prepare(const QString& url);
    // Whether the last address opened went through a preparation made for it.
    bool openedPrepared() const { return m_openedPrepared; }

    double position() const;
    bool seekable() const;
    void seekTo(double seconds);
    // Ask the window for the next or previous channel of its list (the desktop's media keys).
    void requestNext() { emit nextRequested(); }
    void requestPrevious() { emit previousRequested(); }
    QString currentDecoder() const;

    bool isFullScreen() const { return m_fullScreen; }
    void setFullScreen(bool on);
    void toggleFullScreen() { setFullScreen(!m_fullScreen); }

    // The pane's keyboard commands (Space, M, Ctrl+Up/Down, F/F11, Esc, Page Up/Down,
    // Backspace). They work while the focus is in the pane, and in any widget they are added to.
    QList<QAction*> keyActions() const { return m_keys; }
    // The keys that also work over the lists: those that are no typing there.
    QList<QAction*> listKeyActions() const { return m_listKeys; }
    // While the operator edits the catalogue, the R key records nothing.
    void setRecordAllowed(bool allowed) { m_recordAllowed = allowed; }
    // What plays, technically (see MpvPlayer::Facts), and the window that shows it (Ctrl+I, or
    // "Stream Information" in the picture's menu): one, opened again if it is open.
    StreamFacts streamFacts() const;
    StreamInformation* showStreamInformation();
    // Closes the message about a failed channel, if one shows (another list came on show).
    void closeFailure();
    // The context menu as it would open now (the caller owns it).
    QMenu* createContextMenu(QWidget* parent);

    // An address that has not started playing after this long ends in the error state (a
    // server that sends endless headers, or trickles a stream that never begins).
    static constexpr int kOpenDeadlineMs = 20000;
    // While an address opens, the process may grow by at most this much (an endless playlist
    // would otherwise take all memory). The open is stopped, with the reason, once it has
    // taken three quarters of it: the player needs a moment to let go of the source.
    static constexpr std::uint64_t kOpenGrowthLimitBytes = std::uint64_t{256} * 1024 * 1024;
    // A live stream that drops is opened again after these pauses, then given up.
    static constexpr int kReconnectTries = 5;
    // On a zap the old picture stays at most this long before "Connecting to …" replaces it.
    static constexpr int kHoldPictureMs = 1000;
    // "Connecting to …" comes on the picture only once a stream has taken this long to open:
    // a quick zap shows no flash of it, and draws nothing while the stream starts.
    static constexpr int kConnectingShownAfterMs = 200;
    // In full screen the control bar and the cursor hide after this long without a move.
    static constexpr int kIdleHideMs = 2000;
    // The channel played before is kept paused this long after the zap away from it.
    static constexpr int kKeepLastChannelMs = 60000;
    // Tests only: other limits (0 restores the defaults).
    static void SetOpenLimitsForTests(int deadlineMs, std::uint64_t growthBytes);
    static void SetReconnectBaseForTests(int firstPauseMs);
    // Tests and benchmarks only: servers on this machine are prepared too, as if they were far
    // away (from the next preparation on).
    static void SetPrepareNearServersForTests(bool on);

    // The picture as shown now, and whether a frame has been drawn since the address was set.
    QImage grabFrame() const;
    bool hasFrame() const;
    quint64 framesShown() const;  // frames drawn so far: a count that moves while a picture plays

signals:
    void playStateChanged(const QString& state);
    void mediaChanged();  // the channel's name or the now-playing title changed
    void volumeChanged(int volume, bool muted);
    // The user changed volume or mute and then left them alone for a moment: time to save.
    void volumeSettled(int volume, bool muted);
    void hardwareDecodingToggled(bool on);
    void keepLastChannelToggled(bool on);
    void fullScreenChanged(bool on);
    // An address could not be played (or could not be reached again): the reason, as the
    // status line and the error message give it.
    void failed(const QString& url, const QString& reason);
    void nextRequested();
    void previousRequested();
    void lastChannelRequested();
    // The programme on now, asked for from its start (its channel's archive plays it).
    void restartRequested();
    // A digit of a channel's number (0-9, typed over the picture or a list with the pane's keys).
    void digitTyped(int digit);
    // A recording began or ended; `failure` says why one ended by itself (empty otherwise).
    void recordingChanged(bool on, const QString& path, const QString& failure);

protected:
    void changeEvent(QEvent* event) override;  // the bar's icons follow a new palette
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The context menu's fixed texts, kept as entries of the pane (hidden, named as the menu's
    // entries) so that the language engine translates them with the window's other captions.
    void buildMenuCaptions();
    QString menuCaption(const char* name) const;
    void placeBeside(QWidget* tool) const;
    void setBarTexts();  // the bar's tooltips, in the language applied
    void open(const QString& url, bool fromUser, const QString& name);
    // What a player plays, while it is kept paused for going back to it.
    struct Kept {
        MpvPlayer* player = nullptr;  // the second player: paused on the last channel, or idle
        QString url{}, name{}, title{};
        bool fromUser = false;
        bool live = false;
    };
    void bind(MpvPlayer* player);  // the pane follows this player's reports from now on
    MpvPlayer* makePlayer();       // another player drawn in the view; null when none can be made
    bool ensureSecondPlayer();
    // `next` becomes the current player, with the volume, mute and decoding of `from`.
    void switchTo(MpvPlayer* next, const MpvPlayer* from);
    void keep(const Kept& current);  // paused, for going back to it; watched only for its end
    // The current player is kept paused on what it plays, and the other one becomes current.
    void keepCurrentAndSwitch(const Kept& current);
    void returnToKept(const QString& name, bool keepCurrent, const Kept& current);
    void releaseKept();  // the kept channel is closed; the second player stays for the next zap
    // The player before closes beside the open of the next channel, on an idle player.
    void handOffClose();
    // An idle spare takes the place of `closing` (stopped here), which closes among the spares;
    // null when every spare is busy and no other can be made.
    MpvPlayer* swapWithIdleSpare(MpvPlayer* closing);
    void trimSpares();  // spares made for a burst of zaps go once they are idle
    void load();
    void buildControlBar();
    void buildKeyActions();
    void setState(PlayState state);
    void showError(const QString& reason);
    void onStarted();
    void onEnded(bool error, const QString& reason);
    void reconnectOrGiveUp(const QString& reason);
    void refreshPosition();
    void refreshStatus();
    void refreshControls();
    void refreshBackdrop();
    void watchOpening();
    void showControlsForAWhile();
    void setControlsHidden(bool hidden);  // full screen: the bar and the pointer
    void showMuted(bool muted);           // the mute button, without telling the player
    void cancelOpening();                 // stops the open's watch, the held picture and reconnects
    // The display on the picture: shown for `ms`, the banner made again with what is known now
    // (a logo or the guide that came after it), and taken off.
    void showOnScreen(int ms);
    bool onRestartButton(const QPoint& at) const;  // `at` in the picture: on the banner's button
    void refreshBanner();
    OnScreen::Banner bannerNow() const;
    void clearOnScreen();

    MpvPlayer* m_player = nullptr;  // the current player
    Kept m_kept;
    // Players idle, or closing what they played: one at first, a second one when two streams
    // close at once (live streams waiting for their next playlist let go slowly).
    std::vector<MpvPlayer*> m_spares;
    QTimer m_spareTrim;
    bool m_keepLast = true;
    std::unique_ptr<stream_relay::Relay> m_relay;    // made by the first preparation or web stream
    stream_relay::Relay& relay();                    // made when first needed
    std::string m_userAgent;                         // the player's, for the playlists fetched
    std::map<QString, std::string> m_streamOptions;  // by address: what setStreamOptions said
    bool m_openedPrepared = false;
    QString m_preparePending;  // asked for while a stream opened: prepared once it plays
    QTimer m_keptTimer;
    VideoView* m_video = nullptr;
    QString m_url, m_name;
    bool m_fromUser = false;
    PlayState m_state = PlayState::Idle;
    QString m_error;
    QString m_title;
    QString m_guide;
    OnScreen::Programme m_onNow, m_onNext;
    QString m_number;
    bool m_restartable = false;
    OnScreen m_onScreen;
    QTimer m_onScreenTimer;
    std::unique_ptr<recording::Sink> m_recording;
    QElapsedTimer m_recordClock;
    QTimer m_recordTimer;  // the status line's time and size, and the watch for a failure
    QPointer<QMessageBox> m_recordBox;
    void watchRecording();
    void endRecording(const QString& failure);
    QString recordingText() const;             // "REC 0:05 · 1.2 MB"
    static QString ClockText(double seconds);  // "1:02:03", "2:03"
    int m_volume = 50;

    QWidget* m_bar = nullptr;
    QToolButton *m_playPause = nullptr, *m_stop = nullptr, *m_mute = nullptr, *m_goLive = nullptr;
    QSlider *m_position = nullptr, *m_volumeSlider = nullptr;
    ElidedLabel* m_status = nullptr;
    QLabel* m_time = nullptr;
    QList<QAction*> m_keys;
    QList<QAction*> m_listKeys;
    bool m_recordAllowed = true;
    QPointer<StreamInformation> m_streamInformation;
    QHash<QString, QAction*> m_menuCaptions;
    QTimer m_positionTimer;
    QTimer m_openWatch;        // runs while an address opens: deadline and memory growth
    QTimer m_holdTimer;        // the old picture's time on a zap
    QTimer m_connectingTimer;  // until "Connecting to …" comes on the picture
    QTimer m_reconnectTimer;
    QTimer m_volumeSave;
    QTimer m_idleTimer;  // full screen: hides the bar and the cursor
    QString m_note;      // shown in the status line while m_noteTimer runs
    QTimer m_noteTimer;
    QElapsedTimer m_openClock;
    std::uint64_t m_openBaseline = 0;
    bool m_dragging = false;
    bool m_startedOnce = false;  // this address has played: a drop is worth a reconnect
    bool m_live = false;         // no length was known when playback started
    // Pausing live TV: where and how much is kept; whether the picture is behind live now.
    QString m_pauseFolder;
    int m_pauseMinutes = 30, m_pauseMegabytes = 1024;
    bool m_behindLive = false;
    bool pauseLive();  // false: nothing can be kept (the user is told), so live plays on
    void refreshBehindLive();
    QString behindLiveText() const;  // "" at live
    void onPauseFileFailed(const QString& why);
    int m_reconnectTry = 0;
    bool m_fullScreen = false;
    QRect m_homeGeometry;  // the pane's place in its window before full screen
    Qt::WindowStates m_homeWindowState;
    bool m_menuWasShown = false;
    QPointer<QWidget> m_focusBefore;
    QPointer<QMessageBox> m_errorBox;
    QPointer<QWidget> m_keysBeforeError;  // where the keys were when the message came
};
