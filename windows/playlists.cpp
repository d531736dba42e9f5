// The main window's playlists and guide: importing M3U and PLS playlists into the favourites
// and the catalogue editor, exporting the favourites and the catalogue as extended M3U, the
// programme guide's now and next, and the operator's stream check.
#include <QAction>
#include <QDateTime>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QInputDialog>
#include <QLocale>
#include <QMenu>
#include <QProgressDialog>
#include <QTimer>
#include <filesystem>
#include <unordered_set>

#include "base/file_io.h"
#include "base/program_files.h"
#include "base/windows1252.h"
#include "catalogue/catalogue_writer.h"
#include "catalogue/catchup.h"
#include "catalogue/channel_lines.h"
#include "catalogue/channel_list.h"
#include "catalogue/codec.h"
#include "catalogue/playlist.h"
#include "catalogue/playlist_sources.h"
#include "guide/guide_merge.h"
#include "player/player_pane.h"
#include "player/stream_address.h"
#include "services/fetch.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "widgets/background.h"
#include "widgets/design.h"
#include "widgets/list_view.h"
#include "widgets/message_box.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"
#include "windows/background_jobs.h"
#include "windows/main_window.h"

namespace {

// A playlist's text from a file or a web address; on failure, nothing and `why` for the user.
// Runs on a worker: no event pump; `cancel` ends a download.
std::optional<std::string> ReadPlaylistSource(const QString& source, QString& why, const std::atomic<bool>& cancel) {
    if (source.contains(QStringLiteral("://"))) {
        FetchLimits limits;
        limits.maxBytes = playlist::kMaxBytes;
        limits.pumpEvents = false;
        limits.cancel = &cancel;
        const FetchResult fetched = FetchPageReport(source.toStdString(), limits);
        if (fetched.cancelled) return std::nullopt;
        if (!fetched.arrived()) {
            why = Msg("MSG_PLAYLISTNOTDOWNLOADED").arg(source, QString::fromStdString(fetched.failure));
            return std::nullopt;
        }
        if (!fetched.succeeded()) {
            why = Msg("MSG_PLAYLISTHTTPERROR").arg(source).arg(fetched.status);
            return std::nullopt;
        }
        return fetched.body;
    }
    std::error_code ec;
    const std::filesystem::path path = source.toStdString();
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > playlist::kMaxBytes) {
        why = Msg("MSG_PLAYLISTTOOLARGE").arg(source);
        return std::nullopt;
    }
    auto text = base::ReadFileCapped(path, playlist::kMaxBytes);
    if (!text) why = Msg("MSG_PLAYLISTUNREADABLE").arg(source);
    return text;
}

// A playlist entry as a list row: nothing when the row could not be stored (a "|" would split
// the catalogue line, and the codec takes lines of limited length).
std::optional<ListRow> RowOf(const playlist::Entry& e) {
    std::string name = e.name.empty() ? e.address : e.name;
    std::string language = e.language;
    for (std::string* field : {&name, &language})
        for (char& c : *field)
            if (c == '|') c = '/';
    if (e.address.find('|') != std::string::npos) return std::nullopt;
    ListRow row{name, e.address, playlist::CategoryFor(e), language, {}};
    if (catalogue::JoinLine(row.name, row.address, row.category, row.language).size() > modGenDec::kMaxLineLength)
        return std::nullopt;
    return row;
}

playlist::Entry EntryOf(const catalogue::LineFields& f, const std::string& tvgId,
                        const catalogue::ChannelExtras* extras = nullptr) {
    playlist::Entry e;
    e.name = std::string(f.name);
    e.address = std::string(f.address);
    e.group = std::string(f.category);
    e.language = std::string(f.language);
    e.tvgId = tvgId;
    e.radio = f.category == "Radio";
    if (extras) {  // what the playlist it came from said
        e.logo = extras->logo;
        e.number = extras->number;
        e.options = extras->options;
        e.catchup = extras->catchup;
        if (!extras->group.empty()) e.group = extras->group;
    }
    return e;
}

QString SkippedText(int refused, int duplicates, std::size_t leftOut) {
    QString text;
    if (leftOut > 0)
        text += QLatin1Char(' ') + Msg("MSG_PLAYLISTLEFTOUT")
                                       .arg(static_cast<qulonglong>(playlist::kMaxEntries))
                                       .arg(static_cast<qulonglong>(leftOut));
    if (refused == 1) text += QLatin1Char(' ') + Msg("MSG_PLAYLISTSKIPPEDONE");
    if (refused > 1) text += QLatin1Char(' ') + Msg("MSG_PLAYLISTSKIPPED").arg(refused);
    if (duplicates == 1) text += QLatin1Char(' ') + Msg("MSG_PLAYLISTDUPLICATEONE");
    if (duplicates > 1) text += QLatin1Char(' ') + Msg("MSG_PLAYLISTDUPLICATES").arg(duplicates);
    return text;
}

