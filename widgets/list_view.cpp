#include "widgets/list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

#include "widgets/twips.h"

ListView::ListView(QWidget* parent) : QTreeView(parent), m_model(new ChannelModel(this)) {
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // constant row height: 100,000 rows lay out at once
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);  // `entered` tells of the row under the pointer
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) { emit columnClicked(section + 1); });
}

void ListView::keyPressEvent(QKeyEvent* event) {
    const QModelIndex before = currentIndex();
    QTreeView::keyPressEvent(event);
    if (currentIndex().isValid() && currentIndex().row() != before.row()) emit movedByKey();
}

void ListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    const QModelIndex at = indexAt(event->position().toPoint());
    m_pressedRow = -1;
    if (event->button() != Qt::LeftButton || event->modifiers() != Qt::NoModifier || !at.isValid()) return;
    if (selectedIndex() != at.row()) return;  // the press did not select it (a disabled row)
    m_pressedRow = at.row();
    emit rowPressed(m_pressedRow);
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
    const int pressed = m_pressedRow;
    m_pressedRow = -1;
    QTreeView::mouseReleaseEvent(event);
    if (pressed < 0 || event->button() != Qt::LeftButton) return;
    if (indexAt(event->position().toPoint()).row() != pressed) emit pressAbandoned(pressed);
}

void ListView::setSorted(bool sorted) {
    m_sorted = sorted;
    applySort();
}

void ListView::setSortKey(int column) {
    m_sortKey = column;
    applySort();
}

void ListView::setSortOrder(int order) {
    m_sortOrder = order == 0 ? 0 : 1;
    applySort();
}

void ListView::setSortSettings(bool sorted, int column, int order) {
    m_sorted = sorted;
    m_sortKey = column;
    m_sortOrder = order == 0 ? 0 : 1;
    applySort();
}

void ListView::applySort() {
    if (!m_sorted) return;
    m_model->setSortOrder(m_sortKey, m_sortOrder == 1);
    if (currentIndex().isValid()) scrollTo(currentIndex());  // the selected row stays in view
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(m_sortKey, m_sortOrder == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void ListView::addColumn(const QString& header, int widthTwips) {
    m_model->addColumn(header);
    setColumnWidth(m_model->columnCount() - 1, twips::ToPixels(widthTwips));
}

int ListView::selectedIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ListView::selectRow(int index) {
    if (index < 0 || index >= m_model->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex at = m_model->index(index, 0);
    selectionModel()->select(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    setCurrentIndex(at);
}
