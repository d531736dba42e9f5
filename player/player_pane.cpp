#include "player/player_pane.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <array>

#include "base/private_label.h"
#include "base/process_memory.h"
#include "player/mpv_player.h"
#include "player/stream_address.h"
#include "player/stream_information.h"
#include "player/video_view.h"
#include "services/recording.h"
#include "services/stream_relay.h"
#include "widgets/design.h"
#include "widgets/elided_label.h"
#include "widgets/message_box.h"
#include "widgets/qt_text.h"
#include "widgets/readable_icon.h"
#include "widgets/texts.h"

namespace {
int g_openDeadlineMs = PlayerPane::kOpenDeadlineMs;
bool g_prepareNearServers = false;
std::uint64_t g_openGrowthLimit = PlayerPane::kOpenGrowthLimitBytes;
int g_reconnectBaseMs = 1000;

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

// The address as the player takes it: it knows its protocols by lower-case names only
// ("HTTP://" would not open).
QString PlayerAddress(const QString& url) {
    QString normalised = url;
    const auto schemeLength = static_cast<qsizetype>(stream_address::SchemeLength(url.toStdString()));
    normalised.replace(0, schemeLength, url.left(schemeLength).toLower());
    return normalised;
}

}  // namespace

void PlayerPane::SetPrepareNearServersForTests(bool on) { g_prepareNearServers = on; }

void PlayerPane::SetOpenLimitsForTests(int deadlineMs, std::uint64_t growthBytes) {
    g_openDeadlineMs = deadlineMs > 0 ? deadlineMs : kOpenDeadlineMs;
    g_openGrowthLimit = growthBytes > 0 ? growthBytes : kOpenGrowthLimitBytes;
}

QString PlayerPane::ClockText(double seconds) {
    const auto total = static_cast<long long>(seconds < 0 ? 0 : seconds);
    const long long h = total / 3600, m = total / 60 % 60, s = total % 60;
    return h > 0 ? QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'))
                 : QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

void PlayerPane::SetReconnectBaseForTests(int firstPauseMs) {
    g_reconnectBaseMs = firstPauseMs > 0 ? firstPauseMs : 1000;
}

PlayerPane::PlayerPane(QWidget* parent) : QFrame(parent), m_player(new MpvPlayer(this)) {
    setFrameShape(QFrame::StyledPanel);
    setProperty(design::kOwnLook, true);  // the skin leaves the player as it is
    setFocusPolicy(Qt::ClickFocus);       // a click on the picture gives the pane its keys; Tab walks the bar
    // Read now, while the player's core is idle: later a property read waits for the core, which
    // may be busy opening a stream.
    m_userAgent = m_player->userAgent().toStdString();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_video = VideoView::Create(this);
    m_video->attach(m_player->handle());
    m_video->widget()->setObjectName(QStringLiteral("video"));
    m_video->widget()->setMouseTracking(true);
    m_video->widget()->installEventFilter(this);
    column->addWidget(m_video->widget(), 1);
    buildControlBar();
    buildKeyActions();
    buildMenuCaptions();
    bind(m_player);

    m_onScreenTimer.setSingleShot(true);
    connect(&m_onScreenTimer, &QTimer::timeout, this, &PlayerPane::clearOnScreen);
    m_recordTimer.setInterval(1000);
    connect(&m_recordTimer, &QTimer::timeout, this, &PlayerPane::watchRecording);
    m_noteTimer.setSingleShot(true);
    connect(&m_noteTimer, &QTimer::timeout, this, [this] {
        m_note.clear();
        refreshStatus();
    });

    // Position updates reach the slider ten times a second, not at mpv's frame rate.
    m_positionTimer.setInterval(100);
    connect(&m_positionTimer, &QTimer::timeout, this, &PlayerPane::refreshPosition);
    m_positionTimer.start();

    // Often enough that memory growing at hundreds of megabytes a second is caught within a
    // few dozen megabytes of the limit.
    m_openWatch.setInterval(50);
    connect(&m_openWatch, &QTimer::timeout, this, &PlayerPane::watchOpening);

    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(kHoldPictureMs);
    connect(&m_holdTimer, &QTimer::timeout, this, [this] { m_video->dropHeldPicture(); });
    m_connectingTimer.setSingleShot(true);
    m_connectingTimer.setInterval(kConnectingShownAfterMs);
    connect(&m_connectingTimer, &QTimer::timeout, this, [this] {
        if (m_state == PlayState::Opening)
            m_video->setBackdrop(VideoView::Backdrop::Black, m_status->text(), QString());
    });
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &PlayerPane::load);
    m_volumeSave.setSingleShot(true);
    m_volumeSave.setInterval(500);
    connect(&m_volumeSave, &QTimer::timeout, this, [this] { emit volumeSettled(m_volume, isMuted()); });
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(kIdleHideMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        if (m_fullScreen) setControlsHidden(true);
    });
    m_keptTimer.setSingleShot(true);
    m_keptTimer.setInterval(kKeepLastChannelMs);
    connect(&m_keptTimer, &QTimer::timeout, this, &PlayerPane::releaseKept);
    refreshControls();
}