QString ProblemText(const playlist::Playlist& list, const QString& source) {
    switch (list.problem) {
        case playlist::Problem::None:
        case playlist::Problem::Cancelled: break;
        case playlist::Problem::TooLarge: return Msg("MSG_PLAYLISTTOOLARGE").arg(source);
        case playlist::Problem::LineTooLong: return Msg("MSG_PLAYLISTLINETOOLONG").arg(list.problemLine).arg(source);
    }
    return {};
}

// A row is a duplicate only with the same name and address: a provider lists one stream under
// several names, and each is a channel of its own to the user.
std::string DuplicateKey(const std::string& name, const std::string& address) { return name + '\x1f' + address; }

// The entries a list can take as rows. Those the pane would refuse or a list file cannot hold,
// and those whose address is already `known`, are counted instead.
struct Taken {
    std::vector<ListRow> rows;
    std::vector<const playlist::Entry*> entries;  // each row's entry
    int refused = 0, duplicates = 0;
};
Taken TakeEntries(const std::vector<playlist::Entry>& entries, std::unordered_set<std::string> known) {
    Taken out;
    for (const playlist::Entry& e : entries) {
        auto row = RowOf(e);
        if (!row || !stream_address::IsAllowed(e.address, stream_address::Origin::List)) {
            ++out.refused;
            continue;
        }
        if (!known.insert(DuplicateKey(row->name, e.address)).second) {
            ++out.duplicates;
            continue;
        }
        out.rows.push_back(std::move(*row));
        out.entries.push_back(&e);
    }
    return out;
}

// A playlist from a file or a web address, read and taken apart into rows on a worker while the
// window goes on; a progress window with "Cancel" shows when it takes a while. Nothing when it
// cannot be read (the user told why) or was cancelled.
struct Loaded {
    std::shared_ptr<const playlist::Playlist> list;
    Taken taken;              // its entries point into `list`
    std::string encodedRows;  // its rows as favourites lines
    // What the favourites keep beside those lines, by address: made on the worker too, so that
    // an import of 200,000 entries costs the window only the ones that have any.
    std::vector<std::pair<std::string, catalogue::ChannelExtras>> extras;
    std::vector<std::pair<std::string, std::string>> ids;  // tvg-ids
};
// `importing` holds the reading's progress while it runs (one import at a time: closing the
// window ends the one under way through it).
std::optional<Loaded> LoadPlaylist(QWidget* parent, const QString& source, std::unordered_set<std::string> known,
                                   std::shared_ptr<playlist::Progress>& importing) {
    importing = std::make_shared<playlist::Progress>();
    const std::shared_ptr<playlist::Progress> progress = importing;
    struct Done {
        std::shared_ptr<playlist::Progress>& slot;
        ~Done() { slot.reset(); }
    } done{importing};
    struct Outcome {
        std::optional<Loaded> loaded;
        QString why;
    };
    QFutureWatcher<Outcome> watcher;
    watcher.setFuture(RunInBackground<Outcome>([source, known = std::move(known), progress]() mutable {
        Outcome out;
        const auto text = ReadPlaylistSource(source, out.why, progress->cancel);
        if (!text || progress->cancel) return out;
        auto list = std::make_shared<playlist::Playlist>(playlist::Read(*text, ToUtf8(source), progress.get()));
        if (list->problem == playlist::Problem::Cancelled) return out;
        if (list->problem != playlist::Problem::None) {
            out.why = ProblemText(*list, source);
            return out;
        }
        Taken taken = TakeEntries(list->entries, std::move(known));
        std::string encoded;
        try {
            for (const ListRow& row : taken.rows) {
                const catalogue::Channel line = row.designedFields();
                catalogue::AppendEncodedLine(encoded, line.name, line.address, line.category, line.language);
            }
        } catch (const std::exception&) {
            encoded.clear();  // the window's own save says what went wrong
        }
        std::vector<std::pair<std::string, catalogue::ChannelExtras>> extras;
        std::vector<std::pair<std::string, std::string>> ids;
        for (std::size_t i = 0; i < taken.entries.size(); ++i) {
            const playlist::Entry* e = taken.entries[i];
            catalogue::ChannelExtras kept{e->logo, e->number, e->group, e->options, {}, {}, {}, e->catchup};
            taken.rows[i].keepFullTexts(kept);  // what its favourites line cannot hold of its name
            if (!kept.empty()) extras.emplace_back(e->address, std::move(kept));
            if (!e->tvgId.empty()) ids.emplace_back(e->address, e->tvgId);
        }
        out.loaded = Loaded{std::move(list), std::move(taken), std::move(encoded), std::move(extras), std::move(ids)};
        return out;
    }));
    QProgressDialog dialog(Msg("MSG_PLAYLISTREADING").arg(source), Msg("MSG_CANCEL"), 0, 1000, parent);
    dialog.setObjectName(QStringLiteral("playlistProgress"));
    dialog.setWindowTitle(Msg("MSG_IMPORTPLAYLIST"));
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(400);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    QEventLoop wait;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &wait, &QEventLoop::quit);
    QObject::connect(&dialog, &QProgressDialog::canceled, &wait, [&] { progress->cancel = true; });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &dialog, [&] {
        const std::size_t total = progress->bytesTotal;
        if (total > 0)
            dialog.setValue(static_cast<int>(std::min<std::size_t>(progress->bytesRead * 1000 / total, 999)));
    });
    tick.start(100);
    if (!watcher.isFinished()) wait.exec();
    Outcome out = watcher.future().takeResult();
    if (!out.why.isEmpty() && !progress->cancel) ShowMessage(parent, out.why);
    if (progress->cancel) return std::nullopt;
    return std::move(out.loaded);
}

