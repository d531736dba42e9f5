#include "widgets/second_line_delegate.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>

#include "widgets/channel_model.h"

namespace {
QFont SmallFont(const QFont& font) {
    QFont small = font;
    if (small.pointSizeF() > 0)
        small.setPointSizeF(small.pointSizeF() * 0.9);
    else
        small.setPixelSize(std::max(8, small.pixelSize() * 9 / 10));
    return small;
}
constexpr int kBar = 2;  // the bar's height, and the room kept for it
}  // namespace

QSize SecondLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(size.height() + QFontMetrics(SmallFont(option.font)).height() + kBar + 1);
    return size;
}

void SecondLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QString text = index.data(kSecondLineRole).toString();
    const double run = index.data(kProgressRole).isValid() ? index.data(kProgressRole).toDouble() : -1;
    if (text.isEmpty() && run < 0) {
        // Nothing on now: the name stands in the middle of the row, level with the other columns.
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
        return;
    }
    // The ground of the whole row's cell (the selection's colour too), then the name in its top line.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &item, painter, widget);
    const QFont small = SmallFont(option.font);
    const int lower = QFontMetrics(small).height() + kBar + 1;
    QStyleOptionViewItem top = item;
    top.rect.setBottom(option.rect.bottom() - lower);
    style->drawControl(QStyle::CE_ItemViewItem, &top, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    // The second line starts under the name's text, past its icon.
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &top, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;  // as the name's
    const int left = (textRect.isValid() ? textRect.left() : option.rect.left()) + margin;
    const QRect line(left, option.rect.bottom() - lower + 1, option.rect.right() - left - 4, lower - kBar - 1);
    painter->save();
    QColor ink = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    ink.setAlphaF(0.7f);
    painter->setPen(ink);
    painter->setFont(small);
    painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(small).elidedText(text, Qt::ElideRight, line.width()));
    if (run >= 0) {
        const QRect track(line.left(), option.rect.bottom() - kBar, line.width(), kBar);
        QColor bar = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight);
        QColor faint = bar;
        faint.setAlphaF(0.25f);
        painter->fillRect(track, faint);
        painter->fillRect(
            QRect(track.left(), track.top(), static_cast<int>(track.width() * std::clamp(run, 0.0, 1.0)), kBar), bar);
    }
    painter->restore();
}
