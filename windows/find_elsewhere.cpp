#include "windows/find_elsewhere.h"

#include <QApplication>
#include <QDateTime>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QTreeWidget>

#include "widgets/background.h"
#include "widgets/list_view.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"

namespace {
enum Role { kKind = Qt::UserRole, kAt };
enum Kind { kChannel = 1, kProgramme = 2 };
constexpr int kMostRows = 9;  // the panel grows to this many rows, then scrolls
}  // namespace

FindElsewhere::FindElsewhere(const std::vector<ListView*>& lists, Hooks hooks, QObject* parent)
    : QObject(parent), m_hooks(std::move(hooks)) {
    for (ListView* list : lists) {
        auto* tree = new QTreeWidget(list->parentWidget());
        tree->setObjectName(list->objectName() + QStringLiteral("Elsewhere"));
        tree->setFont(list->font());  // not the frame's bold caption
        tree->setHeaderHidden(true);
        tree->setColumnCount(2);
        tree->setRootIsDecorated(false);
        tree->setUniformRowHeights(true);
        tree->header()->setStretchLastSection(false);
        tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        tree->hide();
        list->addFootWidget(tree);
        m_panels.push_back({list, tree});
        // A click chooses, as in the lists; Enter too. (A double-click's second half is no second choice.)
        connect(tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
            m_clicked.start();
            chosen(item);
        });
        connect(tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
            if (!m_clicked.isValid() || m_clicked.elapsed() > QApplication::doubleClickInterval()) chosen(item);
        });
        connect(list, &ListView::filterEdited, this, [this, list] { edited(list); });
        connect(list, &ListView::filterOpened, this, [this, list] { edited(list); });
        connect(list, &ListView::filterClosed, tree, &QWidget::hide);
    }
}

QTreeWidget* FindElsewhere::panelOf(const ListView* list) const {
    for (const Panel& p : m_panels)
        if (p.list == list) return p.tree;
    return nullptr;
}

void FindElsewhere::invalidate() {
    m_stale = true;
    // A line open now shows the new lists' matches as soon as they are there.
    for (const Panel& p : m_panels)
        if (p.list->filterOpen()) return make();
}

void FindElsewhere::make() {
    if (m_making) {
        m_again = true;  // what is being made is already out of date
        return;
    }
    m_making = true;
    m_stale = false;
    auto* watcher = new QFutureWatcher<std::shared_ptr<const find_index::Index>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_making = false;
        m_index = watcher->future().result();
        if (m_again) {
            m_again = false;
            make();
        }
        for (const Panel& p : m_panels)
            if (p.list->filterOpen()) edited(p.list);
        emit ready();
    });
    watcher->setFuture(RunInBackground<std::shared_ptr<const find_index::Index>>(m_hooks.prepare()));
}

void FindElsewhere::edited(ListView* list) {
    if (m_stale) make();
    const QString typed = list->filterLine() ? list->filterLine()->text().trimmed() : QString();
    if (!m_index || typed.isEmpty()) {
        if (QTreeWidget* tree = panelOf(list)) tree->hide();
        return;
    }
    show(list, m_index->find(ToUtf8(typed), m_hooks.shownList(list), kShown));
}

void FindElsewhere::show(ListView* list, const find_index::Index::Matches& found) {
    QTreeWidget* tree = panelOf(list);
    tree->setUpdatesEnabled(false);
    tree->clear();
    const auto heading = [&](const QString& text) {
        auto* item = new QTreeWidgetItem(tree, {text});
        item->setFlags(Qt::ItemIsEnabled);
        QFont bold = item->font(0);
        bold.setBold(true);
        item->setFont(0, bold);
        item->setFirstColumnSpanned(true);
    };
    const auto more = [&](std::size_t count) {
        if (count == 0) return;
        auto* item = new QTreeWidgetItem(tree, {Msg("MSG_FINDMORE").arg(count)});
        item->setFlags(Qt::ItemIsEnabled);
        item->setFirstColumnSpanned(true);
    };
    const std::vector<find_index::Channel>& channels = m_index->channels();
    if (!found.channels.empty()) {
        heading(Msg("MSG_FINDOTHERLISTS"));
        for (const find_index::Channel* c : found.channels) {
            auto* item = new QTreeWidgetItem(tree, {Utf8ToQt(c->name), Utf8ToQt(c->where)});
            item->setData(0, kKind, kChannel);
            item->setData(0, kAt, static_cast<qulonglong>(c - channels.data()));
        }
        more(found.moreChannels);
    }
    if (!found.programmes.empty()) {
        heading(Msg("MSG_FINDINGUIDE"));
        const QLocale locale;
        for (const find_index::Programme* p : found.programmes) {
            const QDateTime start = QDateTime::fromSecsSinceEpoch(p->programme->start);
            QString when = start.toString(QStringLiteral("HH:mm"));
            if (start.date() != QDate::currentDate())
                when = locale.dayName(start.date().dayOfWeek(), QLocale::ShortFormat) + QLatin1Char(' ') + when;
            auto* item = new QTreeWidgetItem(tree, {Utf8ToQt(p->programme->title), Utf8ToQt(channels[p->channel].name) +
                                                                                       QStringLiteral(" · ") + when});
            item->setData(0, kKind, kProgramme);
            item->setData(0, kAt, static_cast<qulonglong>(p - m_index->programme(0)));
        }
        more(found.moreProgrammes);
    }
    const int rows = tree->topLevelItemCount();
    tree->setVisible(rows > 0);
    if (rows > 0) {
        const int row = tree->sizeHintForRow(0);
        tree->setFixedHeight(std::min(rows, kMostRows) * row + 2 * tree->frameWidth());
    }
    tree->setUpdatesEnabled(true);
    list->placeFoot();
}

void FindElsewhere::chosen(QTreeWidgetItem* item) {
    if (!item || !m_index) return;
    const int kind = item->data(0, kKind).toInt();
    const auto at = static_cast<std::size_t>(item->data(0, kAt).toULongLong());
    if (kind == kChannel && at < m_index->channels().size()) m_hooks.play(m_index->channels()[at]);
    if (kind == kProgramme && at < m_index->programmeCount()) {
        const find_index::Programme& p = *m_index->programme(at);
        m_hooks.openGuide(p, m_index->channels()[p.channel]);
    }
}
