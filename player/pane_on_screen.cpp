// The player pane's display on the picture: the channel's banner, the volume, a radio's title.
#include <QDateTime>

#include "player/player_pane.h"
#include "player/video_view.h"

OnScreen::Banner PlayerPane::bannerNow() const {
    OnScreen::Banner banner;
    banner.number = m_number;
    banner.name = m_name.isEmpty() ? m_title : m_name;
    banner.logo = m_video->backdropPicture();
    banner.now = m_onNow;
    banner.next = m_onNext;
    banner.restartable = m_restartable && !m_onNow.title.isEmpty();
    return banner;
}

void PlayerPane::showBanner() {
    if (m_url.isEmpty()) return;
    m_onScreen.showBanner(bannerNow(), QDateTime::currentSecsSinceEpoch());
    showOnScreen(kBannerMs);
}

void PlayerPane::refreshBanner() {
    // What came after the banner went up (the logo, the guide, the number) joins it; its time
    // runs on as it was.
    if (m_onScreen.kind() != OnScreen::Kind::Banner) return;
    m_onScreen.showBanner(bannerNow(), QDateTime::currentSecsSinceEpoch());
    m_video->setOnScreen(m_onScreen);
}

void PlayerPane::setChannelNumber(const QString& number) {
    if (number == m_number) return;
    m_number = number;
    refreshBanner();
}

void PlayerPane::setRestartable(bool restartable) {
    if (restartable == m_restartable) return;
    m_restartable = restartable;
    refreshBanner();
}

bool PlayerPane::onRestartButton(const QPoint& at) const {
    return m_onScreen.restartPlace(m_video->widget()->rect()).contains(at);
}

void PlayerPane::showOnScreen(int ms) {
    m_video->setOnScreen(m_onScreen);
    m_onScreenTimer.start(ms);
}

void PlayerPane::clearOnScreen() {
    m_onScreenTimer.stop();
    m_onScreen.clear();
    m_video->setOnScreen(m_onScreen);
}