bool LooksLikePlaylistFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return !path.contains(QStringLiteral("://")) && QFileInfo(path).isFile() &&
           (suffix == QLatin1String("m3u") || suffix == QLatin1String("m3u8") || suffix == QLatin1String("pls"));
}

}  // namespace

void Form1::buildPlaylistMenu() {
    // The entries go above the File menu's line, so "Exit" stays last.
    QAction* line = mnuFileItem.size() > 1 ? mnuFileItem[1] : nullptr;
    const auto add = [&](const char* name, const char* caption, bool operatorOnly) {
        auto* a = new QAction(QString::fromUtf8(caption), mnuFile);
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty(design::kMenuEntry, true);  // translated with the designed entries
        mnuFile->insertAction(line, a);
        if (operatorOnly) {
            a->setVisible(false);
            m_operatorActions.push_back(a);
        }
        return a;
    };
    mnuPlaylistSeparator = mnuFile->insertSeparator(line);
    mnuImportPlaylist = add("mnuImportPlaylist", "Import Playlist into Favorites…", false);
    mnuExportFavorites = add("mnuExportFavorites", "Export Favorites as M3U…", false);
    mnuGuideGrid = add("mnuGuideGrid", "Programme Guide…", false);
    mnuGuideAddress = add("mnuGuideAddress", "Programme Guide Address…", false);
    mnuUpdateGuide = add("mnuUpdateGuide", "Update Programme Guide", false);
    mnuImportIntoEditor = add("mnuImportIntoEditor", "Import Playlist into Channel List…", true);
    mnuExportCatalogue = add("mnuExportCatalogue", "Export Channel List as M3U…", true);
    mnuCheckStreams = add("mnuCheckStreams", "Check Streams", true);
    mnuDeleteDead = add("mnuDeleteDead", "Delete Dead Streams…", true);
}