void PlayerPane::bind(MpvPlayer* player) {
    // Only the current player speaks to the pane; a kept one is only watched for its end.
    disconnect(player, nullptr, this, nullptr);
    connect(player, &MpvPlayer::fileStarting, this, [this] { m_video->markFileStart(); });
    connect(player, &MpvPlayer::started, this, &PlayerPane::onStarted);
    connect(player, &MpvPlayer::ended, this, &PlayerPane::onEnded);
    connect(player, &MpvPlayer::pausedChanged, this, [this](bool paused) {
        if (m_state == PlayState::Playing && paused) setState(PlayState::Paused);
        if (m_state == PlayState::Paused && !paused) setState(PlayState::Playing);
    });
    connect(player, &MpvPlayer::seekableChanged, this, &PlayerPane::refreshControls);
    connect(player, &MpvPlayer::durationChanged, this, [this](double seconds) {
        m_position->setRange(0, static_cast<int>(seconds * 10));
        refreshControls();
    });
    connect(player, &MpvPlayer::volumeChanged, this, [this](int v) {
        m_volume = v;
        const QSignalBlocker block(m_volumeSlider);
        m_volumeSlider->setValue(v);
        emit volumeChanged(v, m_player->isMuted());
    });
    connect(player, &MpvPlayer::mutedChanged, this, [this](bool muted) {
        showMuted(muted);
        emit volumeChanged(m_volume, muted);
    });
    connect(player, &MpvPlayer::titleChanged, this, [this](const QString& title) {
        m_title = title;
        refreshStatus();
        refreshBackdrop();
        // A radio's new title stands on the picture for a moment (not over the channel's banner).
        const QString icy = m_player->nowPlaying();
        if (m_startedOnce && !icy.isEmpty() && m_onScreen.kind() != OnScreen::Kind::Banner) {
            m_onScreen.showLine(QStringLiteral("♪ ") + icy);
            showOnScreen(kLineMs);
        }
        emit mediaChanged();
    });
    connect(player, &MpvPlayer::hasVideoChanged, this, [this](bool video) {
        if (m_state != PlayState::Playing && m_state != PlayState::Paused) return;
        if (video && !m_video->pictureShown()) m_video->showPicture();
        if (!video) m_video->hidePicture();
        refreshBackdrop();
        emit mediaChanged();
    });
}

PlayerPane::~PlayerPane() {
    stopRecording();  // the file ends whole, while the player is there to let go of it
    // The failure's message (a child) goes after this part of the pane: its last events must not
    // reach this filter.
    if (m_errorBox) m_errorBox->removeEventFilter(this);
    qApp->removeEventFilter(this);
    // The picture's render contexts must go before the players' handles.
    m_video->widget()->removeEventFilter(this);
    delete m_video->widget();
    m_video = nullptr;
}

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

QString PlayerPane::title() const { return m_title; }
QString PlayerPane::nowPlaying() const { return m_player->nowPlaying(); }
void PlayerPane::setGuideText(const QString& text, const OnScreen::Programme& now, const OnScreen::Programme& next) {
    if (text == m_guide && now.title == m_onNow.title && now.start == m_onNow.start && next.title == m_onNext.title)
        return;
    m_guide = text;
    m_onNow = now;
    m_onNext = next;
    refreshStatus();
    refreshBackdrop();
    refreshBanner();
}

