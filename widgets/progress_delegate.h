#pragma once
// Draws a list cell as usual, with a thin bar along its foot for the share of a programme that
// has run (the model's kProgressRole, 0..1; nothing when it has none).
#include <QStyledItemDelegate>

class ProgressDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
