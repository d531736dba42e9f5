#include "viewer/channel_model.h"

#include "viewer/qt_text.h"

ChannelModel::ChannelModel(QObject* parent) : QAbstractTableModel(parent) {}

int ChannelModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ChannelModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

const std::string& ChannelModel::cell(int row, int column) const {
    const ListRow& r = m_rows[static_cast<std::size_t>(row)];
    return column == 0 ? r.text : r.subItems[static_cast<std::size_t>(column - 1)];
}

QVariant ChannelModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    if (index.column() > 3) return {};
    return ToQt(cell(index.row(), index.column()));
}

QVariant ChannelModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= m_headers.size()) return {};
    return m_headers[section];
}

void ChannelModel::addColumn(const QString& header) {
    const int at = static_cast<int>(m_headers.size());
    beginInsertColumns({}, at, at);
    m_headers.push_back(header);
    endInsertColumns();
}

void ChannelModel::clear() {
    if (m_rows.empty()) return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ChannelModel::setRows(std::vector<ListRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void ChannelModel::appendRow(ListRow row) {
    const int at = rowCount();
    beginInsertRows({}, at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
}
