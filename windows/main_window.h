#pragma once
// The main window: category buttons, the channel, favourites and local-files frames, the
// catalogue editing frame, the player pane and the menus. The composition is built in
// main_window_build.cpp; start-up, layout, navigation and shutdown live here.
#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/channel_extras.h"
#include "guide/xmltv.h"
#include "services/logo_cache.h"
#include "widgets/channel_model.h"
#include "windows/guide_window.h"
#include "windows/source_shelf.h"

namespace playlist {
struct Entry;
struct Progress;
}  // namespace playlist

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressDialog;
class GuideUpdates;
class FindElsewhere;
namespace find_index {
class Index;
}  // namespace find_index
class StreamChecker;
struct ListRow;
class BannerPane;
class QToolButton;
class QPushButton;
class DirListBox;
class DriveListBox;
class FileListBox;
class ListView;
class LogoIcons;
class PickComboBox;
class PictureBox;
class MediaSession;
class PlayerPane;
class RadioDirectory;
class SkinLabel;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence. Ends early, with endedAtStart() true and no window shown, when
    // another instance of the program is running.
    void Form_Load();
    bool endedAtStart() const { return m_endedAtStart; }
    bool loaded() const { return m_loaded; }  // the start-up sequence ran to its end
    int channelCount() const;                 // rows of the channel list now

    // State of the window.
    std::string CurrentCategory;
    std::string LanguageFilter;
    bool RebuildLanguageList = false;
    bool EditMode = false;

    // Channel list and navigation.
    void LoadChannelList();
    void cmdTV_Click();
    void cmdRadio_Click();
    void cmdVideo_Click();
    void cmdXXX_Click();
    void Combo1_Click();
    void mnuCatItem_Click(int index);
    void mnuFileItem_Click(int index);
    void cmdWebsite_Click();
    void cmdSports_Click();
    void cmdExtras_Click();
    void mnuHelpItem_Click(int index);
    void mnuAboutItem_Click(int index);
    void mnuLanguageItem_Click(int index);

    // The main window of the program, or nullptr while none exists.
    static Form1* Loaded();

    // Playback.
    void PlayAddress(const QString& address);  // a stream address or a media file's full path
    void ListView1_Click();
    void ListView2_Click();

    // Favourites.
    void LoadFavorites();
    // Writes the favourites. `encodedLast`, when given, is the last `lastRows` rows already
    // encoded (a large import encodes them beside the window). False (the user told, the list
    // back as the file holds it) when the file could not be written.
    bool SaveFavorites(const std::string& encodedLast = {}, std::size_t lastRows = 0);
    void cmdFav_Click();
    void Command1_Click();       // removes every selected favourite
    void UndoRemoveFavorites();  // the last removal back in its places
    void cmdFavorites_Click();

    // Local media files.
    void cmdFiles_Click();
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();

    // The catalogue editor.
    void Clear_Click();
    void doLoad_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void DELChannel_Click();
    void save_Click();
    void Command2_Click();
    void cmdReplace_Click();
    void cmdMusic_Click();

    // Playlists of other players: a file or a web address; local playlist files on the command
    // line are imported, anything else is played.
    void OpenMedia(const QString& media);
    bool ImportPlaylist(const QString& source);    // into the favourites; true when rows came in
    bool ImportIntoEditor(const QString& source);  // into the editor's list
    bool ExportFavorites(const QString& path);     // extended M3U, replaced atomically
    bool ExportCatalogue(const QString& path);     // the editor's list, as "Encrypt and Save" has it

    // Playlists kept as sources of channels, listed under the Categories menu. Adding reads the
    // playlist in the background and shows it once it is kept.
    void AddPlaylist(const QString& origin);  // a file's path or a web address
    void AddAccount(const QString& server, const QString& user, const QString& password);  // a provider's panel
    void ShowPlaylist(const QString& id);  // in the channel list, its groups in the language box
    bool RenamePlaylist(const QString& id, const QString& name);
    bool RemovePlaylist(const QString& id);
    QString shownPlaylist() const;  // the id of the one in the channel list; "" for a category
    SourceShelf* sourceShelf() const { return m_shelf; }
    // The radio directory searched from the Radio category's filter line.
    RadioDirectory* radioDirectory() const { return m_directory; }
    LogoIcons* logoIcons() const { return m_logos; }

    // The programme guide: its address (a per-user setting), its update in the background.
    QString guideAddress() const;
    void SetGuideAddress(const QString& address);     // saved, then the guide is fetched anew
    void UpdateGuide(bool told, bool fresh = false);  // `told`: a failure is shown in a message
    void CancelGuideUpdate();
    GuideUpdates* guideUpdates() const { return m_guide; }
    FindElsewhere* findElsewhere() const { return m_find; }
    QString guideTextFor(const ListView* list, const ListRow& row) const;  // now and next of a row's channel
    // Every guide to read: the user's own, then each playlist source's (guide::JoinAddresses).
    std::string allGuides() const;

    // The operator's stream check of the editor's list, and the removal of the dead rows.
    void CheckStreams();
    StreamChecker* streamChecker() const { return m_checker; }
    int DeleteDeadStreams(bool ask);  // the number removed

    // The catalogue update from the web.
    void DownloadChannelList();
    static const char* const kUpdatedMessage;

    // Sorting.
    void ListView1_ColumnClick(int columnIndex);
    void ListView2_ColumnClick(int columnIndex);

    void ResizeControls();

    // The message shown when the catalogue cannot be read.
    static const char* const kCatalogueMissingMessage;
    static const char* const kCatalogueTooLargeMessage;
    // What "Decrypt and Load" says of the damaged lines it skipped (their numbers, from 1).
    static QString DamagedLinesMessage(const std::vector<std::size_t>& lines);

    // Saves one of the program's settings, waiting kSettingsLockWait at most for another
    // program's lock (the change is then kept and written later); a failure is told once a run.
    void saveSetting(const char* key, const std::string& value);
    static constexpr std::chrono::milliseconds kSettingsLockWait{100};

