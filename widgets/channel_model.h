#pragma once
// The rows of a channel list, kept as UTF-8 whatever their source (a catalogue's code-page
// bytes are turned into it as its lines are read) and turned into display text only for the
// rows that are drawn.
#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/catalogue_line.h"
#include "catalogue/channel_extras.h"

// One row: the channel's fields by name. `address` is what the row plays (never a column of
// its own); `url` is the catalogue editor's "URL" column, filled when the editor loads or
// changes a row and empty for rows a category button listed, as the editor has always worked.
struct ListRow {
    std::string name, address, category, language, url;

    // A row straight from a line's fields; `withUrl` also fills the editor's column.
    static ListRow FromFields(const catalogue::LineFields& fields, bool withUrl = false);
    // Every channel of coded catalogue text, made into rows without an intermediate copy;
    // `damagedLines` (when given) receives the numbers of the lines skipped as damaged.
    static std::vector<ListRow> FromCatalogue(std::string_view encodedText, bool withUrl = false,
                                              std::vector<std::size_t>* damagedLines = nullptr);
    // The row as a catalogue line plays it (address from `address`) ...
    catalogue::LineFields playedFields() const { return {name, address, category, language}; }
    // ... and as the catalogue editor saves it (address from the "URL" column).
    catalogue::LineFields editorFields() const { return {name, url, category, language}; }
    // The fields as a designed file (the catalogue, the favourites, Data.htm) keeps them: the
    // nearest the system's code page can hold; `editor` takes the address from "URL".
    catalogue::Channel designedFields(bool editor = false) const;
    // A favourite's full name and language beside its line: what the code page cannot hold
    // goes into `extras` (true when that changed them) ...
    bool keepFullTexts(catalogue::ChannelExtras& extras) const;
    // ... and comes back from them when the line holds the nearest of it.
    void takeFullTexts(const catalogue::ChannelExtras& extras);
    // The address a stream check asks: the editor's "URL" when the row has one, else what it plays.
    const std::string& checkedAddress() const { return url.empty() ? address : url; }
};

// What a stream check found at an address: shown as a coloured mark before the row's name,
// with the reason in its tooltip.
struct StreamMark {
    enum class Kind { Alive, Dead, Unknown };
    Kind kind = Kind::Unknown;
    std::string reason;
};

// The columns of a channel list, in the design's order: "Channel", "Category", "Type" and, in
// editing mode, "URL".
enum class ChannelColumn : int { Name = 0, Category = 1, Language = 2, Url = 3 };
// The field of a row that a column shows.
const std::string& ColumnText(const ListRow& row, int column);

// A column a list shows after the design's, filled by the window from what it knows of a row's
// channel (a playlist's channel numbers).
struct ExtraColumn {
    QString header;
    std::function<QString(const ListRow&)> text;               // asked only for the rows being drawn
    enum class Sort { None, Text, Number } sort = Sort::Text;  // Number: "9" before "10", blanks last
    int widthTwips = 1440;
    bool leading = false;  // shown before the design's columns (its number stays after them)
};

// A second line under a row's name: the programme on now, and how far it has run (0..1, a thin
// bar under it; < 0 none).
struct SecondLine {
    QString text;
    double run = -1;
};
inline constexpr int kSecondLineRole = Qt::UserRole + 1;  // the line's text, on the name's column
inline constexpr int kProgressRole = Qt::UserRole + 2;    // its share run

class ChannelModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ChannelModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void addColumn(const QString& header);
    void setHeader(int section, const QString& header);       // 0-based
    const QStringList& headers() const { return m_headers; }  // the design's columns
    // The columns after the design's (none by default); a designed column added later goes
    // before them. refreshExtraColumns() has them drawn again as they now are.
    // True when they are the columns there already (told anew what they show).
    bool setExtraColumns(std::vector<ExtraColumn> columns);
    const std::vector<ExtraColumn>& extraColumns() const { return m_extra; }
    void refreshExtraColumns();

    void clear();
    void setRows(std::vector<ListRow> rows);
    int appendRow(ListRow row);  // where it went
    const ListRow& row(int index) const { return m_rows[static_cast<std::size_t>(index)]; }
    const std::vector<ListRow>& rows() const { return m_rows; }

    // The text of one cell (columns as ChannelColumn numbers them).
    const std::string& cell(int row, int column) const;

    void removeRow(int index);
    void removeRowsAt(const std::vector<int>& ascending);  // many at once, one change per run of rows
    // Puts a row back at `index` (in its sorted place when the list is sorted); where it went.
    int insertRow(int index, ListRow row);
    void appendRows(std::vector<ListRow> rows);  // many at once; sorted lists stay sorted
    void setRow(int index, ListRow row);         // the row keeps its place

    // Keeps the rows ordered by one column (letter case ignored) from now on: the rows there
    // are sorted now, and rows set or appended later take their sorted place.
    void setSortOrder(int column, bool descending);
    bool isSorted() const { return m_sortColumn >= 0; }

    // Stream-check marks, by address: every row with that address shows it.
    void setMark(const std::string& address, StreamMark mark);
    void clearMarks();
    void clearMark(const std::string& address, StreamMark::Kind kind);  // when it is of that kind
    const StreamMark* mark(int row) const;  // nullptr when the row's address was not checked

    // A row's tooltip (the programme guide's now and next); the cell's text when it gives "".
    void setToolTipSource(std::function<QString(const ListRow&)> source) { m_toolTip = std::move(source); }
    // A row's icon (its channel's logo) where no stream-check mark stands; asked only for rows
    // being drawn. refreshIcons() has every row drawn with its icon as it now is.
    void setIconSource(std::function<QIcon(const ListRow&)> source) { m_icon = std::move(source); }
    void refreshIcons();
    // A second line under every row's name (none by default); refreshExtraColumns() draws it again.
    void setSecondLine(std::function<SecondLine(const ListRow&)> source);
    bool hasSecondLine() const { return bool(m_secondLine); }

private:
    bool before(const ListRow& a, const ListRow& b) const;
    // The order the rows go in (order[k]: the row for place k), each row's key made once.
    std::vector<int> sortedOrder() const;
    const ExtraColumn* sortedExtra() const;
    void sortRows();
    // Sorts the rows as a layout change: selected and current rows (every persistent index)
    // follow their rows to their new places, as the platform's list keeps its selection.
    void sortRowsKeepingPlaces();

    int m_sortColumn = -1;
    bool m_descending = false;
    QStringList m_headers;
    std::vector<ExtraColumn> m_extra;
    std::vector<ListRow> m_rows;
    std::unordered_map<std::string, StreamMark> m_marks;
    std::function<QString(const ListRow&)> m_toolTip;
    std::function<QIcon(const ListRow&)> m_icon;
    std::function<SecondLine(const ListRow&)> m_secondLine;
};