void Form1::connectPlaylists() {
    m_guide = new GuideUpdates(this);
    const auto askSource = [this](const QString& title) {
        // A file, or an address typed in place of a file name.
        QString source = QFileDialog::getOpenFileName(this, title, QString(), Msg("MSG_PLAYLISTFILES"));
        return source;
    };
    connect(mnuImportPlaylist, &QAction::triggered, this, [this, askSource] {
        bool ok = false;
        QString source = AskText(this, Msg("MSG_IMPORTPLAYLIST"), Msg("MSG_IMPORTPLAYLISTASK"), QString(), &ok);
        if (!ok) return;
        if (source.trimmed().isEmpty()) source = askSource(Msg("MSG_IMPORTPLAYLIST"));
        if (!source.isEmpty()) ImportPlaylist(source.trimmed());
    });
    connect(mnuImportIntoEditor, &QAction::triggered, this, [this, askSource] {
        const QString source = askSource(Msg("MSG_IMPORTINTOEDITOR"));
        if (!source.isEmpty()) ImportIntoEditor(source);
    });
    const auto askTarget = [this](const QString& title, const QString& name) {
        return QFileDialog::getSaveFileName(this, title, name, Msg("MSG_M3UFILES"));
    };
    connect(mnuExportFavorites, &QAction::triggered, this, [this, askTarget] {
        const QString path = askTarget(Msg("MSG_EXPORTFAVORITES"), QStringLiteral("Favorites.m3u"));
        if (!path.isEmpty()) ExportFavorites(path);
    });
    connect(mnuExportCatalogue, &QAction::triggered, this, [this, askTarget] {
        const QString path = askTarget(Msg("MSG_EXPORTCATALOGUE"), QStringLiteral("Channels.m3u"));
        if (!path.isEmpty()) ExportCatalogue(path);
    });
    connect(mnuGuideAddress, &QAction::triggered, this, [this] {
        bool ok = false;
        const QString address = AskText(this, Msg("MSG_GUIDETITLE"), Msg("MSG_GUIDEADDRESSASK"), guideAddress(), &ok);
        if (ok) SetGuideAddress(address.trimmed());
    });
    connect(mnuUpdateGuide, &QAction::triggered, this, [this] {
        if (m_guide->running())
            CancelGuideUpdate();
        else
            UpdateGuide(true);
    });
    connectSources();
    connectGuideWindow();
    connectFinding();
    connectStreamCheck();

    connect(m_guide, &GuideUpdates::finished, this, [this](bool, const QString& failure) {
        showBusy(mnuUpdateGuide, false);
        refreshGuideText();
        showListColumns();
        // What became of it stands in the status line for a moment, and in the File menu under
        // the update's entry until the next one.
        const QString at = QLocale().toString(QTime::currentTime(), QLocale::ShortFormat);
        const QString result =
            failure.isEmpty() ? Msg("MSG_GUIDEUPDATED").arg(at) : Msg("MSG_GUIDENOTUPDATEDAT").arg(at, failure);
        WindowsMediaPlayer1->showNote(result);
        if (!mnuGuideResult) {
            // The last update's result and time, under its entry: shown, never chosen.
            const QList<QAction*> entries = mnuFile->actions();
            const qsizetype at = entries.indexOf(mnuUpdateGuide);
            mnuGuideResult = new QAction(mnuFile);
            mnuGuideResult->setObjectName(QStringLiteral("mnuGuideResult"));
            mnuGuideResult->setEnabled(false);
            mnuFile->insertAction(at + 1 < entries.size() ? entries[at + 1] : nullptr, mnuGuideResult);
        }
        mnuGuideResult->setText(result);
        if (!failure.isEmpty() && m_guideUpdateTold) ShowMessage(this, Msg("MSG_GUIDENOTUPDATED").arg(failure));
        // An update the program started by itself (at start) fails quietly: an offline start
        // should not greet the user with a message. The cached guide stays either way.
        if (!failure.isEmpty() && !m_guideUpdateTold) {
            qWarning("The programme guide could not be updated: %s", qPrintable(failure));
            // One of several guides that failed: the others were read, and the line says which did not.
            if (guide::SplitAddresses(allGuides()).size() > 1)
                WindowsMediaPlayer1->showNote(Msg("MSG_GUIDENOTUPDATED").arg(failure));
        }
    });
    connect(m_guide, &GuideUpdates::cacheLoaded, this, [this] {
        refreshGuideText();
        showListColumns();
    });
    // The guide's "now" moves on by itself.
    m_guideTimer.setInterval(30 * 1000);
    connect(&m_guideTimer, &QTimer::timeout, this, [this] {
        refreshGuideText();
        refreshListColumns();
    });
    m_guideTimer.start();
    ListView1->channels()->setToolTipSource([this](const ListRow& row) { return guideTextFor(ListView1, row); });
    ListView2->channels()->setToolTipSource([this](const ListRow& row) { return guideTextFor(ListView2, row); });
}

void Form1::showOperatorActions() {
    for (QAction* a : m_operatorActions) a->setVisible(true);
}

void Form1::OpenMedia(const QString& media) {
    if (LooksLikePlaylistFile(media))
        ImportPlaylist(media);
    else
        PlayAddress(media);
}

// ---- Import and export -------------------------------------------------------------------

