// The main window's playlists kept as sources: added from a file or an address (File menu),
// listed under the Categories menu, shown in the channel list with their groups in the language
// box, refreshed, renamed and removed there.
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QLocale>
#include <QMenu>
#include <QTimer>

#include "catalogue/xtream.h"
#include "player/player_pane.h"
#include "widgets/design.h"
#include "widgets/list_view.h"
#include "widgets/message_box.h"
#include "widgets/pick_combo.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"
#include "windows/background_jobs.h"
#include "windows/main_window.h"
#include "windows/radio_directory.h"
#include "windows/source_shelf.h"

void Form1::connectSources() {
    m_shelf = new SourceShelf(this);
    QAction* line = mnuPlaylistSeparator;  // the File menu's playlist entries follow it
    const QList<QAction*> fileEntries = mnuFile->actions();
    const qsizetype at = fileEntries.indexOf(line);
    QAction* fileNext = at >= 0 && at + 1 < fileEntries.size() ? fileEntries[at + 1] : nullptr;
    const auto add = [&](QMenu* menu, QAction* before, const char* name, const char* caption) {
        auto* a = new QAction(QString::fromUtf8(caption), menu);
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty(design::kMenuEntry, true);  // translated with the designed entries
        menu->insertAction(before, a);
        return a;
    };
    mnuAddPlaylist = add(mnuFile, fileNext, "mnuAddPlaylist", "Add Playlist…");
    mnuAddPlaylist->setShortcut(QKeySequence::Open);
    mnuAddPlaylistAddress = add(mnuFile, fileNext, "mnuAddPlaylistAddress", "Add Playlist from Address…");
    mnuAddPlaylistAddress->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuSourcesSeparator = mnuCat->addSeparator();
    mnuRefreshPlaylist = add(mnuCat, nullptr, "mnuRefreshPlaylist", "Refresh Playlist");
    mnuRenamePlaylist = add(mnuCat, nullptr, "mnuRenamePlaylist", "Rename Playlist…");
    mnuRemovePlaylist = add(mnuCat, nullptr, "mnuRemovePlaylist", "Remove Playlist");
    mnuAddAccount = add(mnuCat, nullptr, "mnuAddAccount", "Add Provider Account…");

    connect(mnuAddPlaylist, &QAction::triggered, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, Msg("MSG_ADDPLAYLIST"), QString(), Msg("MSG_PLAYLISTFILES"));
        if (!path.isEmpty()) AddPlaylist(path);
    });
    connect(mnuAddPlaylistAddress, &QAction::triggered, this, [this] {
        bool ok = false;
        const QString address =
            AskText(this, Msg("MSG_ADDPLAYLIST"), Msg("MSG_ADDPLAYLISTASK"), QStringLiteral("http://"), &ok).trimmed();
        if (!ok || address.isEmpty() || address == QLatin1String("http://")) return;
        // "example.com/tv.m3u" is meant as a web address.
        AddPlaylist(address.contains(QLatin1String("://")) ? address : QStringLiteral("http://") + address);
    });
    connect(mnuAddAccount, &QAction::triggered, this, [this] {
        AccountAnswer answer;
        if (AskAccount(this, answer)) AddAccount(answer.server, answer.user, answer.password);
    });
    connect(mnuRefreshPlaylist, &QAction::triggered, this, [this] { m_shelf->refresh(m_shown.id, true); });
    connect(mnuRenamePlaylist, &QAction::triggered, this, [this] {
        const sources::Source* source = m_shelf->find(m_shown.id);
        if (!source) return;
        bool ok = false;
        const QString name = AskText(this, Msg("MSG_RENAMEPLAYLIST"), Msg("MSG_RENAMEPLAYLISTASK"),
                                     QString::fromStdString(source->name), &ok);
        if (ok && !name.trimmed().isEmpty()) RenamePlaylist(QString::fromStdString(m_shown.id), name);
    });
    connect(mnuRemovePlaylist, &QAction::triggered, this, [this] {
        const sources::Source* source = m_shelf->find(m_shown.id);
        if (source && AskYesNo(this, Msg("MSG_REMOVEPLAYLISTASK").arg(QString::fromStdString(source->name))))
            RemovePlaylist(QString::fromStdString(m_shown.id));
    });

    connect(m_shelf, &SourceShelf::changed, this, &Form1::rebuildSourceMenu);
    connect(m_shelf, &SourceShelf::added, this,
            [this](const QString& id, const std::shared_ptr<SourceShelf::Channels>& channels) {
                const sources::Source* source = m_shelf->find(ToUtf8(id));
                QString note = Msg("MSG_PLAYLISTADDED")
                                   .arg(QString::fromStdString(source ? source->name : std::string()))
                                   .arg(static_cast<qulonglong>(channels ? channels->rows.size() : 0));
                showPlaylist(id, channels);  // the list takes the rows
                if (channels && channels->leftOut > 0)
                    note += QLatin1Char(' ') +
                            Msg("MSG_PLAYLISTADDEDLEFTOUT").arg(static_cast<qulonglong>(channels->leftOut));
                if (source && source->isAccount()) note += QLatin1Char(' ') + accountNote(*source);
                WindowsMediaPlayer1->showNote(note);
                // The playlist's own guide, asked once: a playlist is untrusted, and its guide is
                // fetched at every start.
                if (channels && !channels->guides.empty() &&
                    AskYesNo(this, Msg("MSG_PLAYLISTOFFERSGUIDE").arg(QString::fromStdString(channels->guides))))
                    m_shelf->setGuides(ToUtf8(id), channels->guides);
                // The guide keeps only the channels it was asked for: it is read again for these.
                if (!allGuides().empty()) UpdateGuide(false, true);  // one under way is replaced
            });
    connect(m_shelf, &SourceShelf::addFailed, this, [this](const QString& origin, const QString& why, bool account) {
        ShowMessage(this, Msg(account ? "MSG_ACCOUNTNOTADDED" : "MSG_PLAYLISTNOTADDED").arg(origin, why));
    });
    connect(m_shelf, &SourceShelf::refreshed, this,
            [this](const QString& id, int outcome, const QString& why, bool told) {
                const sources::Source* source = m_shelf->find(ToUtf8(id));
                if (!source) return;
                const QString name = QString::fromStdString(source->name);
                using Outcome = sources::Refreshed::Outcome;
                switch (static_cast<Outcome>(outcome)) {
                    case Outcome::Unchanged:
                        if (told) WindowsMediaPlayer1->showNote(Msg("MSG_PLAYLISTUPTODATE").arg(name));
                        break;
                    case Outcome::Replaced:
                        WindowsMediaPlayer1->showNote(Msg("MSG_PLAYLISTREFRESHED").arg(name) + QLatin1Char(' ') +
                                                      accountNote(*source));
                        break;
                    case Outcome::Failed: {
                        const QString text = Msg("MSG_PLAYLISTNOTREFRESHED").arg(name, why);
                        if (told)
                            ShowMessage(this, text);
                        else
                            WindowsMediaPlayer1->showNote(text);
                        break;
                    }
                    case Outcome::Cancelled: break;
                }
            });
    connect(m_shelf, &SourceShelf::loaded, this, &Form1::showPlaylistRows);
    // The entries for the playlist on show are there while one shows.
    connect(mnuCat, &QMenu::aboutToShow, this, [this] {
        const bool shown = m_shelf->find(m_shown.id) && Frame1->isVisible();
        for (QAction* a : {mnuRefreshPlaylist, mnuRenamePlaylist, mnuRemovePlaylist}) a->setEnabled(shown);
        for (QAction* a : mnuSourceItem) a->setChecked(shown && ToUtf8(a->data().toString()) == m_shown.id);
    });
    rebuildSourceMenu();
    // Sources a day old or more are brought up to date once the window has come up.
    QTimer::singleShot(0, m_shelf, [this] {
        if (!m_shelf->setAside().isEmpty())
            ShowMessage(this, Msg("MSG_SOURCESSETASIDE").arg(QDir::toNativeSeparators(m_shelf->setAside())));
        else if (m_shelf->unreadable())
            ShowMessage(
                this,
                Msg("MSG_SOURCESUNREADABLE")
                    .arg(QDir::toNativeSeparators(QString::fromStdU16String(sources::SourcesPath().u16string()))));
        m_shelf->refreshStale();
    });
}

