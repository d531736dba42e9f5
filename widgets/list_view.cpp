#include "widgets/list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <algorithm>

#include "widgets/channel_filter.h"
#include "widgets/second_line_delegate.h"
#include "widgets/texts.h"
#include "widgets/twips.h"

ListView::ListView(QWidget* parent)
    : QTreeView(parent), m_model(new ChannelModel(this)), m_filter(new ChannelFilter(m_model, this)) {
    setModel(m_filter);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // constant row height: 100,000 rows lay out at once
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);  // `entered` tells of the row under the pointer
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) { emit columnClicked(section + 1); });
}

void ListView::keyPressEvent(QKeyEvent* event) {
    if (event->text() == QLatin1String("/") && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        openFilter();
        return;
    }
    if (m_digitHandler && event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9 &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && m_digitHandler(event->key() - Qt::Key_0))
        return;
    // Text that is not a key of its own (letters, digits) is the list's type-ahead.
    const bool typed = !event->text().isEmpty() && event->text().at(0).isPrint() &&
                       !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    const QModelIndex before = currentIndex();
    QTreeView::keyPressEvent(event);
    if (!currentIndex().isValid() || currentIndex().row() == before.row()) return;
    if (typed)
        emit typedTo();
    else
        emit movedByKey(currentIndex().row() > before.row() ? 1 : -1);
}

void ListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    const int at = rowAt(indexAt(event->position().toPoint()));
    m_pressedRow = -1;
    if (event->button() != Qt::LeftButton || event->modifiers() != Qt::NoModifier || at < 0) return;
    if (selectedIndex() != at) return;  // the press did not select it (a disabled row)
    m_pressedRow = at;
    emit rowPressed(m_pressedRow);
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
    const int pressed = m_pressedRow;
    m_pressedRow = -1;
    QTreeView::mouseReleaseEvent(event);
    if (pressed < 0 || event->button() != Qt::LeftButton) return;
    if (rowAt(indexAt(event->position().toPoint())) != pressed) emit pressAbandoned(pressed);
}

void ListView::setSorted(bool sorted) {
    m_sorted = sorted;
    applySort();
}

void ListView::setSortKey(int column) {
    m_sortKey = column;
    applySort();
}

void ListView::setSortOrder(int order) {
    m_sortOrder = order == 0 ? 0 : 1;
    applySort();
}

void ListView::setSortSettings(bool sorted, int column, int order) {
    m_sorted = sorted;
    m_sortKey = column;
    m_sortOrder = order == 0 ? 0 : 1;
    applySort();
}

void ListView::applySort() {
    if (!m_sorted) return;
    m_model->setSortOrder(m_sortKey, m_sortOrder == 1);
    if (currentIndex().isValid()) scrollTo(currentIndex());  // the selected row stays in view
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(m_sortKey, m_sortOrder == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void ListView::setExtraColumns(std::vector<ExtraColumn> columns) {
    if (m_model->setExtraColumns(std::move(columns))) return;  // they stay, as wide as the user left them
    const int first = static_cast<int>(m_model->headers().size());
    for (int c = first; c < m_model->columnCount(); ++c) {
        const ExtraColumn& column = m_model->extraColumns()[static_cast<std::size_t>(c - first)];
        setColumnWidth(c, twips::ToPixels(column.widthTwips));
        if (column.leading) header()->moveSection(header()->visualIndex(c), 0);
    }
}

void ListView::setSecondLine(std::function<SecondLine(const ListRow&)> source) {
    const bool had = m_model->hasSecondLine();
    m_model->setSecondLine(std::move(source));
    if (had == m_model->hasSecondLine()) return;
    if (!m_secondLine) m_secondLine = new SecondLineDelegate(this);
    setItemDelegateForColumn(0, m_model->hasSecondLine() ? m_secondLine : nullptr);
    doItemsLayout();  // every row is taller, or back to one line
}

void ListView::addColumn(const QString& header, int widthTwips) {
    m_model->addColumn(header);
    const int at = static_cast<int>(m_model->headers().size()) - 1;  // before any extra column
    setColumnWidth(at, twips::ToPixels(widthTwips));
}

int ListView::rowAt(const QModelIndex& shown) const { return shown.isValid() ? m_filter->sourceRow(shown.row()) : -1; }

int ListView::selectedIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) return -1;
    const QModelIndex current = currentIndex();
    if (rows.size() > 1 && current.isValid() && selectionModel()->isRowSelected(current.row())) return rowAt(current);
    return rowAt(rows.first());
}

