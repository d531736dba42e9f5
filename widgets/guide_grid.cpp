#include "widgets/guide_grid.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace {

constexpr std::int64_t kHalfHour = 1800;
constexpr std::int64_t kDay = 86400;

// The first programme whose box reaches past `time`: a programme is drawn until its stop, or
// (without one) until the next start.
std::size_t FirstEndingAfter(const guide::Schedule& schedule, std::int64_t time) {
    auto it = std::upper_bound(schedule.begin(), schedule.end(), time,
                               [](std::int64_t t, const guide::Programme& p) { return t < p.start; });
    // Programmes are sorted by start and seldom overlap: a step or two back covers the one on.
    std::size_t index = static_cast<std::size_t>(it - schedule.begin());
    for (int back = 0; back < 4 && index > 0; ++back) --index;
    return index;
}

std::int64_t StopOf(const guide::Schedule& schedule, std::size_t i) {
    const guide::Programme& p = schedule[i];
    if (p.stop > p.start) return p.stop;
    return i + 1 < schedule.size() ? schedule[i + 1].start : p.start + kHalfHour;
}

}  // namespace

GuideGrid::GuideGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    horizontalScrollBar()->setSingleStep(kPixelsPerHour / 4);
    verticalScrollBar()->setSingleStep(kRowHeight);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

void GuideGrid::setRows(std::vector<Row> rows, std::int64_t now) {
    m_rows = std::move(rows);
    m_now = now;
    // A day back from now to the last programme any row has (at least a day ahead), on
    // half-hour marks.
    m_from = (now - kBackSeconds) / kHalfHour * kHalfHour;
    std::int64_t last = now + kDay;
    for (const Row& row : m_rows)
        if (row.schedule && !row.schedule->empty())
            last = std::max(last, StopOf(*row.schedule, row.schedule->size() - 1));
    m_to = std::min(last, now + 31 * kDay);  // a guide that claims years is cut at a month
    m_to = (m_to + kHalfHour - 1) / kHalfHour * kHalfHour;
    m_row = m_programme = -1;
    updateScrollBars();
    scrollToNow();
    viewport()->update();
}

const guide::Programme* GuideGrid::current() const {
    if (m_row < 0 || m_programme < 0) return nullptr;
    const guide::Schedule* schedule = m_rows[static_cast<std::size_t>(m_row)].schedule;
    return schedule && m_programme < static_cast<int>(schedule->size())
               ? &(*schedule)[static_cast<std::size_t>(m_programme)]
               : nullptr;
}

void GuideGrid::choose(int row, int programme) {
    if (row < 0 || row >= rowCount()) return;
    const guide::Schedule* schedule = m_rows[static_cast<std::size_t>(row)].schedule;
    if (!schedule || schedule->empty())
        programme = -1;
    else
        programme = std::clamp(programme, 0, static_cast<int>(schedule->size()) - 1);
    m_row = row;
    m_programme = programme;
    if (programme >= 0) ensureVisible(row, programme);
    viewport()->update();
    emit chosen(row, programme);
}

int GuideGrid::programmeAt(int row, std::int64_t time) const {
    if (row < 0 || row >= rowCount()) return -1;
    const guide::Schedule* schedule = m_rows[static_cast<std::size_t>(row)].schedule;
    if (!schedule) return -1;
    int found = -1;
    for (std::size_t i = FirstEndingAfter(*schedule, time); i < schedule->size() && (*schedule)[i].start <= time; ++i)
        if (StopOf(*schedule, i) > time) found = static_cast<int>(i);
    return found;
}

void GuideGrid::scrollToTime(std::int64_t time) {
    horizontalScrollBar()->setValue(static_cast<int>((time - m_from) * kPixelsPerHour / 3600));
}

int GuideGrid::xOf(std::int64_t time) const {
    return kNameWidth + static_cast<int>((time - m_from) * kPixelsPerHour / 3600) - horizontalScrollBar()->value();
}

std::int64_t GuideGrid::timeAt(int x) const {
    return m_from + static_cast<std::int64_t>(x - kNameWidth + horizontalScrollBar()->value()) * 3600 / kPixelsPerHour;
}

std::int64_t GuideGrid::leftTime() const { return timeAt(kNameWidth); }