void Form1::rebuildSourceMenu() {
    for (QAction* a : mnuSourceItem) delete a;
    mnuSourceItem.clear();
    QAction* before = mnuSourcesSeparator;
    for (const sources::Source& s : m_shelf->list()) {
        auto* a = new QAction(QString::fromStdString(s.name), mnuCat);
        a->setObjectName(QStringLiteral("mnuSourceItem"));
        a->setData(QString::fromStdString(s.id));
        a->setCheckable(true);  // checked while it shows
        mnuCat->insertAction(before, a);
        connect(a, &QAction::triggered, this, [this, a] { ShowPlaylist(a->data().toString()); });
        mnuSourceItem.push_back(a);
    }
    // A line between the designed categories and the playlists.
    if (!mnuSourceItem.empty()) {
        QAction* line = new QAction(mnuCat);
        line->setSeparator(true);
        mnuCat->insertAction(mnuSourceItem.front(), line);
        mnuSourceItem.insert(mnuSourceItem.begin(), line);
    }
}

void Form1::showPlaylistRows(const QString& id, const std::shared_ptr<SourceShelf::Channels>& channels) {
    if (ToUtf8(id) != m_shown.id || !Frame1->isVisible()) return;  // another list shows by now
    if (!channels) {
        // The copy is gone (cleaned away by hand): fetched again from where it came.
        m_shelf->refresh(m_shown.id, true);
        return;
    }
    // A refreshed playlist keeps the group on show while it still has it.
    const QString group = m_shown.channels ? Combo1->currentText() : QString();
    m_shown.channels = channels;
    QStringList items{Msg("MSG_ALL")};
    items += channels->groups;
    Combo1->setItems(items);
    Combo1->setEditText(channels->groups.contains(group) ? group : Msg("MSG_ALL"));
    showSourceGroup();
    showListColumns();
    if (const sources::Source* source = m_shelf->find(m_shown.id); source && source->isAccount())
        WindowsMediaPlayer1->showNote(accountNote(*source));
}

