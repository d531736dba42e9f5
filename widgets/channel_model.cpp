#include "widgets/channel_model.h"

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <limits>

#include "base/windows1252.h"
#include "catalogue/channel_lines.h"
#include "localisation/code_page_text.h"
#include "localisation/unicode_case.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"

ChannelModel::ChannelModel(QObject* parent) : QAbstractTableModel(parent) {}

int ChannelModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ChannelModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size() + m_extra.size());
}

ListRow ListRow::FromFields(const catalogue::LineFields& f, bool withUrl) {
    ListRow row{
        cp1252::ToUtf8(f.name), cp1252::ToUtf8(f.address), cp1252::ToUtf8(f.category), cp1252::ToUtf8(f.language), {}};
    if (withUrl) row.url = row.address;
    return row;
}

catalogue::Channel ListRow::designedFields(bool editor) const {
    return {localisation::NearestInCodePage(name), localisation::NearestInCodePage(editor ? url : address),
            localisation::NearestInCodePage(category), localisation::NearestInCodePage(language)};
}

bool ListRow::keepFullTexts(catalogue::ChannelExtras& extras) const {
    std::string fullName = localisation::CodePageHolds(name) ? std::string() : name;
    std::string fullLanguage = localisation::CodePageHolds(language) ? std::string() : language;
    if (fullName == extras.name && fullLanguage == extras.language) return false;
    extras.name = std::move(fullName);
    extras.language = std::move(fullLanguage);
    return true;
}

void ListRow::takeFullTexts(const catalogue::ChannelExtras& extras) {
    // The line was written from the full text when it holds the nearest of it; a line edited
    // since (by hand, or another favourite of the same address) keeps its own.
    auto take = [](std::string& field, const std::string& full) {
        if (!full.empty() && localisation::NearestInCodePage(full) == localisation::NearestInCodePage(field))
            field = full;
    };
    take(name, extras.name);
    take(language, extras.language);
}

std::vector<ListRow> ListRow::FromCatalogue(std::string_view encodedText, bool withUrl,
                                            std::vector<std::size_t>* damagedLines) {
    std::vector<ListRow> rows;
    // Room for every line at once: growing would hold the old and the new array together.
    // Pages of it that no row uses are never touched.
    rows.reserve(catalogue::CountLines(encodedText));
    catalogue::ForEachChannelLine(
        encodedText, [&](const catalogue::LineFields& f) { rows.push_back(FromFields(f, withUrl)); },
        [&](std::size_t line) {
            if (damagedLines) damagedLines->push_back(line);
        });
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

namespace {

// A small round mark, drawn once for each kind: green alive, red dead, grey not checked.
QIcon MarkIcon(StreamMark::Kind kind) {
    static QIcon icons[3];  // made on the GUI thread, the only one that draws lists
    QIcon& icon = icons[static_cast<int>(kind)];
    if (icon.isNull()) {
        static const QColor colours[] = {QColor(0x2E, 0xA0, 0x43), QColor(0xD0, 0x30, 0x30), QColor(0x90, 0x90, 0x90)};
        QPixmap dot(10, 10);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colours[static_cast<int>(kind)]);
        painter.drawEllipse(QRectF(0.5, 0.5, 9, 9));
        painter.end();
        icon = QIcon(dot);
    }
    return icon;
}

}  // namespace

QVariant ChannelModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const ListRow& row = m_rows[static_cast<std::size_t>(index.row())];
    if (index.column() >= m_headers.size()) {
        const ExtraColumn& extra = m_extra[static_cast<std::size_t>(index.column() - m_headers.size())];
        if (role == Qt::DisplayRole && extra.text) return extra.text(row);
        if (role == Qt::TextAlignmentRole && extra.sort == ExtraColumn::Sort::Number)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    if (index.column() > 3) return {};
    if ((role == kSecondLineRole || role == kProgressRole) && index.column() == 0 && m_secondLine) {
        const SecondLine line = m_secondLine(row);
        return role == kSecondLineRole ? QVariant(line.text) : QVariant(line.run);
    }
    if (role == Qt::DecorationRole && index.column() == 0) {
        if (const StreamMark* found = mark(index.row())) return MarkIcon(found->kind);
        if (m_icon)
            if (QIcon logo = m_icon(row); !logo.isNull()) return logo;
        return {};
    }
    if (role == Qt::ToolTipRole) {
        if (const StreamMark* found = mark(index.row()); found && index.column() == 0) {
            static const char* const kWords[] = {"MSG_MARKALIVE", "MSG_MARKDEAD", "MSG_MARKUNKNOWN"};
            return Msg(kWords[static_cast<int>(found->kind)]).arg(QString::fromUtf8(found->reason));
        }
        if (m_toolTip) {
            const QString tip = m_toolTip(row);
            if (!tip.isEmpty()) return tip;
        }
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const std::string& text = ColumnText(row, index.column());
    return Utf8ToQt(text);
}

void ChannelModel::setMark(const std::string& address, StreamMark mark) {
    m_marks[address] = std::move(mark);
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole, Qt::ToolTipRole});
}