bool Form1::ImportPlaylist(const QString& source) {
    if (!favoritesChangeable() || m_importing) return false;
    std::unordered_set<std::string> known;
    for (const ListRow& row : ListView2->rows()) known.insert(DuplicateKey(row.name, row.address));
    auto loaded = LoadPlaylist(this, source, std::move(known), m_importing);
    if (!loaded) return false;
    const playlist::Playlist* list = loaded->list.get();
    Taken& taken = loaded->taken;
    const bool idsChanged = !loaded->ids.empty(), extrasChanged = !loaded->extras.empty();
    for (auto& [address, extras] : loaded->extras) m_extras[address] = std::move(extras);
    for (auto& [address, id] : loaded->ids) m_tvgIds[address] = std::move(id);
    const int added = static_cast<int>(taken.rows.size());
    if (added > 0) {
        ListView2->channels()->appendRows(std::move(taken.rows));
        if (loaded->encodedRows.empty())
            SaveFavorites();
        else
            SaveFavorites(loaded->encodedRows, static_cast<std::size_t>(added));
        if (idsChanged) guide::SaveIds(m_tvgIds);
        if (extrasChanged) catalogue::SaveExtras(m_extras);
    }
    cmdFavorites_Click();
    QString message = added == 1 ? Msg("MSG_ADDEDFAVORITEONE") : Msg("MSG_ADDEDFAVORITES").arg(added);
    message += SkippedText(taken.refused, taken.duplicates, list->leftOut);
    // The playlist's own guide, when the user has none yet, is used only when the user agrees:
    // a playlist is untrusted, and its guide is fetched at every start. It must be on the web,
    // never a local file the playlist names.
    const QString offered = Utf8ToQt(list->guideAddress);
    const bool webGuide = offered.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                          offered.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    if (webGuide && guideAddress().isEmpty() && added > 0) {
        message += QStringLiteral("\n\n") + Msg("MSG_PLAYLISTOFFERSGUIDE").arg(offered);
        if (AskYesNo(this, message)) saveSetting(settings_keys::kGuideAddress, list->guideAddress);
    } else {
        ShowMessage(this, message);
    }
    if (!guideAddress().isEmpty() && added > 0) UpdateGuide(false, true);
    return added > 0;
}

bool Form1::ImportIntoEditor(const QString& source) {
    if (m_importing) return false;
    std::unordered_set<std::string> known;
    for (const ListRow& row : ListView1->rows()) known.insert(DuplicateKey(row.name, row.checkedAddress()));
    auto loaded = LoadPlaylist(this, source, std::move(known), m_importing);
    if (!loaded) return false;
    const playlist::Playlist* list = loaded->list.get();
    Taken& taken = loaded->taken;
    for (ListRow& row : taken.rows) row.url = row.address;  // what "Encrypt and Save" writes
    const int added = static_cast<int>(taken.rows.size());
    ListView1->channels()->appendRows(std::move(taken.rows));  // a sorted list keeps its order
    if (taken.refused > 0 || taken.duplicates > 0 || list->leftOut > 0 || added == 0)
        ShowMessage(this, (added == 1 ? Msg("MSG_ADDEDLISTONE") : Msg("MSG_ADDEDLIST").arg(added)) +
                              SkippedText(taken.refused, taken.duplicates, list->leftOut));
    return added > 0;
}

bool Form1::writePlaylist(const QString& path, const std::vector<playlist::Entry>& entries, const std::string& guide) {
    const auto written = base::ReplaceFileAtomically(path.toStdString(), playlist::WriteM3u(entries, guide));
    if (!written) ShowMessage(this, Msg("MSG_PLAYLISTNOTSAVED").arg(path) + QStringLiteral("\n") + ToQt(written.error));
    return bool(written);
}

bool Form1::ExportFavorites(const QString& path) {
    std::vector<playlist::Entry> entries;
    for (const ListRow& row : ListView2->rows()) {
        const auto extras = m_extras.find(row.address);
        entries.push_back(
            EntryOf(row.playedFields(), tvgIdOf(row.address), extras == m_extras.end() ? nullptr : &extras->second));
    }
    // The guide the favourites are shown with goes along, so the export read back has it too.
    return writePlaylist(path, entries, ToUtf8(guideAddress()));
}

bool Form1::ExportCatalogue(const QString& path) {
    std::vector<playlist::Entry> entries;
    for (const ListRow& row : ListView1->rows()) {
        catalogue::LineFields fields = row.editorFields();
        if (fields.address.empty()) fields.address = row.address;
        entries.push_back(EntryOf(fields, {}));
    }
    return writePlaylist(path, entries);
}

// ---- The programme guide -----------------------------------------------------------------

QString Form1::guideAddress() const {
    return ToQt(GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kGuideAddress, ""));
}