std::vector<int> ListView::selectedRowIndexes() const {
    std::vector<int> rows;
    for (const QModelIndex& at : selectionModel()->selectedRows()) rows.push_back(rowAt(at));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ListView::selectRow(int index) {
    const int shown = m_filter->shownRow(index);
    if (shown < 0) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex at = m_filter->index(shown, 0);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(at);
}

void ListView::selectRows(const std::vector<int>& indexes) {
    QItemSelection selection;
    for (const int index : indexes)
        if (const int shown = m_filter->shownRow(index); shown >= 0)
            selection.select(m_filter->index(shown, 0), m_filter->index(shown, m_filter->columnCount() - 1));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int ListView::rowBeside(int index, int step) const {
    const int count = m_filter->rowCount();
    if (count == 0) return -1;
    const int shown = m_filter->shownRow(index);
    if (shown < 0) return m_filter->sourceRow(step < 0 ? count - 1 : 0);
    return m_filter->sourceRow(std::clamp(shown + step, 0, count - 1));
}

// ---- The filter line ---------------------------------------------------------------------

bool ListView::filterOpen() const { return m_filterLine && m_filterLine->isVisible(); }

void ListView::openFilter() {
    if (!m_filterLine) {
        // A sibling laid over the list's foot rather than a child: the keys the list shares
        // with the player (Space, M, F, Esc…) are typing while the line has the focus.
        m_filterLine = new QLineEdit(parentWidget() ? parentWidget() : this);
        m_filterLine->setObjectName(objectName() + QStringLiteral("Filter"));
        m_filterLine->setPlaceholderText(Msg("MSG_FINDACHANNEL"));
        m_filterLine->setClearButtonEnabled(true);
        m_filterLine->installEventFilter(this);
        connect(m_filterLine, &QLineEdit::textChanged, this, [this](const QString& text) {
            emit filterEdited(text);
            if (!m_localFiltering) return;
            const int selected = selectedIndex();
            m_filter->setPattern(text.trimmed());
            // The selection stays on its row while that row still matches; else the first match.
            if (m_filter->shownRow(selected) < 0 && m_filter->rowCount() > 0)
                selectRow(m_filter->sourceRow(0));
            else if (currentIndex().isValid())
                scrollTo(currentIndex());
        });
    }
    m_filterLine->show();
    placeFilterLine();
    m_filterLine->raise();
    m_filterLine->setFocus(Qt::ShortcutFocusReason);
    m_filterLine->selectAll();
    emit filterOpened();
}

void ListView::setLocalFiltering(bool on) {
    if (on == m_localFiltering) return;
    m_localFiltering = on;
    m_filter->setPattern(on && m_filterLine ? m_filterLine->text().trimmed() : QString());
}

namespace {
// A foot's height as a layout would give it: its size hint within its least and most.
int FootHeight(const QWidget* foot) {
    return foot->sizeHint().expandedTo(foot->minimumSize()).boundedTo(foot->maximumSize()).height();
}
}  // namespace

void ListView::addFootWidget(QWidget* foot) {
    if (!foot) return;
    m_feet.push_back(foot);
    foot->installEventFilter(this);  // shown or hidden: the rows make room
    placeFilterLine();
}

int ListView::footHeight() const {
    if (!filterOpen()) return 0;
    int height = 0;
    for (const QPointer<QWidget>& foot : m_feet)
        if (foot && !foot->isHidden()) height += FootHeight(foot);
    return height;
}

void ListView::closeFilter() {
    if (!m_filterLine) return;
    const int selected = selectedIndex();
    const bool hadFocus = m_filterLine->hasFocus();
    m_filterLine->hide();
    m_filterLine->clear();  // every row again
    for (const QPointer<QWidget>& foot : m_feet)
        if (foot) foot->hide();
    updateGeometries();
    emit filterClosed();
    if (selected >= 0) selectRow(selected);
    if (hadFocus) setFocus(Qt::OtherFocusReason);
}

void ListView::placeFilterLine() {
    if (!m_filterLine) return;
    const int height = m_filterLine->sizeHint().height();
    const QRect list = geometry();
    if (m_filterLine->parentWidget() == this)
        m_filterLine->setGeometry(0, list.height() - height, list.width(), height);
    else
        m_filterLine->setGeometry(list.left(), list.bottom() + 1 - height, list.width(), height);
    if (footHeight() > 0) {
        // Stacked up from the line, the first added nearest to it.
        const QRect line = m_filterLine->geometry();
        int top = line.top();
        for (const QPointer<QWidget>& foot : m_feet) {
            if (!foot || foot->isHidden()) continue;
            const int height = FootHeight(foot);
            top -= height;
            foot->setGeometry(line.left(), top, line.width(), height);
            foot->raise();
        }
    }
    updateGeometries();
}

void ListView::updateGeometries() {
    QTreeView::updateGeometries();  // sets the margins for the header above the rows
    // The last rows scroll above the filter line while it lies over the list's foot.
    if (m_filterLine && !m_filterLine->isHidden())
        setViewportMargins(0, viewportMargins().top(), 0, m_filterLine->sizeHint().height() + footHeight());
}

void ListView::changeEvent(QEvent* event) {
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::LanguageChange && m_filterLine)
        m_filterLine->setPlaceholderText(Msg("MSG_FINDACHANNEL"));
}

void ListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    if (filterOpen()) placeFilterLine();
}

bool ListView::eventFilter(QObject* watched, QEvent* event) {
    if (std::find(m_feet.begin(), m_feet.end(), watched) != m_feet.end() &&
        (event->type() == QEvent::Show || event->type() == QEvent::Hide || event->type() == QEvent::LayoutRequest))
        QMetaObject::invokeMethod(
            this, [this] { placeFilterLine(); }, Qt::QueuedConnection);
    if (watched == m_filterLine && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Escape: closeFilter(); return true;
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
            case Qt::Key_Return:
            case Qt::Key_Enter: keyPressEvent(key); return true;
            default: break;
        }
    }
    return QTreeView::eventFilter(watched, event);
}
