// An account's series: a row stands for a whole series, and opening it asks the panel for the
// series' seasons and episodes (on the pool; the window goes on meanwhile), offered in a menu at
// the row. The menu stays open until an episode is chosen or it is dismissed.
#include <QAbstractItemView>
#include <QFutureWatcher>
#include <QMenu>

#include "catalogue/xtream.h"
#include "player/player_pane.h"
#include "services/fetch.h"
#include "widgets/background.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"
#include "windows/main_window.h"

namespace {

constexpr std::size_t kMaxSeriesAnswerBytes = std::size_t{16} << 20;

// "S01E02  Title", or the number alone when the panel gives no title.
QString EpisodeLabel(const xtream::Episode& episode) {
    QString label = QStringLiteral("S%1E%2")
                        .arg(episode.season, 2, 10, QLatin1Char('0'))
                        .arg(episode.number, 2, 10, QLatin1Char('0'));
    if (!episode.title.empty()) label += QStringLiteral("  ") + Utf8ToQt(episode.title);
    return label;
}

}  // namespace

void Form1::openSeries(const QString& address, const QString& name, QWidget* from) {
    const std::string at = ToUtf8(address);
    const quint64 asked = ++m_seriesAsked;
    WindowsMediaPlayer1->showNote(Msg("MSG_SERIESLOADING").arg(name));
    auto* watcher = new QFutureWatcher<FetchResult>(this);
    connect(watcher, &QFutureWatcher<FetchResult>::finished, this, [this, watcher, asked, address, name, from] {
        watcher->deleteLater();
        if (asked != m_seriesAsked || watcher->future().resultCount() == 0) return;  // another one since
        const FetchResult& got = watcher->future().result();
        if (got.cancelled) return;
        if (!got.succeeded()) {
            QString why =
                got.arrived() ? Msg("MSG_FAILHTTP").arg(got.status) : Utf8ToQt(got.failure) + QLatin1Char('.');
            if (!why.isEmpty()) why[0] = why[0].toUpper();
            WindowsMediaPlayer1->showNote(Msg("MSG_SERIESFAILED").arg(name, why));
            return;
        }
        showEpisodes(address, name, got.body, from);
    });
    watcher->setFuture(RunInBackground<FetchResult>([at] {
        FetchLimits limits;
        limits.maxBytes = kMaxSeriesAnswerBytes;
        limits.pumpEvents = false;
        return FetchPageReport(at, limits);
    }));
}

void Form1::showEpisodes(const QString& address, const QString& name, const std::string& answer, QWidget* from) {
    const std::vector<xtream::Episode> episodes = xtream::EpisodesOf(ToUtf8(address), answer);
    if (episodes.empty()) {
        WindowsMediaPlayer1->showNote(Msg("MSG_SERIESEMPTY").arg(name));
        return;
    }
    WindowsMediaPlayer1->showNote({});
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuEpisodes"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool seasons = episodes.front().season != episodes.back().season;
    QMenu* into = menu;
    int season = -1;
    for (const xtream::Episode& episode : episodes) {
        if (seasons && episode.season != season) {
            season = episode.season;
            into = menu->addMenu(Msg("MSG_SEASON").arg(season));
        }
        const QString label = EpisodeLabel(episode);
        QAction* action = into->addAction(label);
        const QString played = Utf8ToQt(episode.address), title = name + QStringLiteral(" – ") + label;
        connect(action, &QAction::triggered, this, [this, played, title] { play(played, title, false, nullptr); });
    }
    // At the row it was opened from when a list shows it, else at the pointer.
    QPoint at = QCursor::pos();
    if (auto* list = qobject_cast<QAbstractItemView*>(from); list && list->isVisible()) {
        const QRect row = list->visualRect(list->currentIndex());
        if (row.isValid()) at = list->viewport()->mapToGlobal(row.bottomLeft());
    }
    menu->popup(at);
}
