#pragma once
// The rows of a channel list: text (name), tag (stream address) and up to three sub-items
// (category, language or type, URL), all kept as the catalogue's Windows-1252 bytes and
// turned into display text only for the rows that are drawn.
#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <string>
#include <vector>

struct ListRow {
    std::string text;
    std::string tag;
    std::array<std::string, 3> subItems;
};

class ChannelModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ChannelModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void addColumn(const QString& header);
    void setHeader(int section, const QString& header);  // 0-based
    const QStringList& headers() const { return m_headers; }

    void clear();
    void setRows(std::vector<ListRow> rows);
    void appendRow(ListRow row);
    const ListRow& row(int index) const { return m_rows[static_cast<std::size_t>(index)]; }
    const std::vector<ListRow>& rows() const { return m_rows; }

    // The text of one cell: column 0 is the row's text, column k its sub-item k.
    const std::string& cell(int row, int column) const;

    void removeRow(int index);
    void appendRows(std::vector<ListRow> rows);  // many at once; sorted lists stay sorted
    void setRow(int index, ListRow row);         // the row keeps its place

    // Keeps the rows ordered by one column (letter case ignored) from now on: the rows there
    // are sorted now, and rows set or appended later take their sorted place.
    void setSortOrder(int column, bool descending);
    bool isSorted() const { return m_sortColumn >= 0; }

private:
    bool before(const ListRow& a, const ListRow& b) const;
    void sortRows();

    int m_sortColumn = -1;
    bool m_descending = false;
    QStringList m_headers;
    std::vector<ListRow> m_rows;
};
