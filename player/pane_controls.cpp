// The pane's control bar, its keys, its status line and full screen: what the user sees and
// touches around the picture.
#include "player/player_pane.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStyleOptionSlider>
#include <QToolButton>

#include "player/mpv_player.h"
#include "player/video_view.h"
#include "widgets/elided_label.h"
#include "widgets/readable_icon.h"
#include "widgets/texts.h"

namespace {

// A position bar that jumps to where it is clicked (and can then be dragged from there), as
// media players' bars do; a plain slider only steps a page towards the click.
class SeekSlider : public QSlider {
public:
    using QSlider::QSlider;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && maximum() > minimum()) {
            QStyleOptionSlider option;
            initStyleOption(&option);
            const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
            if (!handle.contains(event->position().toPoint())) {
                const int x = event->position().toPoint().x() - handle.width() / 2;
                setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), x, width() - handle.width(),
                                                         option.upsideDown));
            }
        }
        QSlider::mousePressEvent(event);  // the handle is under the pointer now: a drag starts
    }
};

}  // namespace

void PlayerPane::buildControlBar() {
    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("controlBar"));
    m_bar->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(m_bar);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    auto button = [&](QStyle::StandardPixmap icon, const char* name) {
        auto* b = new QToolButton(m_bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(ReadableStandardIcon(this, icon));
        b->setAutoRaise(true);
        row->addWidget(b);
        return b;
    };
    m_playPause = button(QStyle::SP_MediaPlay, "playPause");
    m_stop = button(QStyle::SP_MediaStop, "stop");
    // Back to the live edge, while a paused live channel plays behind it.
    m_goLive = new QToolButton(m_bar);
    m_goLive->setObjectName(QStringLiteral("goLive"));
    m_goLive->setAutoRaise(true);
    m_goLive->setVisible(false);
    row->addWidget(m_goLive);
    m_position = new SeekSlider(Qt::Horizontal, m_bar);
    m_position->setObjectName(QStringLiteral("position"));
    m_position->setEnabled(false);
    row->addWidget(m_position, 3);
    m_time = new QLabel(m_bar);
    m_time->setObjectName(QStringLiteral("time"));
    row->addWidget(m_time);
    m_status = new ElidedLabel(m_bar);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setMinimumWidth(60);
    row->addWidget(m_status, 4);
    m_mute = button(QStyle::SP_MediaVolume, "mute");
    m_mute->setCheckable(true);
    m_volumeSlider = new QSlider(Qt::Horizontal, m_bar);
    m_volumeSlider->setObjectName(QStringLiteral("volume"));
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setValue(m_volume);
    m_volumeSlider->setMaximumWidth(80);
    row->addWidget(m_volumeSlider, 1);
    layout()->addWidget(m_bar);
    setBarTexts();

    connect(m_playPause, &QToolButton::clicked, this, &PlayerPane::playPause);
    connect(m_stop, &QToolButton::clicked, this, &PlayerPane::stop);
    connect(m_goLive, &QToolButton::clicked, this, &PlayerPane::goLive);
    connect(m_mute, &QToolButton::toggled, this, [this](bool on) {
        m_player->setMuted(on);
        m_volumeSave.start();
        m_onScreen.showLevel(m_volume, on);
        showOnScreen(kLevelMs);
    });
    connect(m_volumeSlider, &QSlider::valueChanged, this, [this](int v) {
        m_volume = v;
        m_player->setVolume(v);
        m_volumeSave.start();
        m_onScreen.showLevel(v, m_mute->isChecked());
        showOnScreen(kLevelMs);
    });
    connect(m_position, &QSlider::sliderPressed, this, [this] { m_dragging = true; });
    connect(m_position, &QSlider::sliderReleased, this, [this] {
        m_dragging = false;
        m_player->seek(m_position->value() / 10.0);
    });
}

