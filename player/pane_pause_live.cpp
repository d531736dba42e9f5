// Pausing live TV: Space on a live channel keeps what arrives in a file on disk (at most the
// user's minutes or megabytes of it); play resumes where it paused, Left and Right seek within
// it, End or the bar's Live button go back to the live edge, and the status line says how far
// behind live the picture is. A zap forgets it; a file that cannot be written sends the picture
// back to live and says why.
#include <QStandardPaths>
#include <QToolButton>
#include <algorithm>

#include "player/mpv_player.h"
#include "player/player_pane.h"
#include "widgets/texts.h"

namespace {
// Closer to the newest packet than this is live: the player's own read-ahead.
constexpr double kAtLiveSeconds = 3;
}  // namespace

void PlayerPane::setPauseBuffer(const QString& folder, int minutes, int megabytes) {
    m_pauseFolder = folder;
    m_pauseMinutes = std::clamp(minutes, 1, 24 * 60);
    m_pauseMegabytes = std::clamp(megabytes, 16, 64 * 1024);
}

bool PlayerPane::pauseLive() {
    QString folder = m_pauseFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/PauseBuffer");
    return m_player->keepWhilePaused(folder, qint64{m_pauseMegabytes} << 20, m_pauseMinutes * 60);
}

double PlayerPane::behindLive() const {
    return m_live && m_player->keepingWhilePaused() ? m_player->behindNewest() : 0;
}

qint64 PlayerPane::pauseBufferBytes() const { return m_player->pauseFileBytes(); }

void PlayerPane::goLive() {
    if (!m_live || !m_player->keepingWhilePaused()) return;
    m_player->jumpToNewest();
    if (m_state == PlayState::Paused) m_player->setPaused(false);
}

void PlayerPane::seekBy(double seconds) {
    if (m_state != PlayState::Playing && m_state != PlayState::Paused) return;
    if (m_live) {
        if (!m_player->keepingWhilePaused()) return;  // nothing kept to seek in
        // Forward past what has arrived is live.
        if (seconds > 0 && seconds >= behindLive() - 1) {
            goLive();
            return;
        }
    } else if (!m_player->seekable()) {
        return;
    }
    m_player->seekBy(seconds);
}

void PlayerPane::refreshBehindLive() {
    const double behind = behindLive();
    const bool isBehind = behind > kAtLiveSeconds;
    if (isBehind == m_behindLive && !isBehind) return;
    m_behindLive = isBehind;
    m_goLive->setVisible(isBehind);
    refreshStatus();
}

QString PlayerPane::behindLiveText() const {
    return m_behindLive ? Msg("MSG_BEHINDLIVE").arg(ClockText(behindLive())) : QString();
}

void PlayerPane::onPauseFileFailed(const QString& why) {
    // Played on live rather than from a cache that keeps nothing, or keeps it all in memory.
    m_player->jumpToNewest();
    m_player->stopKeepingWhilePaused();
    if (m_state == PlayState::Paused) m_player->setPaused(false);
    showNote(Msg("MSG_PAUSEFILEFAILED").arg(why));
}
