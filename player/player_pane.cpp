#include "player/player_pane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/private_label.h"
#include "base/process_memory.h"
#include "player/mpv_player.h"
#include "player/stream_address.h"
#include "player/video_view.h"
#include "widgets/design.h"
#include "widgets/qt_text.h"

namespace {
int g_openDeadlineMs = PlayerPane::kOpenDeadlineMs;
std::uint64_t g_openGrowthLimit = PlayerPane::kOpenGrowthLimitBytes;
}  // namespace

void PlayerPane::SetOpenLimitsForTests(int deadlineMs, std::uint64_t growthBytes) {
    g_openDeadlineMs = deadlineMs > 0 ? deadlineMs : kOpenDeadlineMs;
    g_openGrowthLimit = growthBytes > 0 ? growthBytes : kOpenGrowthLimitBytes;
}

PlayerPane::PlayerPane(QWidget* parent) : QFrame(parent), m_player(new MpvPlayer(this)) {
    setFrameShape(QFrame::StyledPanel);
    setProperty(design::kOwnLook, true);  // the skin leaves the player as it is
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_video = VideoView::Create(m_player->handle(), this);
    m_video->widget()->setObjectName(QStringLiteral("video"));
    column->addWidget(m_video->widget(), 1);
    buildControlBar();

    connect(m_player, &MpvPlayer::started, this,
            [this] { setState(m_player->isPaused() ? PlayState::Paused : PlayState::Playing); });
    connect(m_player, &MpvPlayer::ended, this, [this](bool error, const QString& reason) {
        if (error)
            showError(reason);
        else
            setState(PlayState::Stopped);
    });
    connect(m_player, &MpvPlayer::pausedChanged, this, [this](bool paused) {
        m_playPause->setIcon(style()->standardIcon(paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
        if (m_state == PlayState::Playing && paused) setState(PlayState::Paused);
        if (m_state == PlayState::Paused && !paused) setState(PlayState::Playing);
    });
    connect(m_player, &MpvPlayer::seekableChanged, m_position, &QSlider::setEnabled);
    connect(m_player, &MpvPlayer::durationChanged, this,
            [this](double seconds) { m_position->setRange(0, static_cast<int>(seconds * 10)); });
    connect(m_player, &MpvPlayer::volumeChanged, this, [this](int v) {
        m_volume = v;
        const QSignalBlocker block(m_volumeSlider);
        m_volumeSlider->setValue(v);
    });
    connect(m_player, &MpvPlayer::mutedChanged, m_mute, &QToolButton::setChecked);
    connect(m_player, &MpvPlayer::titleChanged, this, [this](const QString& title) {
        m_title = title;
        if (m_state == PlayState::Playing || m_state == PlayState::Paused) m_status->setText(title);
    });

    // Position updates reach the slider ten times a second, not at mpv's frame rate.
    m_positionTimer.setInterval(100);
    connect(&m_positionTimer, &QTimer::timeout, this, &PlayerPane::refreshPosition);
    m_positionTimer.start();

    // Often enough that memory growing at hundreds of megabytes a second is caught within a
    // few dozen megabytes of the limit.
    m_openWatch.setInterval(50);
    connect(&m_openWatch, &QTimer::timeout, this, &PlayerPane::watchOpening);
}

void PlayerPane::watchOpening() {
    if (m_state != PlayState::Opening) {
        m_openWatch.stop();
        return;
    }
    const std::uint64_t now = base::ResidentBytes();
    if (m_openBaseline > 0 && now > m_openBaseline && now - m_openBaseline > g_openGrowthLimit / 4 * 3) {
        m_player->stop();
        showError(QStringLiteral("The address sent more than any stream does (the player had taken %1 MB of memory "
                                 "for it without playing), so it was stopped.")
                      .arg((now - m_openBaseline) / (std::uint64_t{1} << 20)));
        return;
    }
    if (m_openClock.elapsed() > g_openDeadlineMs) {
        m_player->stop();
        showError(QStringLiteral("The stream did not start within %1 seconds.").arg(g_openDeadlineMs / 1000));
    }
}

PlayerPane::~PlayerPane() {
    // The picture's render context must go before the player's handle.
    delete m_video->widget();
    m_video = nullptr;
}

void PlayerPane::buildControlBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("controlBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    auto button = [&](QStyle::StandardPixmap icon, const char* name, const char* tip) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(QString::fromLatin1(tip));
        b->setAutoRaise(true);
        row->addWidget(b);
        return b;
    };
    m_playPause = button(QStyle::SP_MediaPause, "playPause", "Play / Pause");
    m_stop = button(QStyle::SP_MediaStop, "stop", "Stop");
    m_position = new QSlider(Qt::Horizontal, bar);
    m_position->setObjectName(QStringLiteral("position"));
    m_position->setEnabled(false);
    row->addWidget(m_position, 3);
    m_status = new QLabel(bar);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setMinimumWidth(60);
    row->addWidget(m_status, 4);
    m_mute = button(QStyle::SP_MediaVolume, "mute", "Mute");
    m_mute->setCheckable(true);
    m_volumeSlider = new QSlider(Qt::Horizontal, bar);
    m_volumeSlider->setObjectName(QStringLiteral("volume"));
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setValue(m_volume);
    m_volumeSlider->setMaximumWidth(80);
    row->addWidget(m_volumeSlider, 1);
    layout()->addWidget(bar);

    connect(m_playPause, &QToolButton::clicked, this, [this] {
        if (m_state == PlayState::Stopped || m_state == PlayState::Error) {
            if (!m_url.isEmpty()) setUrl(m_url);
            return;
        }
        m_player->setPaused(!m_player->isPaused());
    });
    connect(m_stop, &QToolButton::clicked, this, &PlayerPane::stop);
    connect(m_mute, &QToolButton::toggled, this, [this](bool on) {
        m_player->setMuted(on);
        m_mute->setIcon(style()->standardIcon(on ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    });
    connect(m_volumeSlider, &QSlider::valueChanged, this, [this](int v) {
        m_volume = v;
        m_player->setVolume(v);
    });
    connect(m_position, &QSlider::sliderPressed, this, [this] { m_dragging = true; });
    connect(m_position, &QSlider::sliderReleased, this, [this] {
        m_dragging = false;
        m_player->seek(m_position->value() / 10.0);
    });
}

QString PlayerPane::title() const { return m_title; }

QString PlayerPane::StateName(PlayState state) {
    switch (state) {
        case PlayState::Opening: return QStringLiteral("opening");
        case PlayState::Playing: return QStringLiteral("playing");
        case PlayState::Paused: return QStringLiteral("paused");
        case PlayState::Stopped: return QStringLiteral("stopped");
        case PlayState::Error: return QStringLiteral("error");
        case PlayState::Idle: break;
    }
    return QStringLiteral("idle");
}

void PlayerPane::refreshPosition() {
    if (!m_dragging && m_position->isEnabled()) {
        const QSignalBlocker block(m_position);
        m_position->setValue(static_cast<int>(m_player->position() * 10));
    }
}

void PlayerPane::setUrl(const QString& url) { open(url, false); }
void PlayerPane::setUrlFromUser(const QString& url) { open(url, true); }

void PlayerPane::open(const QString& url, bool fromUser) {
    m_url = url;
    m_error.clear();
    m_title.clear();
    m_video->clearFrame();
    if (url.isEmpty()) {
        // An empty address plays nothing.
        m_player->stop();
        setState(PlayState::Idle);
        return;
    }
    const std::string address = url.toStdString();
    if (!stream_address::IsAllowed(address, fromUser ? stream_address::Origin::User : stream_address::Origin::List)) {
        m_player->stop();
        showError(QStringLiteral("This address uses a protocol the player does not open."));
        return;
    }
    if (!m_player->isValid()) {
        showError(QStringLiteral("The media player could not be started."));
        return;
    }
    setState(PlayState::Opening);
    m_status->setText(QStringLiteral("Opening…"));
    m_openBaseline = base::ResidentBytes();
    m_openClock.start();
    m_openWatch.start();
    // The player knows its protocols by lower-case names only ("HTTP://" would not open).
    QString normalised = url;
    const auto schemeLength = static_cast<qsizetype>(stream_address::SchemeLength(address));
    normalised.replace(0, schemeLength, url.left(schemeLength).toLower());
    m_player->load(normalised);
}

void PlayerPane::stop() {
    m_player->stop();
    if (m_state != PlayState::Idle && m_state != PlayState::Error) setState(PlayState::Stopped);
}

void PlayerPane::close() {
    m_player->stop();
    m_url.clear();
    m_video->clearFrame();
    setState(PlayState::Idle);
}

QImage PlayerPane::grabFrame() const { return m_video->grabFrame(); }
bool PlayerPane::hasFrame() const { return m_video->hasFrame(); }

void PlayerPane::setState(PlayState state) {
    if (state == PlayState::Idle || state == PlayState::Stopped) m_status->clear();
    // While playing, the bar shows the stream's own title: a radio's now-playing text.
    if (state == PlayState::Playing || state == PlayState::Paused) m_status->setText(m_title);
    if (state == m_state) return;
    m_state = state;
    emit playStateChanged(StateName(state));
}

void PlayerPane::showError(const QString& reason) {
    m_error = reason;
    setState(PlayState::Error);
    m_status->setText(QStringLiteral("Cannot play"));
    const QString text = QStringLiteral("The media player cannot play this address:\n%1\n\n%2").arg(m_url, reason);
    // Never modal to the application: the window stays usable while the message is up, and a
    // later failure replaces the text of the open message instead of stacking another.
    if (!m_errorBox) {
        const std::string& name = modPrivateLabel::ProgramName;
        m_errorBox = new QMessageBox(QMessageBox::Warning, ToQt(name.empty() ? "Media Player" : name), text,
                                     QMessageBox::Ok, this);
        m_errorBox->setObjectName(QStringLiteral("playerError"));
        m_errorBox->setAttribute(Qt::WA_DeleteOnClose);
        m_errorBox->setWindowModality(Qt::NonModal);
        m_errorBox->show();
    } else {
        m_errorBox->setText(text);
    }
}
