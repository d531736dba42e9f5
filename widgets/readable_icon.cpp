#include "widgets/readable_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>

QIcon ReadableStandardIcon(const QWidget* widget, QStyle::StandardPixmap which) {
    QIcon icon = widget->style()->standardIcon(which, nullptr, widget);
    const QColor text = widget->palette().color(QPalette::ButtonText);
    if (text.lightness() < 128) return icon;  // a light palette: as the style draws it
    QIcon out;
    for (const int side : {16, 24, 32}) {
        QPixmap pixmap = icon.pixmap(QSize(side, side));
        if (pixmap.isNull()) continue;
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);  // the glyph's shape, in the text colour
        painter.fillRect(pixmap.rect(), text);
        painter.end();
        out.addPixmap(pixmap);
    }
    return out.isNull() ? icon : out;
}
