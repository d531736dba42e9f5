// The main window's lists as lists of many channels: a failed channel's mark, the filter line,
// next and previous along the playing channel's own list, the selection following what plays,
// and removing many favourites at once with an undo.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <algorithm>

#include "guide/guide_store.h"
#include "player/player_pane.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "widgets/channel_filter.h"
#include "widgets/design.h"
#include "widgets/file_browser.h"
#include "widgets/list_view.h"
#include "widgets/logo_icons.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"
#include "windows/main_window.h"
#include "windows/radio_directory.h"

namespace {

// The first row playing `address`: the selected one when it does, else the first in the list.
int RowPlaying(const ListView* list, const std::string& address) {
    const int selected = list->selectedIndex();
    if (selected >= 0 && list->row(selected).address == address) return selected;
    const std::vector<ListRow>& rows = list->rows();
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const ListRow& r) { return r.address == address; });
    return row == rows.end() ? -1 : static_cast<int>(row - rows.begin());
}

}  // namespace

void Form1::connectLists() {
    // A channel that failed this run is marked in every list that holds it (the stream check's
    // dead mark, with the reason as its tooltip); one that plays again loses the mark.
    connect(WindowsMediaPlayer1, &PlayerPane::failed, this, [this](const QString& url, const QString& reason) {
        for (ListView* list : {ListView1, ListView2})
            list->channels()->setMark(ToUtf8(url), StreamMark{StreamMark::Kind::Dead, ToUtf8(reason)});
    });
    connect(WindowsMediaPlayer1, &PlayerPane::playStateChanged, this, [this](const QString& state) {
        if (state != QLatin1String("playing")) return;
        for (ListView* list : {ListView1, ListView2})
            list->channels()->clearMark(ToUtf8(WindowsMediaPlayer1->url()), StreamMark::Kind::Dead);
    });

    // Typing a name's first letters finds its row and gets it ready; Enter or a click plays it.
    connect(ListView1, &ListView::typedTo, this, [this] {
        const int index = ListView1->selectedIndex();
        if (EditMode && index >= 0 && !editFieldsChanged()) fillEditFields(index);
        prepareRow(ListView1, index);
    });
    connect(ListView2, &ListView::typedTo, this, [this] { prepareRow(ListView2, ListView2->selectedIndex()); });

    mnuFindChannel = new QAction(QStringLiteral("Find Channel…"), mnuFile);  // translated as a menu entry
    mnuFindChannel->setObjectName(QStringLiteral("mnuFindChannel"));
    mnuFindChannel->setProperty(design::kMenuEntry, true);
    mnuFindChannel->setShortcut(QKeySequence::Find);
    mnuFile->insertAction(mnuPlaylistSeparator, mnuFindChannel);
    connect(mnuFindChannel, &QAction::triggered, this, [this] {
        if (Frame3->isVisible())
            ListView2->openFilter();
        else if (Frame1->isVisible())
            ListView1->openFilter();
    });

    // A channel's logo (tvg-logo of the playlist it came from) is its row's icon, fetched for
    // the rows drawn only.
    m_logos = new LogoIcons(this);
    for (ListView* list : {ListView1, ListView2})
        list->channels()->setIconSource([this, list](const ListRow& row) {
            const catalogue::ChannelExtras* extras = extrasOf(list, row);
            return extras ? m_logos->icon(extras->logo, logoOriginOf(list, row)) : QIcon();
        });
    connect(m_logos, &LogoIcons::ready, this, [this] {
        for (ListView* list : {ListView1, ListView2}) list->channels()->refreshIcons();
    });
    // The playing channel's logo stands on the sound backdrop, above its name.
    connect(WindowsMediaPlayer1, &PlayerPane::mediaChanged, this, &Form1::showPlayingExtras);
    connect(m_logos, &LogoIcons::pictureReady, this, [this](const QString& address, const QImage& image) {
        if (address == m_logoWanted) WindowsMediaPlayer1->setLogo(image);
    });

    // Digits typed over a list or the picture zap to that channel number once typing pauses.
    connect(WindowsMediaPlayer1, &PlayerPane::digitTyped, this, &Form1::typeDigit);
    m_numberTimer.setSingleShot(true);
    connect(&m_numberTimer, &QTimer::timeout, this, &Form1::zapToNumber);

    // Many favourites go at once: every selected row, one save, and Ctrl+Z brings them back.
    ListView2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* removeKey = new QAction(QStringLiteral("Remove from Favorites"), ListView2);
    removeKey->setObjectName(QStringLiteral("removeFavoritesKey"));
    removeKey->setShortcut(QKeySequence::Delete);
    removeKey->setShortcutContext(Qt::WidgetShortcut);
    ListView2->addAction(removeKey);
    connect(removeKey, &QAction::triggered, this, &Form1::Command1_Click);
    auto* undoKey = new QAction(QStringLiteral("Undo Remove"), Frame3);
    undoKey->setObjectName(QStringLiteral("undoRemoveKey"));
    undoKey->setShortcut(QKeySequence::Undo);
    undoKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    Frame3->addAction(undoKey);
    connect(undoKey, &QAction::triggered, this, &Form1::UndoRemoveFavorites);
    connectRadioDirectory();
}