void PlayerPane::buildKeyActions() {
    // Keys with a modifier or of their own (Page Up, Backspace…) work over the lists too; a
    // letter, a digit or Space is typing there (the lists find rows by it) and acts only while
    // the picture has the keys.
    auto key = [this](const char* name, const QString& text, const QList<QKeySequence>& keys, auto handler) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
        m_keys << action;
        const int first = keys.value(0)[0].toCombined();
        const bool typing = (first & Qt::KeyboardModifierMask) == 0 &&
                            ((first >= Qt::Key_A && first <= Qt::Key_Z) || (first >= Qt::Key_0 && first <= Qt::Key_9) ||
                             first == Qt::Key_Space);
        if (!typing) m_listKeys << action;
        return action;
    };
    key("playPauseKey", QStringLiteral("Play / Pause"), {Qt::Key_Space}, [this] { playPause(); });
    key("muteKey", QStringLiteral("Mute"), {Qt::Key_M}, [this] { m_mute->toggle(); });
    key("volumeUpKey", QStringLiteral("Volume Up"), {Qt::CTRL | Qt::Key_Up},
        [this] { m_volumeSlider->setValue(m_volumeSlider->value() + 5); });
    key("volumeDownKey", QStringLiteral("Volume Down"), {Qt::CTRL | Qt::Key_Down},
        [this] { m_volumeSlider->setValue(m_volumeSlider->value() - 5); });
    key("fullScreenKey", QStringLiteral("Full Screen"), {Qt::Key_F, Qt::Key_F11}, [this] { toggleFullScreen(); });
    key("leaveFullScreenKey", QStringLiteral("Leave Full Screen"), {Qt::Key_Escape}, [this] {
        if (m_errorBox && m_errorBox->isVisible())
            m_errorBox->close();  // Esc closes a failure message first
        else
            setFullScreen(false);
    });
    key("nextKey", QStringLiteral("Next Channel"), {Qt::Key_PageDown}, [this] { emit nextRequested(); });
    key("previousKey", QStringLiteral("Previous Channel"), {Qt::Key_PageUp}, [this] { emit previousRequested(); });
    key("lastChannelKey", QStringLiteral("Last Channel"), {Qt::Key_Backspace}, [this] { emit lastChannelRequested(); });
    key("bannerKey", QStringLiteral("Show Channel Banner"), {Qt::Key_I}, [this] { showBanner(); });
    // Over a list these keys are the list's own: they act only while the picture has the keys.
    for (QAction* a :
         {key("seekBackKey", QStringLiteral("Back 10 Seconds"), {Qt::Key_Left}, [this] { seekBy(-10); }),
          key("seekForwardKey", QStringLiteral("Forward 10 Seconds"), {Qt::Key_Right}, [this] { seekBy(10); }),
          key("liveKey", QStringLiteral("Back to Live"), {Qt::Key_End}, [this] { goLive(); })})
        m_listKeys.removeOne(a);
    key("restartKey", QStringLiteral("Restart Programme"), {Qt::CTRL | Qt::Key_R}, [this] { emit restartRequested(); });
    key("streamInformationKey", QStringLiteral("Stream Information"), {Qt::CTRL | Qt::Key_I},
        [this] { showStreamInformation(); });
    key("recordKey", QStringLiteral("Record"), {Qt::Key_R}, [this] {
        if (!m_recordAllowed && !isRecording()) return;  // the operator's editing: R records nothing
        if (isRecording())
            stopRecording();
        else
            startRecording();
    });
    for (int digit = 0; digit <= 9; ++digit)
        key(qPrintable(QStringLiteral("digitKey%1").arg(digit)), QStringLiteral("Channel Number %1").arg(digit),
            {QKeySequence(QKeyCombination(Qt::Key(Qt::Key_0 + digit))),
             QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key(Qt::Key_0 + digit)))},
            [this, digit] { emit digitTyped(digit); });
}

void PlayerPane::refreshPosition() {
    refreshBehindLive();
    const bool seekable = m_position->isEnabled();
    if (!m_dragging && seekable) {
        const QSignalBlocker block(m_position);
        m_position->setValue(static_cast<int>(m_player->position() * 10));
    }
    if (seekable) {
        const double at = m_dragging ? m_position->value() / 10.0 : m_player->position();
        m_time->setText(ClockText(at) + QStringLiteral(" / ") + ClockText(m_player->duration()));
    }
}

