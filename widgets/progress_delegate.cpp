#include "widgets/progress_delegate.h"

#include <QPainter>
#include <algorithm>

#include "widgets/channel_model.h"

void ProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant share = index.data(kProgressRole);
    if (!share.isValid()) return;
    const double run = share.toDouble();
    if (run < 0) return;
    // Two pixels high, inset from the text's sides; the track faint, the part run in the
    // highlight colour (the text colour on a selected row, where the highlight is the ground).
    const QRect cell = option.rect.adjusted(4, 0, -4, -2);
    const QRect track(cell.left(), cell.bottom() - 1, cell.width(), 2);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor ink = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight);
    QColor faint = ink;
    faint.setAlphaF(0.25f);
    painter->save();
    painter->fillRect(track, faint);
    painter->fillRect(QRect(track.left(), track.top(), static_cast<int>(track.width() * std::clamp(run, 0.0, 1.0)), 2),
                      ink);
    painter->restore();
}