signals:
    // The window is going away: the windows that live as long as it does close now.
    void unloaded();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The editing panel lies over the player: above the picture's native window, and above the
    // pane again once full screen (which raises the pane) is left.
    void keepEditorOverPlayer();
    void buildComposition();
    void buildMenus();
    void connectHandlers();
    void showCategory(const char* category, const char* languageKey);
    void requestWebPage(const char* target);
    void retryKeptSettings(std::chrono::milliseconds lockWait);
    void restoreLocalFiles();
    // Writes a file of the program folder from the encoded rows of a list, whole or not at all,
    // and tells the user when it could not: `tooLong` when `encode` throws (a row too long for
    // the codec), `failed` with the system's reason for %1 when the write failed.
    // Fills the favourites list from the file; false when a file exists but cannot be read.
    bool readFavorites();
    // False (and the user told) while the favourites file cannot be read.
    bool favoritesChangeable();
    bool writeListFile(const char* fileName, const std::function<std::string()>& encode, const QString& tooLong,
                       const QString& failed);
    // Applies the language saved by the language window, when there is one.
    void applySavedLanguage();
    // Shows the banner pane in its clipping box and opens the banner page.
    void DisplayBanner();
    void connectEditor();
    void buildPlaylistMenu();
    void connectPlaylists();
    void connectStreamCheck();
    void showOperatorActions();
    void showBusy(QAction* entry, bool busy);
    void retranslateBusyEntries();
    void showingAnotherList();
    bool listHasNumbers(const ListView* list) const;
    void showPlayingExtras();
    bool writePlaylist(const QString& path, const std::vector<playlist::Entry>& entries, const std::string& guide = {});
    guide::Wanted wantedChannels() const;
    std::string tvgIdOf(const std::string& address) const;  // "" for a channel not imported with one
    // A row's tvg-id: the one its playlist gives it, else the one it was imported with.
    std::string tvgIdOf(const ListView* list, const ListRow& row) const;
    void refreshGuideText();
    // The lists' columns after the design's (numbers, what is on now), set for what they show
    // now, and drawn again as the programmes move on.
    void showListColumns();
    void refreshListColumns();
    const guide::Programme* onNow(const ListView* list, const ListRow& row) const;
    void connectPlayer();
    void connectLists();
    void connectSources();
    void connectRadioDirectory();
    // The favourites row of a list row: a directory station's as the favourites keep it (its
    // logo kept beside), else the row's four fields.
    ListRow favouriteOf(const ListRow& row);
    void connectGuideWindow();
    // The programme guide's grid: the channels of the list shown that the guide knows.
    void ShowGuideWindow();
    std::vector<GuideWindow::Channel> guideChannels() const;
    // The grid at a programme of a channel's schedule (the channel added when the list lacks it).
    void showInGuide(const QString& name, const QString& address, const guide::Schedule* schedule,
                     const guide::Programme* programme);
    // A programme that has ended, played from its channel's archive; false when it has none.
    // `onNow`: the programme on now too, from its start.
    bool playFromArchive(const QString& address, const QString& name, const guide::Programme& programme,
                         const ListView* list, bool onNow = false);
    // The programme on now on the channel playing, from its start (Ctrl+R); a note when the
    // channel keeps no archive.
    void restartProgramme();
    // An account's series row (xtream::IsSeriesAddress): its seasons and episodes are asked of
    // the panel on the pool and offered in a menu at the row.
    void openSeries(const QString& address, const QString& name, QWidget* from);
    void showEpisodes(const QString& address, const QString& name, const std::string& answer, QWidget* from);
    // The find line beyond the list on show: what its index is made of, on a worker.
    void connectFinding();
    std::function<std::shared_ptr<const find_index::Index>()> findIndexWork() const;
    void rebuildSourceMenu();
    void showSourceGroup();  // the shown playlist's rows of the group in the language box
    // Shows a playlist: its rows as read when given, else read from its copy.
    void showPlaylist(const QString& id, const std::shared_ptr<SourceShelf::Channels>& channels);
    // The rows of the playlist on show, once read (nothing when another list shows by now).
    void showPlaylistRows(const QString& id, const std::shared_ptr<SourceShelf::Channels>& channels);
    QString accountNote(const sources::Source& source) const;  // "" for a playlist
    // A row's logo and number: those of the playlist shown in `list`, else of the favourites.
    const catalogue::ChannelExtras* extrasOf(const ListView* list, const ListRow& row) const;
    // Whose list names that row's logo: a web playlist's and the radio directory's are far.
    logo_cache::Origin logoOriginOf(const ListView* list, const ListRow& row) const;
    void tellStreamOptions(const ListView* list, const ListRow& row);

    // The playing channel's row comes under the selection in the lists on show.
    void followPlaying();
    void restorePlayerSettings();
    // Plays an address and remembers the one before it for "last channel" (Backspace).
    // `from` is the list it was chosen in, whose rows next and previous then follow.
    void play(const QString& address, const QString& name, bool fromUser, QWidget* from = nullptr);
    // A click plays its row from the moment the button goes down; should the press end away
    // from the row, what it started is undone and the channel before plays on.
    void playOnPress(ListView* list);
    void undoPress();
    void prepareRow(ListView* list, int index);  // the row under the pointer or the keys, once it rests
    bool pressPlayed(const QString& address);    // the click's release: its press played this already
    // Enter or a double-click on a row: the row's click handler, unless that row already plays
    // (the click of the double-click started it).
    void activateRow(ListView* list);
    // The row under the keyboard selection is played once the keys rest for a moment.
    void zapSoon(QWidget* list);
    void zapNow();
    // The next (+1) or previous (-1) entry of the playing channel's list (else the one on show).
    void zapBy(int step);
    void playLastChannel();
    void Form_QueryUnload();
    void Form_Unload();

    // The outer size (frame included) the controls were last laid out for.
    QSize m_laidOutFor;
    bool m_endedAtStart = false;
    bool m_loaded = false;
    bool m_favoritesUnreadable = false;
    bool m_settingsFailureReported = false;           // a failed settings save is reported once a run
    std::shared_ptr<playlist::Progress> m_importing;  // the playlist being read, if any
    QTimer m_settingsRetry;                           // writes settings kept while their file was locked
    QHash<QString, QString> m_driveFolders;           // each drive's last folder used in this run
    bool m_editorHiddenForFullScreen = false;         // the panel was on show when full screen began
    QPersistentModelIndex m_editedRow;                // the row the editor's fields were filled from
    QStringList m_editFilled;                         // what the fields held when last filled
    // The editor's fields: filled from a row, as they stand, and whether they hold typed text.
    void fillEditFields(int index);
    QStringList editFields() const;
    bool editFieldsChanged() const { return editFields() != m_editFilled; }
    void writeEditFields(int index);
    struct Played {
        QString address, name;
        bool fromUser = false;
        QPointer<QWidget> list;  // the list it was chosen in; none for an address handed over
    };
    struct Removed {
        std::vector<std::pair<int, ListRow>> rows;  // each with its place in the list
    };
    Removed m_removedFavorites;  // the last removal, for Ctrl+Z
    // A channel number typed digit by digit; the zap comes once the digits pause.
    void typeDigit(int digit);
    QString channelNumberOf(const ListView* list, const ListRow& played, const catalogue::ChannelExtras* extras) const;
    void zapToNumber();
    LogoIcons* m_logos = nullptr;
    QString m_logoFor, m_logoWanted;  // the channel whose logo the backdrop shows, and the logo
    static constexpr int kBackdropLogoPixels = 160;
    QString m_typedNumber;
    QTimer m_numberTimer;
    Played m_playing, m_previous;  // what plays and what played before it
    struct Press {
        QString address;  // what the press plays (or found playing); empty for no press
        Played playing, previous;
        bool wasActive = false;
    };
    Press m_press;
    QTimer m_zapTimer;          // a keyboard zap after another key waits for the keys to rest
    QElapsedTimer m_keyMoved;   // since the last play or key that moved through a list
    bool m_zapping = false;     // a zap of the keys at rest is under way
    quint64 m_seriesAsked = 0;  // counts series opened: only the last one's answer is shown
    // A row is prepared once the pointer (or the keys) rest on it a moment: a sweep across the
    // list prepares nothing on the way.
    QTimer m_prepareTimer;
    QPointer<ListView> m_prepareList;
    int m_prepareRow = -1;
    QPointer<QWidget> m_zapList;
    int m_keyStep = 1;  // the way the keys last moved through a list: +1 down, -1 up
    MediaSession* m_session = nullptr;
    GuideUpdates* m_guide = nullptr;
    QPointer<GuideWindow> m_guideWindow;
    StreamChecker* m_checker = nullptr;
    QProgressDialog* m_checkProgress = nullptr;
    QTimer m_guideTimer;  // now and next move on
    // Stream address -> tvg-id of imported channels: GuideIds.txt, read once at start.
    std::map<std::string, std::string> m_tvgIds;
    // Stream address -> logo, number and group of imported channels: ChannelExtras.txt.
    catalogue::ExtrasMap m_extras;
    SourceShelf* m_shelf = nullptr;
    RadioDirectory* m_directory = nullptr;
    FindElsewhere* m_find = nullptr;
    struct ShownPlaylist {
        std::string id;  // of the playlist in the channel list; "" while a category shows
        std::shared_ptr<SourceShelf::Channels> channels;  // all its rows, whatever the group
    };
    ShownPlaylist m_shown;
    bool m_guideUpdateTold = false;           // the user asked: a failure is shown in a message
    std::vector<QAction*> m_operatorActions;  // shown in editing mode only