void ChannelModel::clearMark(const std::string& address, StreamMark::Kind kind) {
    const auto found = m_marks.find(address);
    if (found == m_marks.end() || found->second.kind != kind) return;
    m_marks.erase(found);
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole, Qt::ToolTipRole});
}

void ChannelModel::refreshIcons() {
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

void ChannelModel::clearMarks() {
    m_marks.clear();
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole, Qt::ToolTipRole});
}

const StreamMark* ChannelModel::mark(int row) const {
    if (m_marks.empty() || row < 0 || row >= rowCount()) return nullptr;
    const auto found = m_marks.find(m_rows[static_cast<std::size_t>(row)].checkedAddress());
    return found == m_marks.end() ? nullptr : &found->second;
}

QVariant ChannelModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0) return {};
    if (section < m_headers.size()) return m_headers[section];
    if (static_cast<std::size_t>(section - m_headers.size()) < m_extra.size())
        return m_extra[static_cast<std::size_t>(section - m_headers.size())].header;
    return {};
}

bool ChannelModel::setExtraColumns(std::vector<ExtraColumn> columns) {
    const bool same =
        std::equal(m_extra.begin(), m_extra.end(), columns.begin(), columns.end(),
                   [](const ExtraColumn& a, const ExtraColumn& b) { return a.header == b.header && a.sort == b.sort; });
    if (same) {  // the same columns, told anew what they show
        m_extra = std::move(columns);
        refreshExtraColumns();
        return true;
    }
    const int first = static_cast<int>(m_headers.size());
    if (m_sortColumn >= first) m_sortColumn = 0;  // the column sorted by goes: by name instead
    if (!m_extra.empty()) {
        beginRemoveColumns({}, first, first + static_cast<int>(m_extra.size()) - 1);
        m_extra.clear();
        endRemoveColumns();
    }
    if (columns.empty()) return false;
    beginInsertColumns({}, first, first + static_cast<int>(columns.size()) - 1);
    m_extra = std::move(columns);
    endInsertColumns();
    return false;
}

void ChannelModel::refreshExtraColumns() {
    if (rowCount() == 0) return;
    if (!m_extra.empty())
        emit dataChanged(index(0, static_cast<int>(m_headers.size())), index(rowCount() - 1, columnCount() - 1),
                         {Qt::DisplayRole});
    if (m_secondLine) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {kSecondLineRole, kProgressRole});
}

void ChannelModel::setSecondLine(std::function<SecondLine(const ListRow&)> source) {
    m_secondLine = std::move(source);
    refreshExtraColumns();
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

int ChannelModel::appendRow(ListRow row) {
    auto place = m_rows.end();
    if (isSorted())  // after its equals, so equal rows keep the order they came in
        place = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                 [this](const ListRow& a, const ListRow& b) { return before(a, b); });
    const int at = static_cast<int>(place - m_rows.begin());
    beginInsertRows({}, at, at);
    m_rows.insert(place, std::move(row));
    endInsertRows();
    return at;
}

