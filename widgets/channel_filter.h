#pragma once
// The rows of a channel list that match what the user typed into the list's filter line: a
// flat proxy over the list's ChannelModel. With no pattern it passes every row through as it
// is; with one it holds the matching rows' numbers only (in the list's order), so narrowing
// 100,000 rows is one pass over their names' search keys, kept between keystrokes.
#include <QAbstractProxyModel>
#include <QPersistentModelIndex>
#include <string>
#include <vector>

class ChannelModel;

class ChannelFilter : public QAbstractProxyModel {
    Q_OBJECT
public:
    explicit ChannelFilter(ChannelModel* rows, QObject* parent = nullptr);

    // Rows whose name holds `pattern`, letter case and accents ignored; "" shows every row.
    void setPattern(const QString& pattern);
    QString pattern() const { return m_pattern; }
    bool narrowed() const { return !m_key.empty(); }

    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // A flat list: asked of every row when the view lays out, so answered here directly.
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A list row (the model's number) shown at a place of the filtered list, and back (-1 for
    // a row the filter hides).
    int sourceRow(int shownRow) const;
    int shownRow(int sourceRow) const;

private:
    // Every change of the rows below is one layout change here: the selection and the current
    // row follow their rows through it, or go when their row is gone or filtered out.
    void beginChange();
    void endChange();
    void refilter();

    ChannelModel* m_rows;
    QString m_pattern;
    std::string m_key;                 // the pattern's search key
    std::vector<std::string> m_names;  // each row's name's search key, made at the first filter
    bool m_namesStale = true;
    std::vector<int> m_shown;  // with a pattern: the matching rows, ascending
    int m_changing = 0;
    QModelIndexList m_heldProxy;
    QList<QPersistentModelIndex> m_heldSource;
};
