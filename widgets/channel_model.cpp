#include "widgets/channel_model.h"

#include <algorithm>

#include "base/text.h"
#include "catalogue/channel_lines.h"
#include "widgets/qt_text.h"

ChannelModel::ChannelModel(QObject* parent) : QAbstractTableModel(parent) {}

int ChannelModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ChannelModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

ListRow ListRow::FromChannel(catalogue::Channel c, bool withUrl) {
    ListRow row{std::move(c.name), std::move(c.address), std::move(c.category), std::move(c.language), {}};
    if (withUrl) row.url = row.address;
    return row;
}

std::vector<ListRow> ListRow::FromChannels(std::vector<catalogue::Channel> channels, bool withUrl) {
    std::vector<ListRow> rows;
    rows.reserve(channels.size());
    for (catalogue::Channel& c : channels) rows.push_back(FromChannel(std::move(c), withUrl));
    return rows;
}

ListRow ListRow::FromFields(const catalogue::LineFields& f, bool withUrl) {
    ListRow row{std::string(f.name), std::string(f.address), std::string(f.category), std::string(f.language), {}};
    if (withUrl) row.url = row.address;
    return row;
}

std::vector<ListRow> ListRow::FromCatalogue(std::string_view encodedText, bool withUrl) {
    std::vector<ListRow> rows;
    // Room for every line at once: growing would hold the old and the new array together.
    // Pages of it that no row uses are never touched.
    rows.reserve(catalogue::CountLines(encodedText));
    catalogue::ForEachChannelLine(encodedText,
                                  [&](const catalogue::LineFields& f) { rows.push_back(FromFields(f, withUrl)); });
    return rows;
}

const std::string& ColumnText(const ListRow& row, int column) {
    switch (static_cast<ChannelColumn>(column)) {
        case ChannelColumn::Category: return row.category;
        case ChannelColumn::Language: return row.language;
        case ChannelColumn::Url: return row.url;
        case ChannelColumn::Name: break;
    }
    return row.name;
}

const std::string& ChannelModel::cell(int row, int column) const {
    return ColumnText(m_rows[static_cast<std::size_t>(row)], column);
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

void ChannelModel::setHeader(int section, const QString& header) {
    if (section < 0 || section >= m_headers.size()) return;
    m_headers[section] = header;
    emit headerDataChanged(Qt::Horizontal, section, section);
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
    sortRows();
    endResetModel();
}

void ChannelModel::appendRow(ListRow row) {
    auto place = m_rows.end();
    if (isSorted())  // after its equals, so equal rows keep the order they came in
        place = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                 [this](const ListRow& a, const ListRow& b) { return before(a, b); });
    const int at = static_cast<int>(place - m_rows.begin());
    beginInsertRows({}, at, at);
    m_rows.insert(place, std::move(row));
    endInsertRows();
}

void ChannelModel::appendRows(std::vector<ListRow> rows) {
    if (rows.empty()) return;
    beginResetModel();
    if (m_rows.empty()) {
        m_rows = std::move(rows);
    } else {
        m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    }
    sortRows();
    endResetModel();
}

void ChannelModel::setRow(int index, ListRow row) {
    if (index < 0 || index >= rowCount()) return;
    m_rows[static_cast<std::size_t>(index)] = std::move(row);
    emit dataChanged(this->index(index, 0), this->index(index, columnCount() - 1));
}

void ChannelModel::removeRow(int index) {
    if (index < 0 || index >= rowCount()) return;
    beginRemoveRows({}, index, index);
    m_rows.erase(m_rows.begin() + index);
    endRemoveRows();
}

bool ChannelModel::before(const ListRow& a, const ListRow& b) const {
    const int c = text::CompareNoCase(ColumnText(a, m_sortColumn), ColumnText(b, m_sortColumn));
    return m_descending ? c > 0 : c < 0;
}

void ChannelModel::sortRows() {
    if (!isSorted()) return;
    std::stable_sort(m_rows.begin(), m_rows.end(), [this](const ListRow& a, const ListRow& b) { return before(a, b); });
}

void ChannelModel::setSortOrder(int column, bool descending) {
    if (column < 0 || column > 3) return;
    beginResetModel();
    m_sortColumn = column;
    m_descending = descending;
    sortRows();
    endResetModel();
}
