#include "widgets/spaced_label.h"

#include <QFontMetricsF>
#include <QPainter>

#include "widgets/twips.h"

SpacedLabel::SpacedLabel(const QString& text, int spaceTwips, QWidget* parent)
    : QLabel(text, parent), m_spaceTwips(spaceTwips) {}

void SpacedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetricsF metrics(font());
    const double space = twips::PixelsPerTwip() * m_spaceTwips;
    const double baseline = metrics.ascent();
    double x = 0;
    QString word;
    const QString caption = text();
    for (int i = 0; i <= caption.size(); ++i) {
        if (i < caption.size() && caption[i] != QLatin1Char(' ')) {
            word += caption[i];
            continue;
        }
        if (!word.isEmpty()) {
            painter.drawText(QPointF(x, baseline), word);
            x += metrics.horizontalAdvance(word);
            word.clear();
        }
        if (i < caption.size()) x += space;
    }
}
