#pragma once
// Draws a row's name with a second line under it (the model's kSecondLineRole: the programme on
// now) and a thin bar along the foot for how far that has run (kProgressRole, 0..1). Every row
// is as tall as two lines, so that the list keeps one row height for 100,000 rows.
#include <QStyledItemDelegate>

class SecondLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