void Form1::SetGuideAddress(const QString& address) {
    saveSetting(settings_keys::kGuideAddress, FromQt(address));
    if (address.isEmpty()) {
        CancelGuideUpdate();
        return;
    }
    UpdateGuide(true, true);
}

guide::Wanted Form1::wantedChannels() const {
    guide::Wanted wanted;
    const auto addRows = [&](const std::vector<ListRow>& rows) {
        for (const ListRow& row : rows) wanted.names.insert(guide::NormaliseName(row.name));
    };
    addRows(ListView2->rows());
    // A playlist source's rows are read from its copy on the worker below (they may run to
    // 100,000): walking them here would hold the window.
    if (!m_shown.channels) addRows(ListView1->rows());
    // The catalogue's names straight from its lines: no row is made of a line (a catalogue of
    // 100,000 lines would take its rows' room once more only for this).
    if (const auto text = base::ReadFileCapped(program_files::ReadPath("Data.txt"), catalogue::kMaxCatalogueBytes))
        catalogue::ForEachChannelLine(*text, [&](const catalogue::LineFields& f) {
            wanted.names.insert(guide::NormaliseName(cp1252::ToUtf8(f.name)));
        });
    for (const auto& [address, id] : m_tvgIds) wanted.ids.insert(id);
    wanted.names.erase(std::string());
    // The playlist sources' channels too, read with the guide (they may run to 100,000).
    std::vector<std::filesystem::path> copies;
    if (m_shelf)
        for (const sources::Source& source : m_shelf->list()) copies.push_back(sources::CopyPath(source));
    m_guide->setPlaylists(std::move(copies));
    return wanted;
}

std::string Form1::allGuides() const {
    // The user's own first: a channel it knows is found there before any source's guide.
    std::vector<std::string> addresses{ToUtf8(guideAddress())};
    if (m_shelf)
        for (const sources::Source& source : m_shelf->list())
            for (std::string& address : guide::SplitAddresses(source.guides))
                if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
                    addresses.push_back(std::move(address));
    return guide::JoinAddresses(addresses);
}

void Form1::UpdateGuide(bool told, bool fresh) {
    const std::string addresses = allGuides();
    if (addresses.empty()) {
        if (told) ShowMessage(this, Msg("MSG_NOGUIDESET"));
        return;
    }
    m_guideUpdateTold = told;
    m_guide->start(addresses, wantedChannels(), fresh);
    showBusy(mnuUpdateGuide, true);
}

void Form1::CancelGuideUpdate() {
    m_guide->cancel();
    showBusy(mnuUpdateGuide, false);
}

std::string Form1::tvgIdOf(const std::string& address) const {
    const auto id = m_tvgIds.find(address);
    return id == m_tvgIds.end() ? std::string() : id->second;
}

std::string Form1::tvgIdOf(const ListView* list, const ListRow& row) const {
    if (const catalogue::ChannelExtras* extras = extrasOf(list, row); extras && !extras->tvgId.empty())
        return extras->tvgId;
    return tvgIdOf(row.address);
}

QString Form1::guideTextFor(const ListView* list, const ListRow& row) const {
    if (!m_guide) return {};
    return m_guide->nowNext(tvgIdOf(list, row), row.name, QDateTime::currentSecsSinceEpoch());
}

void Form1::refreshGuideText() {
    if (!m_guide) return;
    const auto* list = qobject_cast<const ListView*>(m_playing.list.data());
    const ListRow played{ToUtf8(m_playing.name), ToUtf8(m_playing.address), {}, {}, {}};
    const guide::Schedule* schedule = m_guide->data().find(tvgIdOf(list ? list : ListView1, played), played.name);
    if (!schedule) {
        WindowsMediaPlayer1->setGuideText({});
        return;
    }
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    const guide::NowNext found = guide::Find(*schedule, now);
    const auto programme = [](const guide::Programme* p) {
        return p ? OnScreen::Programme{QString::fromStdString(p->title), p->start, p->stop} : OnScreen::Programme{};
    };
    WindowsMediaPlayer1->setGuideText(GuideUpdates::NowNextText(found), programme(found.now), programme(found.next));
    // The banner offers "Restart" where the archive holds the programme on now.
    const catalogue::ChannelExtras* extras = list ? extrasOf(list, played) : nullptr;
    WindowsMediaPlayer1->setRestartable(
        found.now && extras &&
        catchup::AddressFor(catchup::Read(extras->catchup), played.address, found.now->start, found.now->stop, now));
}