void PlayerPane::setLogo(const QImage& logo) {
    m_video->setBackdropPicture(logo);
    refreshBanner();
}
QImage PlayerPane::logo() const { return m_video->backdropPicture(); }

QString PlayerPane::statusText() const { return m_status->text(); }
bool PlayerPane::hasVideo() const { return m_player->hasVideo(); }
bool PlayerPane::isMuted() const { return m_player->isMuted(); }
bool PlayerPane::hardwareDecoding() const { return m_player->hardwareDecoding(); }
QString PlayerPane::currentDecoder() const { return m_player->currentDecoder(); }

QString PlayerPane::StateName(PlayState state) {
    switch (state) {
        case PlayState::Opening: return QStringLiteral("opening");
        case PlayState::Playing: return QStringLiteral("playing");
        case PlayState::Paused: return QStringLiteral("paused");
        case PlayState::Stopped: return QStringLiteral("stopped");
        case PlayState::Error: return QStringLiteral("error");
        case PlayState::Reconnecting: return QStringLiteral("reconnecting");
        case PlayState::Idle: break;
    }
    return QStringLiteral("idle");
}

void PlayerPane::setVolume(int volume) {
    m_volume = std::clamp(volume, 0, 100);
    const QSignalBlocker block(m_volumeSlider);
    m_volumeSlider->setValue(m_volume);
    m_player->setVolume(m_volume);
}

void PlayerPane::setMuted(bool muted) {
    showMuted(muted);
    m_player->setMuted(muted);
}

