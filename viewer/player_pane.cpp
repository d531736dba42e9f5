#include "viewer/player_pane.h"

#include <QPalette>

PlayerPane::PlayerPane(QWidget* parent) : QFrame(parent) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setFrameShape(QFrame::StyledPanel);
}

void PlayerPane::setUrl(const QString& url) {
    m_url = url;
    // The pane has no playback engine attached yet: an address is remembered, nothing plays.
    setState(QStringLiteral("idle"));
}

void PlayerPane::stop() { setState(m_url.isEmpty() ? QStringLiteral("idle") : QStringLiteral("stopped")); }

void PlayerPane::close() {
    m_url.clear();
    setState(QStringLiteral("idle"));
}

void PlayerPane::setState(const QString& state) {
    if (state == m_state) return;
    m_state = state;
    emit playStateChanged(state);
}