QString Form1::accountNote(const sources::Source& source) const {
    if (!source.isAccount()) return {};
    const xtream::State state = xtream::ReadState(source.account);
    const QString status = state.status.empty() ? QStringLiteral("?") : Utf8ToQt(state.status);
    const QString most = state.maxConnections > 0 ? QString::number(state.maxConnections) : QStringLiteral("?");
    const QString name = Utf8ToQt(source.name), used = QString::number(state.activeConnections);
    if (state.expires <= 0) return Msg("MSG_ACCOUNTSTATENOEND").arg(name, status, most, used);
    const QString until = QLocale().toString(QDateTime::fromSecsSinceEpoch(state.expires).date(), QLocale::ShortFormat);
    return Msg("MSG_ACCOUNTSTATE").arg(name, status, until, most, used);
}

void Form1::AddPlaylist(const QString& origin) { m_shelf->add(origin); }

void Form1::AddAccount(const QString& server, const QString& user, const QString& password) {
    m_shelf->addAccount(server, user, password);
}

void Form1::ShowPlaylist(const QString& id) { showPlaylist(id, nullptr); }

void Form1::showPlaylist(const QString& id, const std::shared_ptr<SourceShelf::Channels>& channels) {
    if (!m_shelf->find(ToUtf8(id))) return;
    showingAnotherList();
    Frame1->setVisible(true);
    Frame3->setVisible(false);
    Frame4->setVisible(false);
    m_shown.id = ToUtf8(id);
    m_shown.channels.reset();
    ListView1->channels()->clear();
    Combo1->setItems({Msg("MSG_ALL")});
    Combo1->setEditText(Msg("MSG_ALL"));
    if (channels)
        showPlaylistRows(id, channels);  // as it was just read
    else
        m_shelf->load(m_shown.id);
}

bool Form1::RenamePlaylist(const QString& id, const QString& name) { return m_shelf->rename(ToUtf8(id), name); }

bool Form1::RemovePlaylist(const QString& id) {
    const bool shown = ToUtf8(id) == m_shown.id;
    if (!m_shelf->remove(ToUtf8(id))) return false;
    if (shown) cmdTV_Click();  // back to the designed list
    return true;
}

QString Form1::shownPlaylist() const { return QString::fromStdString(m_shown.id); }

void Form1::showSourceGroup() {
    if (!m_shown.channels) return;
    // The rows are kept once: in the list while every group shows, here while one group does.
    std::vector<ListRow>& all = m_shown.channels->rows;
    if (all.empty()) all = ListView1->rows();
    const std::string group = ToUtf8(Combo1->currentText());
    if (group.empty() || Combo1->currentText() == Msg("MSG_ALL")) {
        ListView1->channels()->setRows(std::move(all));
        all = {};
        return;
    }
    std::vector<ListRow> rows;
    for (const ListRow& row : all)
        if (row.language == group) rows.push_back(row);  // the "Type" column holds the group
    ListView1->channels()->setRows(std::move(rows));
}

const catalogue::ChannelExtras* Form1::extrasOf(const ListView* list, const ListRow& row) const {
    const std::string& address = row.address;
    if (list == ListView1 && m_directory)
        if (const catalogue::ChannelExtras* station = m_directory->extrasOf(address)) return station;
    if (list == ListView1 && m_shown.channels) {
        const auto found = m_shown.channels->extras.find(SourceShelf::RowKey(row));
        return found == m_shown.channels->extras.end() ? nullptr : &found->second;
    }
    const auto found = m_extras.find(address);  // the favourites' side file: by address
    return found == m_extras.end() ? nullptr : &found->second;
}

logo_cache::Origin Form1::logoOriginOf(const ListView* list, const ListRow& row) const {
    // The favourites are the user's own choice; a web playlist and the radio directory are not.
    if (list != ListView1) return logo_cache::Origin::Own;
    if (m_directory && m_directory->extrasOf(row.address)) return logo_cache::Origin::Far;
    if (m_shown.channels)
        if (const sources::Source* source = m_shelf->find(m_shown.id); source && sources::IsWebAddress(source->origin))
            return logo_cache::Origin::Far;
    return logo_cache::Origin::Own;
}