void PlayerPane::showMuted(bool muted) {
    const QSignalBlocker block(m_mute);
    m_mute->setChecked(muted);
    m_mute->setIcon(ReadableStandardIcon(this, muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
}

void PlayerPane::setVolumeFromUser(int volume) { m_volumeSlider->setValue(std::clamp(volume, 0, 100)); }

void PlayerPane::setHardwareDecoding(bool on) { m_player->setHardwareDecoding(on); }

double PlayerPane::position() const { return m_player->position(); }
bool PlayerPane::seekable() const { return m_position->isEnabled(); }
void PlayerPane::seekTo(double seconds) { m_player->seek(std::max(0.0, seconds)); }

void PlayerPane::refreshPosition() {
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

bool PlayerPane::isActive() const {
    return m_state == PlayState::Opening || m_state == PlayState::Playing || m_state == PlayState::Paused ||
           m_state == PlayState::Reconnecting;
}

bool PlayerPane::isPlayingOrStarting(const QString& url) const {
    constexpr qint64 kFreshOpenMs = 1000;
    if (url.isEmpty() || url != m_url) return false;
    return m_state == PlayState::Playing ||
           (m_state == PlayState::Opening && m_openClock.isValid() && m_openClock.elapsed() < kFreshOpenMs);
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

void PlayerPane::setUrl(const QString& url, const QString& name) { open(url, false, name); }

void PlayerPane::setUrlFromUser(const QString& url) {
    // A local file is named by its file name; a network address by its stream's own title.
    QString name;
    if (stream_address::SchemeLength(url.toStdString()) == 0)
        name = QFileInfo(url).fileName();
    else if (url.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        name = QFileInfo(QUrl(url).toLocalFile()).fileName();
    open(url, true, name);
}

void PlayerPane::open(const QString& url, bool fromUser, const QString& name) {
    // What plays now, should it be kept paused for going back to it.
    const bool keepCurrent =
        m_keepLast && m_startedOnce && (m_state == PlayState::Playing || m_state == PlayState::Paused) && url != m_url;
    stopRecording();  // a recording is of one channel
    const Kept current{m_player, m_url, m_name, m_title, m_fromUser, m_live};
    if (url != m_url) m_video->setBackdropPicture({});  // the channel before's logo
    m_url = url;
    m_name = name;
    m_guide.clear();
    m_onNow = m_onNext = {};
    m_number.clear();
    m_fromUser = fromUser;
    m_error.clear();
    m_title.clear();
    // Another channel starts: the last one's failure, and any note, are old news.
    if (m_errorBox) m_errorBox->close();
    m_note.clear();
    m_noteTimer.stop();
    cancelOpening();
    m_reconnectTry = 0;
    m_startedOnce = false;
    emit mediaChanged();  // the window gives the channel's number, logo and guide meanwhile
    if (url.isEmpty()) {
        // An empty address plays nothing.
        clearOnScreen();
        m_player->stop();
        m_video->hidePicture();
        setState(PlayState::Idle);
        return;
    }
    const std::string address = url.toStdString();
    if (!stream_address::IsAllowed(address, fromUser ? stream_address::Origin::User : stream_address::Origin::List)) {
        m_player->stop();
        showError(Msg("MSG_PROTOCOLREFUSED"));
        return;
    }
    if (!m_player->isValid()) {
        showError(Msg("MSG_PLAYERNOTSTARTED"));
        return;
    }
    if (m_keepLast && !m_kept.url.isEmpty() && m_kept.url == url && m_kept.fromUser == fromUser) {
        returnToKept(name, keepCurrent, current);
        return;
    }
    showBanner();
    // The old picture stays until the new channel's first frame, for a second at most.
    m_video->holdPicture();
    m_holdTimer.start();
    if (keepCurrent && ensureSecondPlayer()) keepCurrentAndSwitch(current);
    m_video->awaitPicture();
    load();
}

bool PlayerPane::ensureSecondPlayer() {
    if (m_kept.player) return true;
    auto* second = new MpvPlayer(this, m_volume, m_player->isMuted(), m_player->hardwareDecoding());
    if (!second->isValid() || !m_video->attach(second->handle())) {
        delete second;
        return false;
    }
    m_kept = Kept{second};
    return true;
}

void PlayerPane::keep(const Kept& current) {
    disconnect(current.player, nullptr, this, nullptr);
    current.player->setPaused(true);
    m_kept = current;
    m_keptTimer.start();
    connect(current.player, &MpvPlayer::ended, this, [this, player = current.player] {
        if (m_kept.player == player) m_kept.url.clear();  // dropped while paused: nothing to go back to
    });
}

void PlayerPane::switchTo(MpvPlayer* next, const MpvPlayer* from) {
    next->setVolume(m_volume);
    next->setMuted(from->isMuted());
    next->setHardwareDecoding(from->hardwareDecoding());
    m_player = next;
    bind(next);
    m_video->setCurrent(next->handle());
}

void PlayerPane::keepCurrentAndSwitch(const Kept& current) {
    // The other player opens the new channel: a channel kept there before is replaced, so never
    // more than one stream besides the one that plays.
    MpvPlayer* next = m_kept.player;
    keep(current);
    switchTo(next, current.player);
}

void PlayerPane::returnToKept(const QString& name, bool keepCurrent, const Kept& current) {
    MpvPlayer* back = m_kept.player;
    const Kept kept = m_kept;
    if (keepCurrent) {
        keep(current);
    } else {
        // Not worth keeping (it had not started, or failed): the player is free for the next zap.
        disconnect(current.player, nullptr, this, nullptr);
        current.player->stop();
        m_kept = Kept{current.player};
        m_keptTimer.stop();
    }
    switchTo(back, current.player);
    m_position->setRange(0, static_cast<int>(back->duration() * 10));
    m_name = name.isEmpty() ? kept.name : name;
    m_title = kept.title;
    m_live = kept.live;
    m_startedOnce = true;
    back->setPaused(false);
    if (m_live) back->jumpToNewest();
    if (back->hasVideo())
        m_video->showPictureNow();  // the frame it paused on, until the next one comes
    else
        m_video->hidePicture();
    setState(PlayState::Playing);
    emit mediaChanged();
    showBanner();
}

void PlayerPane::releaseKept() {
    m_keptTimer.stop();
    if (m_kept.player && !m_kept.url.isEmpty()) m_kept.player->stop();
    m_kept.url.clear();
}

void PlayerPane::setKeepLastChannel(bool on) {
    if (on == m_keepLast) return;
    m_keepLast = on;
    if (on || !m_kept.player) return;
    // Off: the second player goes, with what it keeps.
    releaseKept();
    MpvPlayer* second = m_kept.player;
    m_kept = Kept{};
    m_video->detach(second->handle());
    delete second;
}

void PlayerPane::prepare(const QString& url) {
    if (url.isEmpty()) {
        if (m_relay) m_relay->prepare({});
        return;
    }
    if ((url == m_url && isActive()) || url == m_kept.url) return;  // open already
    if (!stream_address::IsAllowed(url.toStdString(), stream_address::Origin::List)) return;
    relay().prepare(PlayerAddress(url).toStdString(), m_userAgent);
}

stream_relay::Relay& PlayerPane::relay() {
    if (!m_relay) m_relay = std::make_unique<stream_relay::Relay>();
    m_relay->setNearPolicy(g_prepareNearServers ? stream_relay::Relay::Near::Prepare : stream_relay::Relay::Near::Skip);
    return *m_relay;
}

// Opens m_url: the first time, or again for a reconnect.
void PlayerPane::load() {
    if (m_state != PlayState::Reconnecting) setState(PlayState::Opening);
    m_openBaseline = base::ResidentBytes();
    m_openClock.start();
    m_openWatch.start();
    const QString address = PlayerAddress(m_url);
    // Through the relay only when it holds what this address needs; otherwise the player asks
    // the server itself, and its failures are the server's own.
    m_openedPrepared = m_relay && m_relay->isPrepared(address.toStdString());
    m_player->load(address, m_openedPrepared ? QString::fromStdString(m_relay->proxyAddress()) : QString());
    // Its server is kept warm: the next zap to any of its channels saves the connect.
    if (address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)) relay().keepWarm(address.toStdString());
}

void PlayerPane::watchOpening() {
    if (m_state != PlayState::Opening && m_state != PlayState::Reconnecting) {
        m_openWatch.stop();
        return;
    }
    if (m_reconnectTimer.isActive()) return;  // waiting between tries: nothing opens
    const std::uint64_t now = base::ResidentBytes();
    if (m_openBaseline > 0 && now > m_openBaseline && now - m_openBaseline > g_openGrowthLimit / 4 * 3) {
        m_player->stop();
        m_openWatch.stop();
        showError(Msg("MSG_TOOMUCHMEMORY").arg((now - m_openBaseline) / (std::uint64_t{1} << 20)));
        return;
    }
    if (m_openClock.elapsed() > g_openDeadlineMs) {
        m_player->stop();
        m_openWatch.stop();
        const QString reason = Msg("MSG_DIDNOTSTART").arg(g_openDeadlineMs / 1000);
        if (m_startedOnce)
            reconnectOrGiveUp(reason);
        else
            showError(reason);
    }
}

void PlayerPane::onStarted() {
    m_openWatch.stop();
    m_holdTimer.stop();
    m_reconnectTry = 0;
    // The banner of a zap stays its full time once the channel is on screen.
    if (!m_startedOnce && m_onScreen.kind() == OnScreen::Kind::Banner) m_onScreenTimer.start(kBannerMs);
    m_startedOnce = true;
    // Whether a duration is known when playback starts tells a file or a recording from a live
    // stream. (A live stream's end can reveal a length later: that does not make it a file.)
    // A source of unknown size (a web stream without a length) is live whatever length the
    // demuxer guesses from its first bytes.
    m_live = !m_player->sourceSizeKnown() || m_player->durationNow() <= 0;
    if (!m_player->hasVideo())
        m_video->hidePicture();
    else if (!m_video->pictureShown())
        m_video->showPicture(true);  // a held picture stays until the first new frame
    setState(m_player->isPaused() ? PlayState::Paused : PlayState::Playing);
}

void PlayerPane::onEnded(bool error, const QString& reason) {
    m_openWatch.stop();
    // A live stream (no duration) that had played and then ended or failed was dropped by its
    // server or the network: it is opened again. A file or a recording that ended did end.
    if (m_startedOnce && m_live && m_state != PlayState::Stopped && m_state != PlayState::Idle) {
        reconnectOrGiveUp(error ? reason : Msg("MSG_SERVERENDED"));
        return;
    }
    m_video->hidePicture();
    clearOnScreen();
    if (error)
        showError(reason);
    else
        setState(PlayState::Stopped);
}

void PlayerPane::reconnectOrGiveUp(const QString& reason) {
    if (m_reconnectTry >= kReconnectTries) {
        showError(Msg("MSG_NOTREACHEDAGAIN").arg(reason));
        return;
    }
    ++m_reconnectTry;
    m_video->hidePicture();
    setState(PlayState::Reconnecting);                                  // also when it was: the status counts the try
    m_reconnectTimer.start(g_reconnectBaseMs << (m_reconnectTry - 1));  // 1, 2, 4, 8, 16 s
}

void PlayerPane::cancelOpening() {
    m_reconnectTimer.stop();
    m_holdTimer.stop();
    m_openWatch.stop();
}

void PlayerPane::play() {
    if (m_state == PlayState::Paused) {
        m_player->setPaused(false);
    } else if ((m_state == PlayState::Stopped || m_state == PlayState::Error || m_state == PlayState::Idle) &&
               !m_url.isEmpty()) {
        open(m_url, m_fromUser, m_name);
    }
}

void PlayerPane::pause() {
    if (m_state == PlayState::Playing) m_player->setPaused(true);
}

void PlayerPane::playPause() {
    if (m_state == PlayState::Playing)
        pause();
    else
        play();
}

void PlayerPane::stop() {
    stopRecording();
    clearOnScreen();
    m_player->stop();
    cancelOpening();
    m_video->hidePicture();
    if (m_state != PlayState::Idle && m_state != PlayState::Error) setState(PlayState::Stopped);
}

void PlayerPane::close() {
    stopRecording();
    clearOnScreen();
    m_player->stop();
    releaseKept();
    cancelOpening();
    m_url.clear();
    m_name.clear();
    m_video->hidePicture();
    setState(PlayState::Idle);
    emit mediaChanged();
}

QImage PlayerPane::grabFrame() const { return m_video->grabFrame(); }
bool PlayerPane::hasFrame() const { return m_video->hasFrame(); }
quint64 PlayerPane::framesShown() const { return m_video->framesShown(); }

void PlayerPane::setState(PlayState state) {
    const bool changed = state != m_state;
    m_state = state;
    if (state != PlayState::Opening) m_connectingTimer.stop();  // the next open waits its own time
    refreshStatus();
    refreshControls();
    refreshBackdrop();
    if (changed) emit playStateChanged(StateName(state));
}

void PlayerPane::showNote(const QString& text, int ms) {
    m_note = text;
    m_noteTimer.start(ms);
    refreshStatus();
}

void PlayerPane::showError(const QString& reason) {
    m_error = reason;
    clearOnScreen();  // the reason stands in its place
    cancelOpening();
    m_video->hidePicture();
    setState(PlayState::Error);
    const QString text = Msg("MSG_CANNOTPLAY") + QStringLiteral("\n%1\n\n%2").arg(m_url, reason);
    // Never modal and never taking the focus: the keys stay with the list, so zapping goes on
    // over a dead channel; a later failure replaces the text of the open message instead of
    // stacking another, and the next channel closes it.
    if (QWidget* focus = QApplication::focusWidget(); focus && focus->window() == window()) m_keysBeforeError = focus;
    if (!m_errorBox) {
        const std::string& name = modPrivateLabel::ProgramName;
        m_errorBox = new QMessageBox(QMessageBox::Warning, name.empty() ? Msg("MSG_MEDIAPLAYER") : ToQt(name), text,
                                     QMessageBox::Ok, this);
        m_errorBox->setObjectName(QStringLiteral("playerError"));
        SayButtons(m_errorBox);
        m_errorBox->setAttribute(Qt::WA_DeleteOnClose);
        m_errorBox->setAttribute(Qt::WA_ShowWithoutActivating);
        m_errorBox->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
        m_errorBox->setWindowModality(Qt::NonModal);
        for (QWidget* child : m_errorBox->findChildren<QWidget*>()) child->setFocusPolicy(Qt::NoFocus);
        // Where the platform activates a new window all the same, the activation goes back.
        m_errorBox->installEventFilter(this);
        qApp->installEventFilter(this);  // Esc closes it, as long as it shows
        connect(m_errorBox, &QObject::destroyed, this, [this] { qApp->removeEventFilter(this); });
        m_errorBox->show();
    } else {
        m_errorBox->setText(text);
    }
    emit failed(m_url, reason);
}

// ---- Full screen -------------------------------------------------------------------------

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

void PlayerPane::closeFailure() {
    if (m_errorBox) m_errorBox->close();
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
            toggleFullScreen();
            return true;
        }
        if (event->type() == QEvent::MouseMove) showControlsForAWhile();
        if (event->type() == QEvent::MouseButtonPress) setFocus();
    }
    return QFrame::eventFilter(watched, event);
}

// ---- Context menu ------------------------------------------------------------------------

void PlayerPane::setBarTexts() {
    m_playPause->setToolTip(Msg("MSG_TIPPLAYPAUSE"));
    m_stop->setToolTip(Msg("MSG_TIPSTOP"));
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

void PlayerPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void PlayerPane::buildMenuCaptions() {
    const std::array<std::pair<const char*, const char*>, 16> captions{{
        {"menuPlay", "&Play"},
        {"menuPause", "&Pause"},
        {"menuStop", "&Stop"},
        {"menuAudio", "&Audio Track"},
        {"menuSubtitles", "S&ubtitles"},
        {"menuSubtitlesOff", "Off"},
        {"menuAspect", "Aspect &Ratio"},
        {"menuAspectFromStream", "As the Stream Says"},
        {"menuFullScreen", "&Full Screen"},
        {"menuMute", "&Mute"},
        {"menuHardwareDecoding", "&Hardware Decoding"},
        {"menuKeepLastChannel", "&Keep Last Channel Ready"},
        {"menuCopyAddress", "&Copy Stream Address"},
        {"menuStreamInformation", "Stream &Information"},
        {"menuRecord", "&Record"},
        {"menuStopRecording", "Stop &Recording"},
    }};
    for (const auto& [name, text] : captions) {
        auto* caption = new QAction(QString::fromUtf8(text), this);
        caption->setObjectName(QString::fromLatin1(name));
        caption->setProperty(design::kMenuEntry, true);
        caption->setVisible(false);
        m_menuCaptions.insert(caption->objectName(), caption);
    }
}

StreamFacts PlayerPane::streamFacts() const { return m_player->facts(); }

StreamInformation* PlayerPane::showStreamInformation() {
    if (!m_streamInformation) {
        m_streamInformation = new StreamInformation(this);
        placeBeside(m_streamInformation);
    }
    m_streamInformation->show();
    m_streamInformation->raise();
    m_streamInformation->activateWindow();
    return m_streamInformation;
}

// A window of the pane's goes beside the main window where the screen has room, else over the
// pane's top corner: never over the control bar and its volume slider.
void PlayerPane::placeBeside(QWidget* tool) const {
    tool->adjustSize();
    const QSize size = tool->frameGeometry().size().expandedTo(tool->sizeHint());
    const QRect main = window()->frameGeometry();
    const QScreen* screen = window()->screen();
    const QRect room = screen ? screen->availableGeometry() : main;
    const int gap = 8;
    QPoint at(main.right() + gap, main.top());
    if (at.x() + size.width() > room.right()) at.setX(main.left() - gap - size.width());
    if (at.x() < room.left()) at = mapToGlobal(QPoint(width() - size.width(), 0));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - size.height())));
    tool->move(at);
}

