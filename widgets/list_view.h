#pragma once
// The report-view list of channels: column headers, rows with a tag and sub-items, and the
// selected row. Virtualised: only the rows on screen are ever turned into display text.
#include <QPointer>
#include <QTreeView>
#include <functional>

#include "widgets/channel_model.h"

class ChannelFilter;
class SecondLineDelegate;
#include <QLineEdit>

class ListView : public QTreeView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);

    // The rows as the list holds them (sorted when the list is sorted); change them through
    // channels().
    ChannelModel* channels() const { return m_model; }
    const std::vector<ListRow>& rows() const { return m_model->rows(); }
    const ListRow& row(int index) const { return m_model->row(index); }
    int rowCount() const { return m_model->rowCount(); }
    void addColumn(const QString& header, int widthTwips);
    QStringList columnHeaders() const { return m_model->headers(); }
    void setColumnHeader(int column, const QString& header) { m_model->setHeader(column - 1, header); }  // 1-based
    // Columns after the design's (a leading one shown first); none takes them away. Unchanged
    // headers keep the columns (and the widths the user gave them).
    void setExtraColumns(std::vector<ExtraColumn> columns);
    // A second line under every row's name, with its bar; an empty function takes it away.
    void setSecondLine(std::function<SecondLine(const ListRow&)> source);
    void refreshExtraColumns() { m_model->refreshExtraColumns(); }

    // The three sort settings of the list: the sorted flag (set by the first header click and
    // never cleared), the sort column (0-based) and the direction (0 ascending, 1 descending).
    bool sorted() const { return m_sorted; }
    int sortKey() const { return m_sortKey; }
    int sortOrder() const { return m_sortOrder; }
    void setSorted(bool sorted);
    void setSortKey(int column);
    void setSortOrder(int order);
    void setSortSettings(bool sorted, int column, int order);  // all three, one re-sort

    // Index of the selected row, or -1 when none is selected. With several rows selected, the
    // current one among them.
    int selectedIndex() const;
    // Selects one row (scrolled into view); -1, or a row the filter hides, selects none.
    void selectRow(int index);
    // Every selected row, ascending; several where the list allows it.
    std::vector<int> selectedRowIndexes() const;
    void selectRows(const std::vector<int>& indexes);
    // The list row (as row() counts them) at a place of the view; -1 for none.
    int rowAt(const QModelIndex& shown) const;
    // The row `step` places after (before, when negative) `index` as the list shows its rows,
    // kept within the list; the first shown row for -1. -1 when no row is shown.
    int rowBeside(int index, int step) const;

    // The filter line over the foot of the list: typing narrows the list to the rows whose name
    // holds the text (letter case and accents ignored); Up, Down and Enter work on the list
    // from the line; Esc closes it and shows every row again, the selection kept.
    void openFilter();
    void closeFilter();
    bool filterOpen() const;
    QLineEdit* filterLine() const { return m_filterLine; }
    // A digit typed over the list goes to `handler` first; when it takes it (true) the list does
    // not search rows by it.
    void setDigitHandler(std::function<bool(int)> handler) { m_digitHandler = std::move(handler); }
    ChannelFilter* filter() const { return m_filter; }
    // Off: the line's text no longer narrows the rows (someone else answers it through
    // filterEdited); on again: it does.
    void setLocalFiltering(bool on);
    // A widget laid over the list just above the filter line while the line is open and the
    // widget is not hidden (several stack up, the first nearest the line); the last rows scroll
    // above them all. The list does not own them.
    void addFootWidget(QWidget* foot);
    void placeFoot() { placeFilterLine(); }

signals:
    void columnClicked(int columnIndex);  // 1-based, as the header click handlers expect it
    // The keyboard moved the selection to another row (arrows, Home, End, Page keys), `step`
    // +1 down the list as shown, -1 up; and typing a name's first letters jumped to a row
    // (which plays only when asked to).
    void movedByKey(int step);
    void typedTo();
    // The left button went down on a row (a click begins: the row can start to play now), and
    // the press that began on a row ended away from it (the mouse was dragged off: what the
    // press started is undone). A press that ends on its row is a click, as ever.
    void rowPressed(int index);
    void pressAbandoned(int index);
    // The filter line's text changed, was opened or closed (Esc).
    void filterEdited(const QString& text);
    void filterOpened();
    void filterClosed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applySort();
    void placeFilterLine();

    ChannelModel* m_model;
    ChannelFilter* m_filter;
    QPointer<QLineEdit> m_filterLine;
    SecondLineDelegate* m_secondLine = nullptr;
    std::vector<QPointer<QWidget>> m_feet;
    bool m_localFiltering = true;
    std::function<bool(int)> m_digitHandler;
    int footHeight() const;
    bool m_sorted = false;
    int m_sortKey = 0;
    int m_sortOrder = 1;    // so that the first header click of a run sorts ascending
    int m_pressedRow = -1;  // the row a left-button press began on, until its release
};