void Form1::connectRadioDirectory() {
    // Searched from the Radio category's own list (not a playlist's, not the editor's).
    m_directory = new RadioDirectory(
        ListView1, [this] { return CurrentCategory == "Radio" && m_shown.id.empty() && !EditMode; },
        [] {
            return GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kRadioDirectoryServers,
                              "");
        },
        this);
    connect(m_directory, &RadioDirectory::left, this, &Form1::LoadChannelList);
    // Logos arrive for the stations' rows as for a playlist's.
    connect(m_directory, &RadioDirectory::answered, this, [this] { ListView1->channels()->refreshIcons(); });
}

// The playing row's number and logo on the banner and the sound backdrop.
void Form1::showPlayingExtras() {
    // The row played, by its name and address: two rows of one address have their own logo.
    const QString url = m_playing.address;
    const QString row = m_playing.name + QLatin1Char('\n') + url;
    if (row == m_logoFor) return;
    m_logoFor = row;
    const auto* list = qobject_cast<const ListView*>(m_playing.list.data());
    const ListRow played{ToUtf8(m_playing.name), ToUtf8(url), {}, {}, {}};
    const catalogue::ChannelExtras* extras = extrasOf(list ? list : ListView1, played);
    WindowsMediaPlayer1->setChannelNumber(channelNumberOf(list, played, extras));
    if (extras && !extras->logo.empty())
        m_logos->picture(extras->logo, kBackdropLogoPixels, logoOriginOf(list ? list : ListView1, played));
    m_logoWanted = extras ? QString::fromStdString(extras->logo) : QString();
}

ListRow Form1::favouriteOf(const ListRow& row) {
    // The logo (and a playlist's number and group) go along, kept by address beside the file.
    if (const catalogue::ChannelExtras* extras = extrasOf(ListView1, row); extras && !extras->empty()) {
        const catalogue::ChannelExtras kept = m_extras[row.address];
        if (kept.logo != extras->logo || kept.number != extras->number || kept.group != extras->group ||
            kept.options != extras->options) {
            m_extras[row.address] = *extras;
            catalogue::SaveExtras(m_extras);
        }
        // Its guide's id goes along, where the favourites keep the ids of imported channels.
        if (!extras->tvgId.empty() && tvgIdOf(row.address) != extras->tvgId) {
            m_tvgIds[row.address] = extras->tvgId;
            guide::SaveIds(m_tvgIds);
        }
    }
    if (const radio_directory::Station* station = m_directory ? m_directory->station(row.address) : nullptr)
        return RadioDirectory::FavouriteRow(*station);
    return ListRow{row.name, row.address, row.category, row.language, {}};
}

QString Form1::channelNumberOf(const ListView* list, const ListRow& played,
                               const catalogue::ChannelExtras* extras) const {
    // The playlist's own number (tvg-chno), else its place in the list it was chosen in.
    if (extras && !extras->number.empty()) return QString::fromStdString(extras->number);
    if (!list) return {};
    const std::vector<ListRow>& rows = list->rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].address == played.address && rows[i].name == played.name) return QString::number(i + 1);
    return {};
}

// Whether the list has numbers of its own (a playlist's tvg-chno) for digits to zap to.
bool Form1::listHasNumbers(const ListView* list) const {
    const std::vector<ListRow>& rows = list->rows();
    return std::any_of(rows.begin(), rows.end(), [&](const ListRow& r) {
        const catalogue::ChannelExtras* extras = extrasOf(list, r);
        return extras && !extras->number.empty();
    });
}