QString PlayerPane::menuCaption(const char* name) const {
    const QAction* caption = m_menuCaptions.value(QString::fromLatin1(name));
    return caption ? caption->text() : QString();
}

QMenu* PlayerPane::createContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("playerMenu"));
    auto add = [menu](QMenu* into, const QString& text, const char* name, auto handler) {
        QAction* action = into->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcutContext(Qt::WidgetShortcut);  // the keys are shown here, taken by the pane
        QObject::connect(action, &QAction::triggered, menu, handler);
        return action;
    };
    QAction* playOrPause = add(menu, menuCaption(m_state == PlayState::Playing ? "menuPause" : "menuPlay"),
                               "menuPlayPause", [this] { playPause(); });
    playOrPause->setShortcut(Qt::Key_Space);
    playOrPause->setEnabled(!m_url.isEmpty());
    add(menu, menuCaption("menuStop"), "menuStop", [this] { stop(); })->setEnabled(m_stop->isEnabled());
    QAction* record = add(menu, menuCaption(isRecording() ? "menuStopRecording" : "menuRecord"), "menuRecord", [this] {
        if (isRecording())
            stopRecording();
        else
            startRecording();
    });
    record->setShortcut(Qt::Key_R);
    record->setEnabled(isRecording() || m_state == PlayState::Playing || m_state == PlayState::Paused);
    menu->addSeparator();

    const QList<MpvPlayer::Track> tracks = m_player->tracks();
    QMenu* audio = menu->addMenu(menuCaption("menuAudio"));
    audio->setObjectName(QStringLiteral("menuAudio"));
    QMenu* subtitles = menu->addMenu(menuCaption("menuSubtitles"));
    subtitles->setObjectName(QStringLiteral("menuSubtitles"));
    auto* audioGroup = new QActionGroup(audio);
    auto* subtitleGroup = new QActionGroup(subtitles);
    bool anySubtitle = false;
    QAction* off = add(subtitles, menuCaption("menuSubtitlesOff"), "menuSubtitlesOff",
                       [this] { m_player->selectTrack(QStringLiteral("sub"), 0); });
    off->setCheckable(true);
    off->setChecked(true);
    subtitleGroup->addAction(off);
    for (const MpvPlayer::Track& track : tracks) {
        if (track.type != QLatin1String("audio") && track.type != QLatin1String("sub")) continue;
        const bool isAudio = track.type == QLatin1String("audio");
        const QString type = track.type;
        const qint64 id = track.id;
        QAction* a = add(isAudio ? audio : subtitles, track.label, isAudio ? "menuAudioTrack" : "menuSubtitleTrack",
                         [this, type, id] { m_player->selectTrack(type, id); });
        a->setCheckable(true);
        a->setChecked(track.selected);
        (isAudio ? audioGroup : subtitleGroup)->addAction(a);
        if (!isAudio && track.selected) off->setChecked(false);
        anySubtitle = anySubtitle || !isAudio;
    }
    audio->setEnabled(!audio->actions().isEmpty());
    subtitles->setEnabled(anySubtitle);

    QMenu* aspect = menu->addMenu(menuCaption("menuAspect"));
    aspect->setObjectName(QStringLiteral("menuAspect"));
    auto* aspectGroup = new QActionGroup(aspect);
    const std::array<std::pair<QString, QString>, 4> ratios{{{menuCaption("menuAspectFromStream"), QString()},
                                                             {QStringLiteral("16:9"), QStringLiteral("16:9")},
                                                             {QStringLiteral("4:3"), QStringLiteral("4:3")},
                                                             {QStringLiteral("2.35:1"), QStringLiteral("2.35:1")}}};
    for (const auto& [text, ratio] : ratios) {
        QAction* a = add(aspect, text, "menuAspectRatio", [this, r = ratio] { m_player->setAspect(r); });
        a->setCheckable(true);
        a->setChecked(m_player->aspect() == ratio);
        aspectGroup->addAction(a);
    }
    menu->addSeparator();
    QAction* full = add(menu, menuCaption("menuFullScreen"), "menuFullScreen", [this] { toggleFullScreen(); });
    full->setCheckable(true);
    full->setChecked(m_fullScreen);
    full->setShortcut(Qt::Key_F);
    QAction* mute = add(menu, menuCaption("menuMute"), "menuMute", [this] { m_mute->toggle(); });
    mute->setCheckable(true);
    mute->setChecked(isMuted());
    mute->setShortcut(Qt::Key_M);
    QAction* hw = add(menu, menuCaption("menuHardwareDecoding"), "menuHardwareDecoding", [this] {
        setHardwareDecoding(!hardwareDecoding());
        emit hardwareDecodingToggled(hardwareDecoding());
    });
    hw->setCheckable(true);
    hw->setChecked(hardwareDecoding());
    QAction* keep = add(menu, menuCaption("menuKeepLastChannel"), "menuKeepLastChannel", [this] {
        setKeepLastChannel(!keepsLastChannel());
        emit keepLastChannelToggled(keepsLastChannel());
    });
    keep->setCheckable(true);
    keep->setChecked(keepsLastChannel());
    menu->addSeparator();
    add(menu, menuCaption("menuStreamInformation"), "menuStreamInformation", [this] {
        showStreamInformation();
    })->setShortcut(Qt::CTRL | Qt::Key_I);
    add(menu, menuCaption("menuCopyAddress"), "menuCopyAddress", [this] {
        QApplication::clipboard()->setText(m_url);
    })->setEnabled(!m_url.isEmpty());
    return menu;
}
