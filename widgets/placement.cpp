#include "widgets/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace placement {

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!window || !screen) return;
    // Before the first show the frame is the client size; afterwards it includes the border.
    QRect frame = window->frameGeometry();
    if (frame.isEmpty()) frame = QRect(QPoint(), window->size());
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void BringForward(QWidget* window) {
    if (!window) return;
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace placement
