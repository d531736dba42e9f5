#pragma once
// The programme guide as a grid: a row for each channel, time across in half-hour marks with a
// line at now, each programme a box as long as it lasts. Only what is in view is drawn, so a
// guide of hundreds of channels over days opens and scrolls at once. Scrolled by time and by
// channel; the arrows walk from programme to programme, a click chooses one, Enter or a
// double-click asks for its channel to be played.
#include <QAbstractScrollArea>
#include <QString>
#include <cstdint>
#include <vector>

#include "guide/xmltv.h"

class GuideGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    struct Row {
        QString name;
        const guide::Schedule* schedule = nullptr;  // kept by the caller while the grid shows it
    };
    explicit GuideGrid(QWidget* parent = nullptr);

    // The rows, the time now (seconds since 1970) and how far the guide looks back. The view
    // goes to now; the choice goes.
    void setRows(std::vector<Row> rows, std::int64_t now);
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    const Row& row(int index) const { return m_rows[static_cast<std::size_t>(index)]; }
    std::int64_t firstTime() const { return m_from; }  // the grid's left end
    std::int64_t lastTime() const { return m_to; }     // its right end

    // The chosen programme: its row and index in that row's schedule; -1 for none.
    int currentRow() const { return m_row; }
    int currentProgramme() const { return m_programme; }
    const guide::Programme* current() const;
    void choose(int row, int programme);
    // The programme on at `time` in `row` (the last one to start by then); -1 for none.
    int programmeAt(int row, std::int64_t time) const;
    // Scrolls so that `time` is at the left edge; now: half an hour before the time given to setRows.
    void scrollToTime(std::int64_t time);
    void scrollToNow() { scrollToTime(m_now - 1800); }
    // The first and last rows and the time span in view now.
    int firstVisibleRow() const;
    int lastVisibleRow() const;
    std::int64_t leftTime() const;
    // Where a programme's box stands in the viewport (for tests, and to keep it in view).
    QRect boxOf(int row, int programme) const;

    static constexpr int kRowHeight = 40;
    static constexpr int kNameWidth = 170;
    static constexpr int kHeaderHeight = 24;
    static constexpr int kPixelsPerHour = 240;
    static constexpr std::int64_t kBackSeconds = std::int64_t{24} * 3600;  // the guide looks a day back

signals:
    void chosen(int row, int programme);
    void playRequested(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateScrollBars();
    int xOf(std::int64_t time) const;  // in the viewport
    std::int64_t timeAt(int x) const;
    int rowAt(int y) const;
    void ensureVisible(int row, int programme);

    std::vector<Row> m_rows;
    std::int64_t m_from = 0, m_to = 0, m_now = 0;
    int m_row = -1, m_programme = -1;
};
