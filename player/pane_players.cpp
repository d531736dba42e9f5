// The pane's players taking turns: the one that plays, a second one paused on the last channel
// (for going back to it at once), and a spare. A new channel opens on a player that is idle, so
// that the close of the stream before it (a live stream's can take a tenth of a second) runs
// beside the open instead of ahead of it. When two streams close at once (two quick zaps between
// live channels), a second spare is made, and it goes again once the zaps have come to rest.
#include <QSlider>
#include <algorithm>

#include "player/mpv_player.h"
#include "player/player_pane.h"
#include "player/video_view.h"

namespace {
constexpr std::size_t kMostSpares = 2;
constexpr int kSpareTrimMs = 5000;  // an extra spare goes this long after the burst that made it
}  // namespace

MpvPlayer* PlayerPane::makePlayer() {
    auto* made = new MpvPlayer(this, m_volume, m_player->isMuted(), m_player->hardwareDecoding());
    if (made->isValid() && m_video->attach(made->handle())) return made;
    delete made;
    return nullptr;
}

bool PlayerPane::ensureSecondPlayer() {
    if (!m_kept.player) m_kept = Kept{makePlayer()};
    return m_kept.player != nullptr;
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
    // The other player opens the new channel: a channel kept there before goes, so never more
    // than one stream besides the one that plays. It closes on its own player, which becomes
    // the spare, while the spare opens the new one: the close holds up no open.
    MpvPlayer* next = m_kept.player;
    if (!m_kept.url.isEmpty() || !next->isIdle()) {
        if (MpvPlayer* spare = swapWithIdleSpare(next)) next = spare;
    }
    keep(current);
    switchTo(next, current.player);
}

void PlayerPane::handOffClose() {
    // The channel before (stopped, failed or still playing, and not kept) closes on its player
    // while an idle one opens the new channel.
    MpvPlayer* before = m_player;
    MpvPlayer* next = nullptr;
    if (m_keepLast && ensureSecondPlayer() && m_kept.url.isEmpty() && m_kept.player->isIdle()) {
        next = m_kept.player;
        m_kept = Kept{before};
        m_keptTimer.stop();
        disconnect(before, nullptr, this, nullptr);
        before->stop();
    } else {
        next = swapWithIdleSpare(before);
    }
    if (!next) return;  // no player could be made: the new channel waits for the close
    switchTo(next, before);
}

MpvPlayer* PlayerPane::swapWithIdleSpare(MpvPlayer* closing) {
    auto spare = std::find_if(m_spares.begin(), m_spares.end(), [](const MpvPlayer* p) { return p->isIdle(); });
    if (spare == m_spares.end()) {
        if (m_spares.size() >= kMostSpares) return nullptr;
        MpvPlayer* made = makePlayer();
        if (!made) return nullptr;
        if (!m_spares.empty()) m_spareTrim.start(kSpareTrimMs);
        spare = m_spares.insert(m_spares.end(), made);
    }
    MpvPlayer* next = *spare;
    disconnect(closing, nullptr, this, nullptr);
    closing->stop();
    *spare = closing;
    return next;
}

void PlayerPane::trimSpares() {
    if (m_spares.size() <= 1) return;
    auto idle = std::find_if(m_spares.begin(), m_spares.end(), [](const MpvPlayer* p) { return p->isIdle(); });
    if (idle == m_spares.end()) {
        m_spareTrim.start(kSpareTrimMs);  // still closing: looked at again later
        return;
    }
    MpvPlayer* extra = *idle;
    m_spares.erase(idle);
    m_video->detach(extra->handle());
    delete extra;
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
