#include "widgets/handler_guard.h"

HandlerGuard::HandlerGuard(QWidget* window)
    : m_window(window),
      m_deletesOnClose(window->testAttribute(Qt::WA_DeleteOnClose)),
      m_wasVisible(window->isVisible()) {
    window->setAttribute(Qt::WA_DeleteOnClose, false);
}

HandlerGuard::~HandlerGuard() {
    if (!m_window) return;
    m_window->setAttribute(Qt::WA_DeleteOnClose, m_deletesOnClose);
    if (m_deletesOnClose && closed()) m_window->deleteLater();
}

bool HandlerGuard::closed() const { return !m_window || (m_wasVisible && !m_window->isVisible()); }
