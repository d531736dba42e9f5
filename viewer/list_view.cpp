#include "viewer/list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include "viewer/twips.h"

ListView::ListView(QWidget* parent) : QTreeView(parent), m_model(new ChannelModel(this)) {
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // constant row height: 100,000 rows lay out at once
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
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