public:
    // How long the selection must rest before a keyboard zap opens its row.
    static constexpr int kZapPauseMs = 300;
    static constexpr int kPrepareRestMs = 80;
    static constexpr int kNumberPauseMs = 1000;  // after the last digit of a channel number
    MediaSession* mediaSession() const { return m_session; }

public:
    // Controls, by their design names.
    QWidget* client = nullptr;
    QToolButton *cmdTV = nullptr, *cmdRadio = nullptr, *cmdVideo = nullptr, *cmdFavorites = nullptr,
                *cmdFiles = nullptr, *cmdSports = nullptr, *cmdExtras = nullptr, *cmdXXX = nullptr,
                *cmdWebsite = nullptr;
    QGroupBox *Frame1 = nullptr, *Frame2 = nullptr, *Frame3 = nullptr, *Frame4 = nullptr;
    QLabel* lblCountry = nullptr;
    PickComboBox* Combo1 = nullptr;
    QToolButton *cmdFav = nullptr, *Command1 = nullptr;
    ListView *ListView1 = nullptr, *ListView2 = nullptr;
    std::vector<SkinLabel*> SkinLabel1, SkinLabel2, SkinLabel3, SkinLabel4;
    DriveListBox* Drive1 = nullptr;
    DirListBox* Dir1 = nullptr;
    FileListBox* File1 = nullptr;
    PlayerPane* WindowsMediaPlayer1 = nullptr;
    BannerPane* wbBanner = nullptr;
    PictureBox* BannerClip = nullptr;  // the banner's clipping box, once the banner is shown
    PictureBox* wbPicture = nullptr;
    QFrame* Line2 = nullptr;

    // The editing frame.
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr,
           *Label6 = nullptr, *Label7 = nullptr;
    QPushButton *Command2 = nullptr, *Clear = nullptr, *doLoad = nullptr, *save = nullptr, *DELChannel = nullptr,
                *cmdAdd = nullptr, *cmdEdit = nullptr, *cmdReplace = nullptr, *cmdDupes = nullptr, *cmdMusic = nullptr,
                *cmdLoad2 = nullptr, *Recommended = nullptr;
    QCheckBox* chkLoad = nullptr;
    QLineEdit *txtAddName = nullptr, *txtAddType = nullptr, *txtAddURL = nullptr, *txtEditName = nullptr,
              *txtEditType = nullptr, *txtEditURL = nullptr, *Text1 = nullptr, *Text2 = nullptr, *Text3 = nullptr,
              *Text4 = nullptr, *txtType = nullptr;
    PickComboBox *cmbAddCategory = nullptr, *cmbEditCateogy = nullptr, *Combo2 = nullptr;

    // Menus.
    QMenu *mnuFile = nullptr, *mnuCat = nullptr, *mnuLanguages = nullptr, *mnuHelp = nullptr, *mnuAbout = nullptr;
    std::vector<QAction*> mnuFileItem, mnuCatItem, mnuLanguageItem, mnuHelpItem, mnuAboutItem;
    // The File menu's playlist and guide entries, above its line.
    QAction *mnuFindChannel = nullptr, *mnuPlaylistSeparator = nullptr, *mnuImportPlaylist = nullptr,
            *mnuExportFavorites = nullptr, *mnuGuideAddress = nullptr, *mnuUpdateGuide = nullptr,
            *mnuGuideResult = nullptr, *mnuImportIntoEditor = nullptr, *mnuExportCatalogue = nullptr,
            *mnuCheckStreams = nullptr, *mnuDeleteDead = nullptr, *mnuGuideGrid = nullptr;
    // Playlists kept as sources: added from the File menu, listed and managed in Categories.
    QAction *mnuAddPlaylist = nullptr, *mnuAddPlaylistAddress = nullptr, *mnuSourcesSeparator = nullptr,
            *mnuRefreshPlaylist = nullptr, *mnuRenamePlaylist = nullptr, *mnuRemovePlaylist = nullptr,
            *mnuAddAccount = nullptr;
    std::vector<QAction*> mnuSourceItem;
};
