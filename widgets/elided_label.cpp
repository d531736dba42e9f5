#include "widgets/elided_label.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

QString ElidedLabel::shownText() const {
    // A line break would be drawn as a second line the bar has no room for.
    QString line = text();
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const {
    // Room for a letter and the "…" at least; the height of one line, as a plain label's.
    const int narrow = fontMetrics().horizontalAdvance(QStringLiteral("M…")) + contentsMargins().left() +
                       contentsMargins().right() + 2 * margin();
    return {narrow, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
}