void Form1::typeDigit(int digit) {
    if (m_typedNumber.size() >= 5) m_typedNumber.clear();  // no list holds a longer number
    m_typedNumber += QChar(u'0' + digit);
    WindowsMediaPlayer1->showNote(Msg("MSG_CHANNELNUMBER").arg(m_typedNumber), kNumberPauseMs + 500);
    m_numberTimer.start(kNumberPauseMs);
}

void Form1::zapToNumber() {
    const QString typed = m_typedNumber;
    m_typedNumber.clear();
    if (!Frame1->isVisible() && !Frame3->isVisible()) return;  // the files have no numbers
    ListView* list = Frame3->isVisible() ? ListView2 : ListView1;
    // The playlist's own number (tvg-chno) where the row has one, else its place in the list.
    const std::string number = ToUtf8(typed);
    const std::vector<ListRow>& rows = list->rows();
    int found = -1;
    for (std::size_t i = 0; i < rows.size() && found < 0; ++i)
        if (const catalogue::ChannelExtras* extras = extrasOf(list, rows[i]); extras && extras->number == number)
            found = static_cast<int>(i);
    if (found < 0) {
        const int place = typed.toInt();
        if (!listHasNumbers(list) && place >= 1 && place <= list->rowCount()) found = place - 1;
    }
    if (found < 0) {
        WindowsMediaPlayer1->showNote(Msg("MSG_NOCHANNELNUMBER").arg(typed), 3000);
        return;
    }
    list->selectRow(found);
    m_zapList = list;
    zapNow();
}

void Form1::Command1_Click() {
    if (!favoritesChangeable()) return;
    const std::vector<int> selected = ListView2->selectedRowIndexes();
    if (selected.empty()) return;
    Removed removed;
    for (const int index : selected) removed.rows.emplace_back(index, ListView2->row(index));
    ListView2->channels()->removeRowsAt(selected);
    // Kept for Ctrl+Z once the file holds the list without them (a failed save shows them again).
    if (SaveFavorites()) m_removedFavorites = std::move(removed);
}

void Form1::UndoRemoveFavorites() {
    if (m_removedFavorites.rows.empty() || !favoritesChangeable()) return;
    Removed removed = std::move(m_removedFavorites);
    m_removedFavorites = {};
    std::vector<int> back;
    for (auto& [index, row] : removed.rows) back.push_back(ListView2->channels()->insertRow(index, std::move(row)));
    SaveFavorites();
    ListView2->selectRows(back);
}

void Form1::zapBy(int step) {
    // Next and previous go along the list the playing channel came from, whichever list shows;
    // keys pressed again before the zap go on from the row they reached.
    QWidget* shown = Frame3->isVisible()   ? static_cast<QWidget*>(ListView2)
                     : Frame4->isVisible() ? static_cast<QWidget*>(File1)
                                           : static_cast<QWidget*>(ListView1);
    QWidget* origin = m_playing.list ? m_playing.list.data() : shown;
    m_keyStep = step > 0 ? 1 : -1;
    if (origin == File1) {
        if (File1->count() == 0) return;
        const int row = std::clamp(File1->currentRow() + step, 0, File1->count() - 1);
        File1->setCurrentRow(row);
    } else {
        auto* list = static_cast<ListView*>(origin);
        int from = -1;
        if (m_zapTimer.isActive() && m_zapList == list)
            from = list->selectedIndex();
        else if (!m_playing.address.isEmpty())
            from = RowPlaying(list, ToUtf8(m_playing.address));
        if (from < 0) from = list->selectedIndex();
        const int row = list->rowBeside(from, step);
        if (row < 0) return;
        list->selectRow(row);
    }
    zapSoon(origin);
}

void Form1::playLastChannel() {
    if (m_previous.address.isEmpty() || chkLoad->isChecked()) return;  // nothing plays while editing says so
    const Played last = m_previous;
    play(last.address, last.name, last.fromUser, last.list);
    followPlaying();
}

void Form1::followPlaying() {
    // Its row, where a list shows it, comes under the selection, so Page Up and Down go on from
    // there; a list showing no row of it no longer highlights the channel before. (Not in the
    // editor, whose fields follow the row clicked.)
    const std::string address = ToUtf8(m_playing.address);
    for (ListView* list : {ListView1, ListView2}) {
        if (!list->isVisible() || (list == ListView1 && EditMode)) continue;
        list->selectRow(RowPlaying(list, address));
    }
}
