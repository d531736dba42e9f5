#include "widgets/channel_filter.h"

#include <algorithm>

#include "base/text.h"
#include "localisation/search_key.h"
#include "widgets/channel_model.h"

ChannelFilter::ChannelFilter(ChannelModel* rows, QObject* parent) : QAbstractProxyModel(parent), m_rows(rows) {
    QAbstractProxyModel::setSourceModel(rows);
    const auto stale = [this] { m_namesStale = true; };
    connect(rows, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(rows, &QAbstractItemModel::modelReset, this, [this, stale] {
        stale();
        refilter();
        endResetModel();
    });
    for (auto about : {&QAbstractItemModel::rowsAboutToBeInserted, &QAbstractItemModel::rowsAboutToBeRemoved})
        connect(rows, about, this, [this] { beginChange(); });
    for (auto done : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(rows, done, this, [this, stale] {
            stale();
            endChange();
        });
    connect(rows, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { beginChange(); });
    connect(rows, &QAbstractItemModel::layoutChanged, this, [this, stale] {
        stale();
        endChange();
    });
    connect(rows, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) m_namesStale = true;
                if (!narrowed()) {
                    emit dataChanged(index(from.row(), from.column()), index(to.row(), to.column()), roles);
                    return;
                }
                // The shown rows between the two, whatever their places.
                const auto first = std::lower_bound(m_shown.begin(), m_shown.end(), from.row());
                const auto last = std::upper_bound(m_shown.begin(), m_shown.end(), to.row());
                if (first == last) return;
                emit dataChanged(index(static_cast<int>(first - m_shown.begin()), from.column()),
                                 index(static_cast<int>(last - m_shown.begin()) - 1, to.column()), roles);
            });
    connect(rows, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
    connect(rows, &QAbstractItemModel::columnsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) { beginInsertColumns({}, first, last); });
    connect(rows, &QAbstractItemModel::columnsInserted, this, [this] { endInsertColumns(); });
    connect(rows, &QAbstractItemModel::columnsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { beginRemoveColumns({}, first, last); });
    connect(rows, &QAbstractItemModel::columnsRemoved, this, [this] { endRemoveColumns(); });
}

void ChannelFilter::setPattern(const QString& pattern) {
    if (pattern == m_pattern) return;
    beginChange();
    m_pattern = pattern;
    m_key = localisation::SearchKey(pattern.toStdString());
    endChange();
}

void ChannelFilter::refilter() {
    m_shown.clear();
    if (m_key.empty()) {
        m_names.clear();  // the keys are made again at the next filter: no memory while unused
        m_names.shrink_to_fit();
        m_namesStale = true;
        return;
    }
    const std::vector<ListRow>& rows = m_rows->rows();
    if (m_namesStale || m_names.size() != rows.size()) {
        m_names.resize(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            m_names[i].clear();
            localisation::AppendSearchKey(m_names[i], rows[i].name);
        }
        m_namesStale = false;
    }
    for (std::size_t i = 0; i < m_names.size(); ++i)
        if (text::ContainsFolded(m_names[i], m_key)) m_shown.push_back(static_cast<int>(i));
}

void ChannelFilter::beginChange() {
    if (m_changing++ > 0) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_heldProxy = persistentIndexList();
    m_heldSource.clear();
    m_heldSource.reserve(m_heldProxy.size());
    for (const QModelIndex& at : std::as_const(m_heldProxy)) m_heldSource << QPersistentModelIndex(mapToSource(at));
}

void ChannelFilter::endChange() {
    if (m_changing == 0 || --m_changing > 0) return;
    refilter();
    QModelIndexList to;
    to.reserve(m_heldProxy.size());
    for (const QPersistentModelIndex& source : std::as_const(m_heldSource)) to << mapFromSource(source);
    changePersistentIndexList(m_heldProxy, to);
    m_heldProxy.clear();
    m_heldSource.clear();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ChannelFilter::sourceRow(int shownRow) const {
    if (shownRow < 0 || shownRow >= rowCount()) return -1;
    return narrowed() ? m_shown[static_cast<std::size_t>(shownRow)] : shownRow;
}

int ChannelFilter::shownRow(int sourceRow) const {
    if (sourceRow < 0 || sourceRow >= m_rows->rowCount()) return -1;
    if (!narrowed()) return sourceRow;
    const auto at = std::lower_bound(m_shown.begin(), m_shown.end(), sourceRow);
    return at != m_shown.end() && *at == sourceRow ? static_cast<int>(at - m_shown.begin()) : -1;
}

QModelIndex ChannelFilter::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid()) return {};
    const int row = sourceRow(proxyIndex.row());
    return row < 0 ? QModelIndex() : m_rows->index(row, proxyIndex.column());
}

QModelIndex ChannelFilter::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid()) return {};
    const int row = shownRow(sourceIndex.row());
    return row < 0 ? QModelIndex() : index(row, sourceIndex.column());
}

QModelIndex ChannelFilter::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return {};
    return createIndex(row, column);
}

QModelIndex ChannelFilter::parent(const QModelIndex&) const { return {}; }

int ChannelFilter::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return narrowed() ? static_cast<int>(m_shown.size()) : m_rows->rowCount();
}

int ChannelFilter::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows->columnCount(); }

QVariant ChannelFilter::headerData(int section, Qt::Orientation orientation, int role) const {
    return m_rows->headerData(section, orientation, role);
}

bool ChannelFilter::hasChildren(const QModelIndex& parent) const { return !parent.isValid() && rowCount() > 0; }

QVariant ChannelFilter::data(const QModelIndex& index, int role) const {
    const int row = index.isValid() ? sourceRow(index.row()) : -1;
    return row < 0 ? QVariant() : m_rows->data(m_rows->index(row, index.column()), role);
}

Qt::ItemFlags ChannelFilter::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}