void ChannelModel::appendRows(std::vector<ListRow> rows) {
    if (rows.empty()) return;
    if (m_rows.empty()) {
        beginResetModel();
        m_rows = std::move(rows);
        sortRows();
        endResetModel();
        return;
    }
    // Added at the end, then sorted in: the rows already listed keep their selection.
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
    sortRowsKeepingPlaces();
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

void ChannelModel::removeRowsAt(const std::vector<int>& ascending) {
    // From the last run of neighbouring rows to the first, so the numbers before stay true.
    auto end = ascending.end();
    while (end != ascending.begin()) {
        auto first = end - 1;
        while (first != ascending.begin() && *(first - 1) == *first - 1) --first;
        const int from = *first, to = *(end - 1);
        end = first;
        if (from < 0 || to >= rowCount()) continue;
        beginRemoveRows({}, from, to);
        m_rows.erase(m_rows.begin() + from, m_rows.begin() + to + 1);
        endRemoveRows();
    }
}

int ChannelModel::insertRow(int index, ListRow row) {
    if (isSorted() || index < 0 || index > rowCount()) return appendRow(std::move(row));
    beginInsertRows({}, index, index);
    m_rows.insert(m_rows.begin() + index, std::move(row));
    endInsertRows();
    return index;
}

namespace {
// A number column's key: its leading number; blanks and words after every number.
double NumberKey(const QString& text) {
    bool ok = false;
    const double n = text.trimmed().toDouble(&ok);
    return ok ? n : std::numeric_limits<double>::infinity();
}
}  // namespace

const ExtraColumn* ChannelModel::sortedExtra() const {
    if (m_sortColumn < m_headers.size()) return nullptr;
    const auto at = static_cast<std::size_t>(m_sortColumn - m_headers.size());
    return at < m_extra.size() && m_extra[at].text ? &m_extra[at] : nullptr;
}

bool ChannelModel::before(const ListRow& a, const ListRow& b) const {
    int c = 0;
    if (const ExtraColumn* extra = sortedExtra()) {
        if (extra->sort == ExtraColumn::Sort::Number) {
            const double x = NumberKey(extra->text(a)), y = NumberKey(extra->text(b));
            c = x < y ? -1 : (y < x ? 1 : 0);
        } else {
            c = extra->text(a).compare(extra->text(b), Qt::CaseInsensitive);
        }
    } else {
        c = localisation::CompareNoCaseUtf8(ColumnText(a, m_sortColumn), ColumnText(b, m_sortColumn));
    }
    return m_descending ? c > 0 : c < 0;
}

std::vector<int> ChannelModel::sortedOrder() const {
    const std::size_t n = m_rows.size();
    std::vector<int> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<int>(i);
    const ExtraColumn* extra = sortedExtra();
    if (!extra) {
        std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
            return before(m_rows[static_cast<std::size_t>(a)], m_rows[static_cast<std::size_t>(b)]);
        });
        return order;
    }
    // The window's text of a row is asked once a row, not at every comparison.
    const bool numbers = extra->sort == ExtraColumn::Sort::Number;
    std::vector<QString> texts(numbers ? 0 : n);
    std::vector<double> keys(numbers ? n : 0);
    for (std::size_t i = 0; i < n; ++i) {
        if (numbers)
            keys[i] = NumberKey(extra->text(m_rows[i]));
        else
            texts[i] = extra->text(m_rows[i]);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const auto x = static_cast<std::size_t>(a), y = static_cast<std::size_t>(b);
        const int c = numbers ? (keys[x] < keys[y] ? -1 : (keys[y] < keys[x] ? 1 : 0))
                              : texts[x].compare(texts[y], Qt::CaseInsensitive);
        return m_descending ? c > 0 : c < 0;
    });
    return order;
}

void ChannelModel::sortRows() {
    if (!isSorted()) return;
    if (!sortedExtra()) {
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [this](const ListRow& a, const ListRow& b) { return before(a, b); });
        return;
    }
    const std::vector<int> order = sortedOrder();
    std::vector<ListRow> sorted;
    sorted.reserve(m_rows.size());
    for (const int i : order) sorted.push_back(std::move(m_rows[static_cast<std::size_t>(i)]));
    m_rows = std::move(sorted);
}

void ChannelModel::sortRowsKeepingPlaces() {
    if (!isSorted()) return;
    const std::size_t n = m_rows.size();
    // order[k]: the row that goes to place k.
    const std::vector<int> order = sortedOrder();
    bool moves = false;
    for (std::size_t k = 0; k < n && !moves; ++k) moves = order[k] != static_cast<int>(k);
    if (!moves) return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> placeOf(n);
    for (std::size_t k = 0; k < n; ++k) placeOf[static_cast<std::size_t>(order[k])] = static_cast<int>(k);
    // The permutation applied in place, one cycle at a time: no second copy of the rows.
    std::vector<bool> placed(n, false);
    for (std::size_t k = 0; k < n; ++k) {
        if (placed[k] || order[k] == static_cast<int>(k)) continue;
        ListRow held = std::move(m_rows[k]);
        std::size_t j = k;
        for (;;) {
            placed[j] = true;
            const auto from = static_cast<std::size_t>(order[j]);
            if (from == k) {
                m_rows[j] = std::move(held);
                break;
            }
            m_rows[j] = std::move(m_rows[from]);
            j = from;
        }
    }
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from)
        to << this->index(placeOf[static_cast<std::size_t>(index.row())], index.column());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ChannelModel::setSortOrder(int column, bool descending) {
    if (column < 0 || column >= columnCount()) return;
    if (column >= m_headers.size() &&
        m_extra[static_cast<std::size_t>(column - m_headers.size())].sort == ExtraColumn::Sort::None)
        return;
    m_sortColumn = column;
    m_descending = descending;
    sortRowsKeepingPlaces();
}
