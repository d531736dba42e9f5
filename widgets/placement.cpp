#include "widgets/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace placement {

void CentreOnScreen(QWidget* window) {
    if (!window) return;
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect free = screen->availableGeometry();
    // Before the first show the window manager's frame is not known yet: a title bar and a thin
    // border are counted (for a window that has them), so that the title bar lands on the screen.
    const QRect client = window->geometry(), outer = window->frameGeometry();
    QMargins border(client.left() - outer.left(), client.top() - outer.top(), outer.right() - client.right(),
                    outer.bottom() - client.bottom());
    if (border.isNull() && !window->isVisible() && !window->windowFlags().testFlag(Qt::FramelessWindowHint)) {
        const int edge = 4;
        border = QMargins(edge, window->style()->pixelMetric(QStyle::PM_TitleBarHeight) + edge, edge, edge);
    }
    // A window bigger than the free area (a small screen, a large scale factor) shrinks to fit
    // when it may be resized: the designed size is the size when it fits.
    const QSize room(free.width() - border.left() - border.right(), free.height() - border.top() - border.bottom());
    const QSize size = window->size();
    if (size.width() > room.width() || size.height() > room.height()) {
        const QSize fitted = size.boundedTo(room).expandedTo(window->minimumSize()).boundedTo(window->maximumSize());
        if (fitted != size) window->resize(fitted);
    }
    QRect frame = QRect(QPoint(), window->size()).marginsAdded(border);
    frame.moveCenter(free.center());
    // What cannot shrink keeps its title bar on screen: the top left corner comes first.
    frame.moveLeft(std::max(frame.left(), free.left()));
    frame.moveTop(std::max(frame.top(), free.top()));
    window->move(frame.topLeft());
}

void BringForward(QWidget* window) {
    if (!window) return;
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace placement