void PlayerPane::refreshControls() {
    m_playPause->setIcon(
        ReadableStandardIcon(this, m_state == PlayState::Playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_playPause->setEnabled(!m_url.isEmpty());
    m_stop->setEnabled(isActive());
    const bool seekable = (m_state == PlayState::Playing || m_state == PlayState::Paused) && m_player->seekable() &&
                          m_player->duration() > 0;
    // A live stream has no length to seek in or time to count: its bar and time go, and the
    // status line has their room for the channel and what is on.
    m_position->setEnabled(seekable);
    m_position->setVisible(seekable);
    m_time->setVisible(seekable);
    if (!seekable) {
        const QSignalBlocker block(m_position);
        m_position->setValue(0);
    }
    refreshPosition();
}

void PlayerPane::refreshStatus() {
    QString text;
    switch (m_state) {
        case PlayState::Idle: break;
        case PlayState::Opening:
            text = m_name.isEmpty() ? Msg("MSG_CONNECTING") : Msg("MSG_CONNECTINGTO").arg(m_name);
            break;
        case PlayState::Reconnecting: text = Msg("MSG_RECONNECTING").arg(m_reconnectTry).arg(kReconnectTries); break;
        case PlayState::Playing:
        case PlayState::Paused: {
            // The channel's name, with the radio's now-playing title after it.
            const QString icy = m_player->nowPlaying();
            if (m_name.isEmpty())
                text = m_title;
            else
                text = icy.isEmpty() ? m_name : m_name + QStringLiteral(" — ") + icy;
            if (!m_guide.isEmpty()) text += (text.isEmpty() ? QString() : QStringLiteral(" · ")) + m_guide;
            if (m_state == PlayState::Paused) text = Msg("MSG_PAUSED").arg(text);
            if (m_behindLive) text = behindLiveText() + QStringLiteral(" · ") + text;
            break;
        }
        case PlayState::Stopped: text = Msg("MSG_STOPPED"); break;
        case PlayState::Error: text = m_error; break;
    }
    if (!m_note.isEmpty()) text = m_note;
    if (m_recording) text = recordingText() + QStringLiteral(" · ") + text;
    m_status->setText(text);
    m_status->setToolTip(text);
}

void PlayerPane::refreshBackdrop() {
    switch (m_state) {
        case PlayState::Opening:
            // What shows stays a moment (the timer above says where the pane connects).
            if (!m_connectingTimer.isActive()) m_connectingTimer.start();
            break;
        case PlayState::Reconnecting:
            m_video->setBackdrop(m_player->hasVideo() ? VideoView::Backdrop::Black : VideoView::Backdrop::Audio, m_name,
                                 m_status->text());
            break;
        case PlayState::Playing:
        case PlayState::Paused: {
            // Sound without a picture: the channel's name and what it plays now (the stream's
            // own title, else the guide's).
            QString now = m_name.isEmpty() ? QString() : m_player->nowPlaying();
            if (now.isEmpty()) now = m_guide;
            m_video->setBackdrop(VideoView::Backdrop::Audio, m_name.isEmpty() ? m_title : m_name, now);
            break;
        }
        default: m_video->setBackdrop(VideoView::Backdrop::Black, QString(), QString()); break;
    }
}

void PlayerPane::showNote(const QString& text, int ms) {
    m_note = text;
    m_noteTimer.start(ms);
    refreshStatus();
}

void PlayerPane::setFullScreen(bool on) {
    if (on == m_fullScreen) return;
    m_fullScreen = on;
    // The pane stays where it is and its window goes full screen, the pane covering it: moving
    // the picture to a window of its own would take its OpenGL context, and mpv's video with it.
    QWidget* top = window();
    auto* main = qobject_cast<QMainWindow*>(top);
    if (on) {
        m_homeGeometry = geometry();
        m_homeWindowState = top->windowState();
        m_focusBefore = QApplication::focusWidget();
        if (main && main->menuBar()) {
            m_menuWasShown = main->menuBar()->isVisible();
            main->menuBar()->hide();
        }
        if (top != this) {
            raise();
            parentWidget()->installEventFilter(this);  // follows the window's size
        }
        setMouseTracking(true);
        top->setWindowState((m_homeWindowState & ~Qt::WindowMinimized) | Qt::WindowFullScreen);
        top->show();
        if (top != this) setGeometry(parentWidget()->rect());
        setFocus();
        showControlsForAWhile();
    } else {
        m_idleTimer.stop();
        setControlsHidden(false);
        setMouseTracking(false);
        if (top != this) parentWidget()->removeEventFilter(this);
        top->setWindowState(m_homeWindowState & ~Qt::WindowFullScreen);
        if (main && main->menuBar() && m_menuWasShown) main->menuBar()->show();
        if (top != this) setGeometry(m_homeGeometry);
        if (m_focusBefore) m_focusBefore->setFocus();  // the keys go back where they were (the channel list)
    }
    emit fullScreenChanged(on);
}

void PlayerPane::showControlsForAWhile() {
    if (!m_fullScreen) return;
    setControlsHidden(false);
    m_idleTimer.start();
}

void PlayerPane::setControlsHidden(bool hidden) {
    m_bar->setVisible(!hidden);
    for (QWidget* w : {static_cast<QWidget*>(this), m_video->widget()}) {
        if (hidden)
            w->setCursor(Qt::BlankCursor);
        else
            w->unsetCursor();
    }
}

bool PlayerPane::eventFilter(QObject* watched, QEvent* event) {
    // Esc in the pane's window closes a failure message (which never takes the keys itself).
    if (event->type() == QEvent::KeyPress && m_errorBox && m_errorBox->isVisible() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !static_cast<QKeyEvent*>(event)->modifiers()) {
        if (auto* w = qobject_cast<QWidget*>(watched); w && w->window() == window()) {
            m_errorBox->close();
            return true;
        }
    }
    // The type first: the message sends events while it is destroyed, when it is no message any more.
    if (event->type() == QEvent::WindowActivate && m_keysBeforeError && watched == m_errorBox) {
        QTimer::singleShot(0, this, [this] {
            if (!m_keysBeforeError || QApplication::activeWindow() != m_errorBox) return;
            m_keysBeforeError->window()->activateWindow();
            m_keysBeforeError->setFocus(Qt::ActiveWindowFocusReason);
        });
    }
    if (m_fullScreen && watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    if (m_video && watched == m_video->widget()) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            // A quick second click on the banner's button is no double-click on the picture.
            if (onRestartButton(static_cast<QMouseEvent*>(event)->position().toPoint())) return true;
            toggleFullScreen();
            return true;
        }
        if (event->type() == QEvent::MouseMove) showControlsForAWhile();
        if (event->type() == QEvent::MouseButtonPress) {
            setFocus();
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && onRestartButton(mouse->position().toPoint())) {
                emit restartRequested();
                return true;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

void PlayerPane::setBarTexts() {
    m_playPause->setToolTip(Msg("MSG_TIPPLAYPAUSE"));
    m_stop->setToolTip(Msg("MSG_TIPSTOP"));
    m_goLive->setText(Msg("MSG_LIVE"));
    m_goLive->setToolTip(Msg("MSG_TIPLIVE"));
    m_mute->setToolTip(Msg("MSG_TIPMUTE"));
    m_volumeSlider->setToolTip(Msg("MSG_TIPVOLUME"));
}

void PlayerPane::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (!m_mute) return;  // the bar is not made yet
    if (event->type() == QEvent::LanguageChange) {
        setBarTexts();
        refreshStatus();
        return;
    }
    if (event->type() != QEvent::PaletteChange) return;
    m_stop->setIcon(ReadableStandardIcon(this, QStyle::SP_MediaStop));
    showMuted(isMuted());
    refreshControls();
}