int GuideGrid::rowAt(int y) const {
    if (y < kHeaderHeight) return -1;
    const int row = (y - kHeaderHeight + verticalScrollBar()->value()) / kRowHeight;
    return row < rowCount() ? row : -1;
}

int GuideGrid::firstVisibleRow() const { return std::min(rowCount() - 1, verticalScrollBar()->value() / kRowHeight); }

int GuideGrid::lastVisibleRow() const {
    const int bottom = verticalScrollBar()->value() + viewport()->height() - kHeaderHeight - 1;
    return std::min(rowCount() - 1, bottom / kRowHeight);
}

QRect GuideGrid::boxOf(int row, int programme) const {
    if (row < 0 || row >= rowCount() || programme < 0) return {};
    const guide::Schedule* schedule = m_rows[static_cast<std::size_t>(row)].schedule;
    if (!schedule || programme >= static_cast<int>(schedule->size())) return {};
    const auto i = static_cast<std::size_t>(programme);
    const int y = kHeaderHeight + row * kRowHeight - verticalScrollBar()->value();
    const int left = xOf(std::max((*schedule)[i].start, m_from));
    const int right = xOf(std::min(StopOf(*schedule, i), m_to));
    return QRect(left, y, std::max(1, right - left), kRowHeight);
}

void GuideGrid::ensureVisible(int row, int programme) {
    const int top = row * kRowHeight;
    QScrollBar* v = verticalScrollBar();
    const int height = viewport()->height() - kHeaderHeight;
    if (top < v->value()) v->setValue(top);
    if (top + kRowHeight > v->value() + height) v->setValue(top + kRowHeight - height);
    const QRect box = boxOf(row, programme);
    QScrollBar* h = horizontalScrollBar();
    const int width = viewport()->width() - kNameWidth;
    if (box.left() < kNameWidth)
        h->setValue(h->value() - (kNameWidth - box.left()));
    else if (box.left() > kNameWidth + width - kPixelsPerHour / 2)
        h->setValue(h->value() + box.left() - kNameWidth - width / 3);
}

void GuideGrid::updateScrollBars() {
    const int width = static_cast<int>((m_to - m_from) * kPixelsPerHour / 3600);
    horizontalScrollBar()->setRange(0, std::max(0, width - (viewport()->width() - kNameWidth)));
    horizontalScrollBar()->setPageStep(std::max(1, viewport()->width() - kNameWidth));
    const int height = rowCount() * kRowHeight;
    verticalScrollBar()->setRange(0, std::max(0, height - (viewport()->height() - kHeaderHeight)));
    verticalScrollBar()->setPageStep(std::max(kRowHeight, viewport()->height() - kHeaderHeight));
}

void GuideGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void GuideGrid::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& colours = palette();
    const QRect area = viewport()->rect();
    painter.fillRect(area, colours.base());
    const QColor line = colours.color(QPalette::Mid);
    const std::int64_t left = timeAt(kNameWidth), right = timeAt(area.width());

    // The programmes of the rows in view, between the times in view.
    const QFontMetrics metrics = painter.fontMetrics();
    for (int r = std::max(0, firstVisibleRow()); r >= 0 && r <= lastVisibleRow(); ++r) {
        const int y = kHeaderHeight + r * kRowHeight - verticalScrollBar()->value();
        painter.setPen(line);
        painter.drawLine(kNameWidth, y + kRowHeight - 1, area.width(), y + kRowHeight - 1);
        const guide::Schedule* schedule = m_rows[static_cast<std::size_t>(r)].schedule;
        if (!schedule) continue;
        for (std::size_t i = FirstEndingAfter(*schedule, left); i < schedule->size() && (*schedule)[i].start < right;
             ++i) {
            const std::int64_t stop = StopOf(*schedule, i);
            if (stop <= left) continue;
            const QRect box = boxOf(r, static_cast<int>(i)).adjusted(0, 1, -1, -2);
            const bool chosen = r == m_row && static_cast<int>(i) == m_programme;
            const bool onNow = (*schedule)[i].start <= m_now && stop > m_now;
            painter.fillRect(box, chosen ? colours.highlight() : onNow ? colours.alternateBase() : colours.button());
            painter.setPen(line);
            painter.drawRect(box);
            // The title stays readable at the left edge while its programme began out of view.
            QRect text = box.adjusted(6, 0, -4, 0);
            if (text.left() < kNameWidth + 6) text.setLeft(kNameWidth + 6);
            painter.setPen(chosen ? colours.color(QPalette::HighlightedText) : colours.color(QPalette::ButtonText));
            if (text.width() > 8)
                painter.drawText(
                    text, Qt::AlignVCenter | Qt::AlignLeft,
                    metrics.elidedText(QString::fromStdString((*schedule)[i].title), Qt::ElideRight, text.width()));
        }
    }

    // The time across the top: a mark each half hour, the hour with its time, the day at midnight.
    painter.fillRect(QRect(0, 0, area.width(), kHeaderHeight), colours.window());
    painter.setPen(colours.color(QPalette::WindowText));
    for (std::int64_t t = std::max(m_from, left / kHalfHour * kHalfHour); t <= right; t += kHalfHour) {
        const int x = xOf(t);
        if (x < kNameWidth) continue;
        painter.setPen(line);
        painter.drawLine(x, kHeaderHeight - 6, x, kHeaderHeight);
        painter.setPen(colours.color(QPalette::WindowText));
        const QDateTime at = QDateTime::fromSecsSinceEpoch(t);
        const QString label = at.time().hour() == 0 && at.time().minute() == 0
                                  ? QLocale().toString(at.date(), QStringLiteral("ddd d MMM"))
                                  : at.toString(QStringLiteral("HH:mm"));
        painter.drawText(QRect(x + 3, 0, kPixelsPerHour / 2 - 4, kHeaderHeight - 2), Qt::AlignVCenter | Qt::AlignLeft,
                         label);
    }
    // The line at now.
    if (const int x = xOf(m_now); x >= kNameWidth && x < area.width()) {
        painter.setPen(QPen(QColor(220, 40, 40), 2));
        painter.drawLine(x, 0, x, area.height());
    }
    // The channels' names down the left, over everything scrolled beneath them.
    painter.fillRect(QRect(0, 0, kNameWidth, area.height()), colours.window());
    for (int r = std::max(0, firstVisibleRow()); r >= 0 && r <= lastVisibleRow(); ++r) {
        const int y = kHeaderHeight + r * kRowHeight - verticalScrollBar()->value();
        const QRect name(6, y, kNameWidth - 10, kRowHeight);
        painter.setPen(r == m_row ? colours.color(QPalette::Highlight) : colours.color(QPalette::WindowText));
        painter.drawText(name, Qt::AlignVCenter | Qt::AlignLeft,
                         metrics.elidedText(m_rows[static_cast<std::size_t>(r)].name, Qt::ElideRight, name.width()));
        painter.setPen(line);
        painter.drawLine(0, y + kRowHeight - 1, kNameWidth, y + kRowHeight - 1);
    }
    painter.fillRect(QRect(0, 0, kNameWidth, kHeaderHeight), colours.window());
    painter.setPen(line);
    painter.drawLine(kNameWidth - 1, 0, kNameWidth - 1, area.height());
}

void GuideGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const int row = rowAt(at.y());
    if (row < 0 || at.x() < kNameWidth) {
        if (row >= 0) choose(row, programmeAt(row, m_now));
        return;
    }
    choose(row, programmeAt(row, timeAt(at.x())));
}

void GuideGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 0) emit playRequested(row);
}

void GuideGrid::keyPressEvent(QKeyEvent* event) {
    const int row = std::max(0, m_row);
    const guide::Programme* on = current();
    // Up and down keep to the time of the chosen programme (or now).
    const std::int64_t time = on ? std::max(on->start, leftTime()) : m_now;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_row >= 0) emit playRequested(m_row);
            return;
        case Qt::Key_Left: choose(row, m_programme > 0 ? m_programme - 1 : programmeAt(row, time)); return;
        case Qt::Key_Right: choose(row, m_programme >= 0 ? m_programme + 1 : programmeAt(row, time)); return;
        case Qt::Key_Up:
            if (m_row > 0) choose(m_row - 1, programmeAt(m_row - 1, time));
            return;
        case Qt::Key_Down:
            if (m_row + 1 < rowCount()) choose(m_row + 1, programmeAt(m_row + 1, time));
            return;
        case Qt::Key_Home: scrollToNow(); return;
        default: QAbstractScrollArea::keyPressEvent(event);
    }
}
