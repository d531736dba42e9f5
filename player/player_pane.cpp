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
#include <utility>

#include "base/private_label.h"
#include "base/process_memory.h"
#include "catalogue/stream_options.h"
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
    m_spareTrim.setSingleShot(true);
    connect(&m_spareTrim, &QTimer::timeout, this, &PlayerPane::trimSpares);
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
    connect(player, &MpvPlayer::pauseFileFailed, this, &PlayerPane::onPauseFileFailed);
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

void PlayerPane::setUrl(const QString& url, const QString& name) { open(url, false, name); }

void PlayerPane::setStreamOptions(const QString& url, const std::string& options) {
    if (options.empty()) {
        m_streamOptions.erase(url);
        return;
    }
    if (m_streamOptions.size() >= 64) m_streamOptions.clear();  // a handful are in use at a time
    m_streamOptions[url] = options;
}

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
    m_restartable = false;
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
    if (keepCurrent && ensureSecondPlayer())
        keepCurrentAndSwitch(current);
    else if (!m_player->isIdle())
        handOffClose();
    m_video->awaitPicture();
    load();
}

void PlayerPane::prepare(const QString& url) {
    // While a stream opens, its requests may want the connection a preparation would take:
    // the preparation waits until it plays.
    const bool opening = m_state == PlayState::Opening || m_state == PlayState::Reconnecting;
    m_preparePending = opening ? url : QString();
    if (opening && !url.isEmpty()) return;
    if (url.isEmpty()) {
        if (m_relay) m_relay->prepare({});
        return;
    }
    if ((url == m_url && isActive()) || url == m_kept.url) return;  // open already
    if (!stream_address::IsAllowed(url.toStdString(), stream_address::Origin::List)) return;
    // The entry's own user agent, when its server asks for one.
    const auto options = m_streamOptions.find(url);
    const std::string agent = options == m_streamOptions.end()
                                  ? std::string()
                                  : stream_options::Value(stream_options::Read(options->second), "User-Agent");
    relay().prepare(PlayerAddress(url).toStdString(), agent.empty() ? m_userAgent : agent);
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
    const auto options = m_streamOptions.find(m_url);
    m_player->load(address, m_openedPrepared ? QString::fromStdString(m_relay->proxyAddress()) : QString(),
                   options == m_streamOptions.end() ? std::string() : options->second);
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
    // What was asked to be made ready while this opened (no longer opening now).
    if (!m_preparePending.isEmpty()) prepare(std::exchange(m_preparePending, QString()));
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
    if (m_state != PlayState::Playing) return;
    // What arrives meanwhile is kept; where it cannot be, the channel plays on live.
    if (m_live && !pauseLive()) return;
    m_player->setPaused(true);
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
