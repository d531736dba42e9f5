#include "windows/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScreen>
#include <QStorageInfo>
#include <QToolButton>
#include <algorithm>

#include "base/app.h"
#include "base/file_io.h"
#include "base/file_utils.h"
#include "base/private_label.h"
#include "base/program_files.h"
#include "catalogue/catalogue_writer.h"
#include "catalogue/channel_list.h"
#include "catalogue/favorites.h"
#include "catalogue/playlist.h"
#include "guide/guide_store.h"
#include "localisation/languages.h"
#include "player/media_session.h"
#include "player/player_pane.h"
#include "services/fetch.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "widgets/banner_pane.h"
#include "widgets/control_types.h"
#include "widgets/design.h"
#include "widgets/file_browser.h"
#include "widgets/gui_resources.h"
#include "widgets/list_view.h"
#include "widgets/list_view_enh.h"
#include "widgets/message_box.h"
#include "widgets/pick_combo.h"
#include "widgets/picture_box.h"
#include "widgets/qt_text.h"
#include "widgets/qt_window.h"
#include "widgets/skin.h"
#include "widgets/skin_label.h"
#include "widgets/texts.h"
#include "widgets/twips.h"
#include "widgets/window_icon.h"
#include "windows/about_window.h"
#include "windows/background_jobs.h"
#include "windows/language_window.h"
#include "windows/launchers.h"
#include "windows/layout_rule.h"
#include "windows/radio_directory.h"

const char* const Form1::kCatalogueTooLargeMessage =
    "The channel list holds more lines than the program can keep in memory, so it was not loaded. "
    "It may be damaged; download the channel list again.";
const char* const Form1::kCatalogueMissingMessage =
    "TV Channel file was not found.  No channels could be loaded.  Please reinstall or repair this program.";

namespace {
Form1* g_form1 = nullptr;

// The favourites are the user's own: a Favorites.txt in the program folder never replaces the
// user's copy, however new it is.
std::filesystem::path FavoritesFile() {
    return program_files::ReadPath("Favorites.txt", program_files::Kind::UsersOwn);
}
}  // namespace

Form1* Form1::Loaded() { return g_form1; }

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    g_form1 = this;
    InitGuiResources();
    buildComposition();
    connectHandlers();
}

Form1::~Form1() {
    if (g_form1 == this) g_form1 = nullptr;
    // Closing the window moves the focus while the controls go away; no handler may run then.
    for (QObject* child : findChildren<QObject*>()) child->blockSignals(true);
}

void Form1::connectHandlers() {
    connect(cmdTV, &QToolButton::clicked, this, &Form1::cmdTV_Click);
    connect(cmdRadio, &QToolButton::clicked, this, &Form1::cmdRadio_Click);
    connect(cmdVideo, &QToolButton::clicked, this, &Form1::cmdVideo_Click);
    connect(cmdXXX, &QToolButton::clicked, this, &Form1::cmdXXX_Click);
    // Only picking an entry of the list counts; typing into the text field does not.
    connect(Combo1, &PickComboBox::picked, this, [this](int) { Combo1_Click(); });
    for (QAction* a : mnuCatItem)
        connect(a, &QAction::triggered, this, [this, a] { mnuCatItem_Click(a->property(design::kIndex).toInt()); });
    for (QAction* a : mnuHelpItem) connect(a, &QAction::triggered, this, [this] { mnuHelpItem_Click(0); });
    for (QAction* a : mnuAboutItem) connect(a, &QAction::triggered, this, [this] { mnuAboutItem_Click(0); });
    for (QAction* a : mnuLanguageItem) connect(a, &QAction::triggered, this, [this] { mnuLanguageItem_Click(0); });
    for (QAction* a : mnuFileItem)
        connect(a, &QAction::triggered, this, [this, a] { mnuFileItem_Click(a->property(design::kIndex).toInt()); });
    connect(cmdWebsite, &QToolButton::clicked, this, &Form1::cmdWebsite_Click);
    connect(cmdSports, &QToolButton::clicked, this, &Form1::cmdSports_Click);
    connect(cmdExtras, &QToolButton::clicked, this, &Form1::cmdExtras_Click);
    // A click with Ctrl or Shift chooses rows; it plays nothing.
    const auto choosing = [] {
        return (QGuiApplication::keyboardModifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) != 0;
    };
    for (ListView* list : {ListView1, ListView2})
        connect(list, &QAbstractItemView::clicked, this, [this, list, choosing] {
            if (!choosing()) list == ListView1 ? ListView1_Click() : ListView2_Click();
        });
    connect(ListView1, &ListView::columnClicked, this, &Form1::ListView1_ColumnClick);
    connect(ListView2, &ListView::columnClicked, this, &Form1::ListView2_ColumnClick);
    connect(cmdFav, &QToolButton::clicked, this, &Form1::cmdFav_Click);
    connect(Command1, &QToolButton::clicked, this, &Form1::Command1_Click);
    connect(cmdFavorites, &QToolButton::clicked, this, &Form1::cmdFavorites_Click);
    connect(cmdFiles, &QToolButton::clicked, this, &Form1::cmdFiles_Click);
    connect(Drive1, &DriveListBox::changed, this, &Form1::Drive1_Change);
    connect(Dir1, &DirListBox::changed, this, &Form1::Dir1_Change);
    connect(File1, &QListWidget::itemClicked, this, [this](QListWidgetItem*) { File1_Click(); });
    connectEditor();
    connectPlayer();
    connectPlaylists();
    connectLists();
}

void Form1::connectPlayer() {
    PlayerPane* pane = WindowsMediaPlayer1;
    // Enter and a double-click play the row; the arrows play it once the keys rest.
    connect(ListView1, &QAbstractItemView::activated, this, [this] { activateRow(ListView1); });
    connect(ListView2, &QAbstractItemView::activated, this, [this] { activateRow(ListView2); });
    connect(ListView1, &ListView::rowPressed, this, [this] { playOnPress(ListView1); });
    connect(ListView2, &ListView::rowPressed, this, [this] { playOnPress(ListView2); });
    connect(ListView1, &ListView::pressAbandoned, this, &Form1::undoPress);
    connect(ListView2, &ListView::pressAbandoned, this, &Form1::undoPress);
    connect(ListView1, &ListView::movedByKey, this, [this] {
        // The editor follows the highlight at once, unless its fields hold typed text: that is
        // kept, and "OK" asks before it goes into another row.
        const int index = ListView1->selectedIndex();
        if (EditMode && index >= 0 && !editFieldsChanged()) fillEditFields(index);
        prepareRow(ListView1, index);
        zapSoon(ListView1);
    });
    connect(ListView2, &ListView::movedByKey, this, [this] {
        prepareRow(ListView2, ListView2->selectedIndex());
        zapSoon(ListView2);
    });
    // The row under the pointer is made ready to open, should it be pressed.
    connect(ListView1, &QAbstractItemView::entered, this,
            [this](const QModelIndex& at) { prepareRow(ListView1, ListView1->rowAt(at)); });
    connect(ListView2, &QAbstractItemView::entered, this,
            [this](const QModelIndex& at) { prepareRow(ListView2, ListView2->rowAt(at)); });
    connect(File1, &QListWidget::itemActivated, this, [this] { File1_Click(); });
    m_zapTimer.setSingleShot(true);
    m_zapTimer.setInterval(kZapPauseMs);
    connect(&m_zapTimer, &QTimer::timeout, this, &Form1::zapNow);
    m_settingsRetry.setInterval(1000);
    connect(&m_settingsRetry, &QTimer::timeout, this, [this] { retryKeptSettings(kSettingsLockWait); });
    m_prepareTimer.setSingleShot(true);
    m_prepareTimer.setInterval(kPrepareRestMs);
    connect(&m_prepareTimer, &QTimer::timeout, this, [this] {
        if (!m_prepareList || chkLoad->isChecked() || m_prepareRow >= m_prepareList->rowCount()) return;
        WindowsMediaPlayer1->prepare(ToQt(m_prepareList->row(m_prepareRow).address));
    });
    // The pane's keys that are no typing (Page Up/Down, Backspace, Ctrl+Up…) also work in the lists.
    for (QWidget* list :
         {static_cast<QWidget*>(ListView1), static_cast<QWidget*>(ListView2), static_cast<QWidget*>(File1)})
        list->addActions(pane->listKeyActions());
    // Digits over a list zap to a channel number only where the list has numbers (a playlist's
    // tvg-chno); elsewhere they find rows, as letters do.
    for (ListView* list : {ListView1, ListView2})
        list->setDigitHandler([this, list](int digit) {
            if (!listHasNumbers(list)) return false;
            typeDigit(digit);
            return true;
        });
    connect(pane, &PlayerPane::nextRequested, this, [this] { zapBy(1); });
    connect(pane, &PlayerPane::previousRequested, this, [this] { zapBy(-1); });
    connect(pane, &PlayerPane::lastChannelRequested, this, &Form1::playLastChannel);
    connect(pane, &PlayerPane::volumeSettled, this, [this](int volume, bool muted) {
        saveSetting(settings_keys::kVolume, std::to_string(volume));
        saveSetting(settings_keys::kMute, muted ? "1" : "0");
    });
    connect(pane, &PlayerPane::hardwareDecodingToggled, this,
            [this](bool on) { saveSetting(settings_keys::kHardwareDecoding, on ? "1" : "0"); });
    connect(pane, &PlayerPane::keepLastChannelToggled, this,
            [this](bool on) { saveSetting(settings_keys::kKeepLastChannel, on ? "1" : "0"); });
    connect(pane, &PlayerPane::fullScreenChanged, this, [this](bool on) {
        // The panel's native window would lie over the full-screen picture: it is hidden until
        // full screen ends, then laid over the player again.
        if (on) {
            m_editorHiddenForFullScreen = Frame2->isVisible();
            if (m_editorHiddenForFullScreen) Frame2->hide();
            return;
        }
        ResizeControls();  // back in its place, at the window's present size
        if (m_editorHiddenForFullScreen) Frame2->show();
        m_editorHiddenForFullScreen = false;
        keepEditorOverPlayer();
    });
}

void Form1::restorePlayerSettings() {
    using namespace settings_keys;
    const auto read = [](const char* key, const char* fallback) {
        return GetSetting(AppName(), kSection, key, fallback);
    };
    int volume = 50;  // also for a value the user edited into nonsense: the designed volume
    try {
        volume = std::stoi(read(kVolume, kVolumeDefault));
    } catch (const std::exception&) {
    }
    WindowsMediaPlayer1->setVolume(volume);
    WindowsMediaPlayer1->setMuted(read(kMute, kMuteDefault) == "1");
    WindowsMediaPlayer1->setHardwareDecoding(read(kHardwareDecoding, kHardwareDecodingDefault) != "0");
    WindowsMediaPlayer1->setKeepLastChannel(read(kKeepLastChannel, kKeepLastChannelDefault) != "0");
}

void Form1::Form_Load() {
    using namespace modPrivateLabel;

    // 1. Window icon, also for the top-level owner.
    modIcon::SetIcon(this, QStringLiteral("AAA"), true);

    // 2. The reseller's extra category buttons.
    if (IsResellerBuild()) {
        cmdSports->setVisible(true);
        cmdExtras->setVisible(true);
        cmdXXX->setVisible(true);
        layout::Rect web = twips::Geometry(cmdWebsite);
        const layout::Rect xxx = twips::Geometry(cmdXXX);
        web.left = xxx.left + xxx.width + 60;
        twips::SetGeometry(cmdWebsite, web);
    }

    // 3-4. Editing mode when admin.txt lies in the program folder.
    if (xfileExists::FileExists(App::ProgramFile("admin.txt").string())) {
        EditMode = true;
        WindowsMediaPlayer1->setRecordAllowed(false);
        // The panel lies over the player, whose picture is a native window of its own: drawn
        // into the main window like the other controls, the panel would be covered by it. A
        // native window of its own, stacked above the picture's, keeps it on top (its siblings
        // and the window's other controls stay as they are drawn now).
        QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
        Frame2->setAttribute(Qt::WA_DontCreateNativeAncestors);
        Frame2->setAttribute(Qt::WA_NativeWindow);
        Frame2->setVisible(true);
    }
    if (EditMode) {
        ListView1->addColumn(QStringLiteral("URL"), 1440);
        chkLoad->setChecked(true);
        showOperatorActions();
    }

    // 5. One instance only: a second start ends here, without a window.
    if (App::Info().prevInstance) {
        m_endedAtStart = true;
        return;
    }

    // 6-7. Captions from the private-label profile.
    setWindowTitle(ToQt(ProgramName + " by " + CompanyName));
    cmdWebsite->setText(ToQt("Visit " + WebsiteName));

    // 8. The splash window's icon replaces the one of step 1. The splash window carries no
    // icon of its own, so the window falls back to the program's icon.
    // (An empty icon set on the window would be shown as no icon at all, not as the program's.)
    if (UseSplashIcon) setWindowIcon(QGuiApplication::windowIcon());

    // 9. The banner across the top, when switched on.
    if (ShowBanner) {
        const int bannerHeight = twips::Geometry(wbBanner).height;
        for (QWidget* w : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(WindowsMediaPlayer1)}) {
            layout::Rect r = twips::Geometry(w);
            r.top += bannerHeight;
            twips::SetGeometry(w, r);
        }
        DisplayBanner();
    }

    // 10. The skin, when switched on: plain labels on the window become skin labels first.
    if (SkinEnabled) {
        for (QLabel* label : findChildren<QLabel*>())
            if (ControlTypeName(label) == QLatin1String("Label") &&
                label->parentWidget() == SkinLabel1.front()->parentWidget())
                modSkin::CloneIntoSkinLabel(label, SkinLabel1);
        modSkin::ApplySkin(this);
    }

    // 11. The help on the first start; it is offered again at the next start until it opened.
    // Whether the desktop has a viewer for it is asked without waiting: the window comes first.
    if (GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kShowHelp,
                   settings_keys::kShowHelpDefault) == "1" &&
        Form8::HelpExists())
        Form8::RunLater(this, [this](bool opened) {
            if (opened) saveSetting(settings_keys::kShowHelp, "0");
        });

    // The language the user picked last time, when one was picked; a first start keeps the
    // designed captions. The "Languages" menu, hidden in the design, when the build shows it.
    mnuLanguages->menuAction()->setVisible(ShowLanguagesMenu);
    applySavedLanguage();

    // 12. The TV category is what the user sees first.
    cmdTV_Click();

    // 13. The favourites.
    LoadFavorites();

    // The programme guide kept from the last run, then brought up to date, both in the
    // background: the window does not wait for either.
    m_tvgIds = guide::LoadIds();
    m_extras = catalogue::LoadExtras();
    if (guideAddress().isEmpty())
        m_guide->loadCache(wantedChannels());
    else
        UpdateGuide(false);

    // 14. The local-files browser where the user left it.
    restoreLocalFiles();

    // The player as the user left it, and the player shown to the desktop (media keys).
    restorePlayerSettings();
    m_session = new MediaSession(WindowsMediaPlayer1, ToQt(ProgramName), QStringLiteral(VIEWER_DESKTOP_ENTRY), this);
    connect(m_session, &MediaSession::raiseRequested, this, [this] {
        if (isMinimized()) showNormal();
        raise();
        activateWindow();
    });
    connect(m_session, &MediaSession::quitRequested, this, &QWidget::close);

    m_loaded = true;
}

int Form1::channelCount() const { return ListView1->rowCount(); }

void Form1::applySavedLanguage() {
    using namespace settings_keys;
    const std::string saved = GetSetting(AppName(), kSection, kLanguage, "");
    if (saved.empty()) return;
    ApplyLanguage(this, localisation::ToEngineText(ToQt(saved)));
}

void Form1::DisplayBanner() {
    // The pane sits in a clipping box 280 twips narrower than itself (20 pixels in a pixel
    // window), which hides the page's scroll bar.
    auto* clip = new PictureBox(client);
    clip->setObjectName(QStringLiteral("picBox"));
    const int margin = 280;
    const layout::Rect pane = twips::Geometry(wbBanner);
    twips::SetGeometry(clip, pane.left, pane.top, pane.width - margin, pane.height);
    clip->setFrameShape(QFrame::NoFrame);
    wbBanner->setParent(clip);
    twips::SetGeometry(wbBanner, 0, 0, pane.width, pane.height);
    clip->setVisible(true);
    clip->update();
    BannerClip = clip;
    wbBanner->setVisible(true);
    wbPicture->setVisible(false);
    wbBanner->Navigate(ToQt(modPrivateLabel::BannerAddress));
}

// Another list comes on show: it is shown whole (an open find line closes, as Esc closes it) and
// a message about a channel that failed goes with the list it was played from.
void Form1::showingAnotherList() {
    for (ListView* list : {ListView1, ListView2})
        if (list->filterOpen()) list->closeFilter();
    WindowsMediaPlayer1->closeFailure();
}

void Form1::LoadChannelList() {
    if (CurrentCategory.empty()) CurrentCategory = "TV";
    if (LanguageFilter.empty()) LanguageFilter = "All";
    ListView1->channels()->clear();
    m_shown = {};  // a playlist no longer

    catalogue::ChannelQuery query;
    query.category = CurrentCategory;
    query.languageFilter = LanguageFilter;
    query.gatherLanguages = RebuildLanguageList;
    // The rows are made as the lines are read, into room for every line of the file.
    std::vector<ListRow> rows;
    std::optional<catalogue::ChannelListResult> result = catalogue::LoadChannels(
        program_files::ReadPath("Data.txt"), query,
        [&](const catalogue::LineFields& f) { rows.push_back(ListRow::FromFields(f)); },
        [&](std::size_t lines) { rows.reserve(lines); });
    if (!result) {
        ShowMessage(this, QString::fromLatin1(kCatalogueMissingMessage));
        return;
    }
    if (result->tooLarge) {
        ShowMessage(this, QString::fromLatin1(kCatalogueTooLargeMessage));
        return;
    }

    ListView1->channels()->setRows(std::move(rows));

    if (RebuildLanguageList) {
        // One insertion for the whole list: a catalogue may list many thousands of languages.
        QStringList items;
        items.reserve(static_cast<qsizetype>(result->languages.size()) + 1);
        items.append(Msg("MSG_ALL"));  // "All" in the language applied; picking it sets the filter "All"
        for (const std::string& language : result->languages) items.append(ToQt(language));
        Combo1->setItems(items);
        RebuildLanguageList = false;
        Combo1->setEditText(result->filterIsGathered ? ToQt(LanguageFilter) : QString());
    }
}

void Form1::showCategory(const char* category, const char* languageKey) {
    showingAnotherList();
    Frame1->setVisible(true);
    Frame3->setVisible(false);
    Frame4->setVisible(false);
    CurrentCategory = category;
    ListView1->channels()->clear();
    LanguageFilter =
        GetSetting(settings_keys::AppName(), settings_keys::kSection, languageKey, settings_keys::kDefaultLanguage);
    RebuildLanguageList = true;
    LoadChannelList();
}

void Form1::cmdTV_Click() { showCategory("TV", settings_keys::kTVLang); }
void Form1::cmdRadio_Click() { showCategory("Radio", settings_keys::kRadioLang); }
void Form1::cmdVideo_Click() { showCategory("Video", settings_keys::kVideoLang); }
// The XXX list starts from the Video language; a language picked there is never stored.
void Form1::cmdXXX_Click() { showCategory("XXX", settings_keys::kVideoLang); }

void Form1::Combo1_Click() {
    showingAnotherList();
    if (!m_shown.id.empty()) return showSourceGroup();  // a playlist's groups are not saved
    LanguageFilter = Combo1->currentText() == Msg("MSG_ALL") ? std::string("All") : FromQt(Combo1->currentText());
    const char* key = CurrentCategory == "TV"      ? settings_keys::kTVLang
                      : CurrentCategory == "Radio" ? settings_keys::kRadioLang
                      : CurrentCategory == "Video" ? settings_keys::kVideoLang
                                                   : nullptr;
    if (key) saveSetting(key, LanguageFilter);
    LoadChannelList();
}

void Form1::mnuCatItem_Click(int index) {
    switch (index) {
        case 0: cmdTV_Click(); break;
        case 1: cmdRadio_Click(); break;
        case 2: cmdVideo_Click(); break;
        case 3: cmdFavorites_Click(); break;
        case 4: cmdFiles_Click(); break;
        default: break;
    }
}

// The web buttons name the page and load the web-site launcher; the window is unchanged.
void Form1::requestWebPage(const char* target) {
    modPrivateLabel::WebTarget = target;
    frmWebsite::Load();
}

void Form1::mnuHelpItem_Click(int) {
    if (!Form8::HelpExists()) return;  // no help beside the program: nothing happens
    // The desktop is asked for a viewer without holding up the window.
    Form8::RunLater(this, [this](bool opened) {
        if (opened) return;
        QStringList files;  // the help's files that are there, which nothing could open
        for (const std::string& file : {Form8::CompiledHelp(), Form8::HtmlHelp()})
            if (xfileExists::FileExists(file)) files << ToQt(file);
        ShowMessage(this, Msg("MSG_HELPNOTOPENED").arg(files.join(QStringLiteral(", "))));
    });
}
void Form1::mnuAboutItem_Click(int) { frmAbout::Show(); }
void Form1::mnuLanguageItem_Click(int) { frmLanguage::Show(); }
void Form1::cmdWebsite_Click() { requestWebPage("Website"); }
void Form1::cmdSports_Click() { requestWebPage("Sports"); }
void Form1::cmdExtras_Click() { requestWebPage("Extras"); }

void Form1::saveSetting(const char* key, const std::string& value) {
    // The window's thread waits a moment at most for another program's lock: a change that
    // cannot be written now is kept (and read back) and written once the lock is free.
    using settings::Saved;
    const Saved saved =
        settings::Save(settings_keys::AppName(), settings_keys::kSection, key, value, kSettingsLockWait);
    if (saved == Saved::KeptForLater && !m_settingsRetry.isActive()) m_settingsRetry.start();
    if (saved == Saved::Yes || m_settingsFailureReported) return;
    m_settingsFailureReported = true;
    switch (saved) {
        case Saved::KeptForLater:
            ShowMessage(this, QStringLiteral("Your settings cannot be saved just now: the settings file is locked by "
                                             "another program. The change is kept and saved as soon as the file is "
                                             "free."));
            break;
        case Saved::Unreadable:
            ShowMessage(this, QStringLiteral("Your settings could not be saved: the settings file cannot be read, "
                                             "so it is left as it is. The change holds until the program ends."));
            break;
        default:
            ShowMessage(this, QStringLiteral("Your settings could not be saved: the settings file is not writable. "
                                             "The change holds until the program ends."));
    }
}

void Form1::retryKeptSettings(std::chrono::milliseconds lockWait) {
    if (settings::RetryPending(lockWait) != settings::Saved::KeptForLater) m_settingsRetry.stop();
}

// ---- Playback ----------------------------------------------------------------------------

void Form1::ListView1_Click() {
    const int index = ListView1->selectedIndex();
    if (index < 0) return;
    const ListRow& row = ListView1->row(index);
    if (EditMode) fillEditFields(index);
    if (!chkLoad->isChecked() && !pressPlayed(ToQt(row.address)))
        play(ToQt(row.address), ToQt(row.name), false, ListView1);
}

void Form1::PlayAddress(const QString& address) {
    play(address, QString(), true);
    followPlaying();  // a handed-over address: its row, where a list shows one
}

void Form1::ListView2_Click() {
    if (chkLoad->isChecked()) return;
    const int index = ListView2->selectedIndex();
    if (index < 0) return;
    const ListRow& row = ListView2->row(index);
    if (!pressPlayed(ToQt(row.address))) play(ToQt(row.address), ToQt(row.name), false, ListView2);
}

void Form1::playOnPress(ListView* list) {
    m_press = Press{};
    const int index = list->selectedIndex();
    if (chkLoad->isChecked() || index < 0) return;
    const ListRow& row = list->row(index);
    const QString address = ToQt(row.address);
    m_press = Press{address, m_playing, m_previous, WindowsMediaPlayer1->isActive()};
    // A press on the channel that plays leaves it playing (the click does not start it again);
    // one that is paused, stuck opening or reconnecting is opened again.
    if (WindowsMediaPlayer1->isPlayingOrStarting(address)) return;
    play(address, ToQt(row.name), false, list);
}

void Form1::prepareRow(ListView* list, int index) {
    if (chkLoad->isChecked() || index < 0 || index >= list->rowCount()) return;
    m_prepareList = list;
    m_prepareRow = index;
    m_prepareTimer.start();
}

bool Form1::pressPlayed(const QString& address) {
    const bool played = !m_press.address.isEmpty() && m_press.address == address;
    m_press = Press{};
    return played;
}

void Form1::undoPress() {
    const Press press = m_press;
    m_press = Press{};
    if (press.address.isEmpty() || WindowsMediaPlayer1->url() != press.address) return;
    if (press.playing.address == press.address) return;  // it played before the press
    if (press.wasActive && !press.playing.address.isEmpty())
        play(press.playing.address, press.playing.name, press.playing.fromUser, press.playing.list);  // at once
    else
        WindowsMediaPlayer1->close();
    m_playing = press.playing;
    m_previous = press.previous;
    refreshGuideText();
}

void Form1::play(const QString& address, const QString& name, bool fromUser, QWidget* from) {
    m_zapTimer.stop();
    if (address != m_playing.address || name != m_playing.name) {
        if (!m_playing.address.isEmpty()) m_previous = m_playing;
        m_playing = Played{address, name, fromUser, from};
    } else if (from) {
        m_playing.list = from;
    }
    if (from == ListView1 && m_directory) m_directory->played(FromQt(address));  // the directory counts plays
    if (fromUser)
        WindowsMediaPlayer1->setUrlFromUser(address);
    else
        WindowsMediaPlayer1->setUrl(address, name);
    showPlayingExtras();  // also for a row of the same address as the one before
    refreshGuideText();
}

void Form1::activateRow(ListView* list) {
    m_zapTimer.stop();
    const int index = list->selectedIndex();
    if (index < 0) return;
    if (WindowsMediaPlayer1->isPlayingOrStarting(ToQt(list->row(index).address))) return;
    if (list == ListView1)
        ListView1_Click();
    else
        ListView2_Click();
}

void Form1::zapSoon(QWidget* list) {
    m_zapList = list;
    m_zapTimer.start();  // each key restarts the wait: holding a key opens one stream, at the end
}

void Form1::zapNow() {
    if (m_zapList == ListView1 && EditMode) {
        // The editor's fields were seen to when the keys moved; only the playing is left.
        const int index = ListView1->selectedIndex();
        if (index >= 0 && !chkLoad->isChecked()) {
            const ListRow& row = ListView1->row(index);
            play(ToQt(row.address), ToQt(row.name), false, ListView1);
        }
    } else if (m_zapList == ListView1)
        ListView1_Click();
    else if (m_zapList == ListView2)
        ListView2_Click();
    else if (m_zapList == File1)
        File1_Click();
}

// ---- Favourites --------------------------------------------------------------------------

void Form1::LoadFavorites() {
    m_favoritesUnreadable = !readFavorites();
    if (m_favoritesUnreadable)
        ShowMessage(this,
                    QStringLiteral("Your favorites could not be read from %1.").arg(ToQt(FavoritesFile().string())));
}

bool Form1::readFavorites() {
    const std::filesystem::path file = FavoritesFile();
    if (!xfileExists::FileExists(file.string())) return true;  // none yet: an empty list
    const auto text = base::ReadFileCapped(file, catalogue::kMaxFavoritesBytes);
    if (!text) return false;
    ListView2->channels()->appendRows(ListRow::FromCatalogue(*text));
    return true;
}

bool Form1::favoritesChangeable() {
    if (!m_favoritesUnreadable) return true;
    // The file could not be read: writing the list now would replace favourites the window never
    // showed. Try again; while it still cannot be read, nothing changes.
    ListView2->channels()->clear();
    m_favoritesUnreadable = !readFavorites();
    if (m_favoritesUnreadable)
        ShowMessage(this, QStringLiteral("Your favorites file %1 cannot be read, so your favorites cannot be changed "
                                         "now; nothing was changed.")
                              .arg(ToQt(FavoritesFile().string())));
    return !m_favoritesUnreadable;
}

bool Form1::SaveFavorites(const std::string& encodedLast, std::size_t lastRows) {
    // The whole list is written to a new file that then takes the old one's place, so a failed
    // write keeps the previous list whole and never doubles it. When it fails, the list goes back
    // to what the file holds: the window never shows favourites that are not saved.
    const bool saved = writeListFile(
        "Favorites.txt",
        [&] {
            const auto& rows = ListView2->rows();
            const auto first = rows.end() - static_cast<std::ptrdiff_t>(std::min(lastRows, rows.size()));
            std::string text;
            for (auto row = rows.begin(); row != first; ++row)
                catalogue::AppendEncodedLine(text, row->name, row->address, row->category, row->language);
            return text + encodedLast;
        },
        QStringLiteral("A favorite is too long to be saved; your favorites were not changed."),
        QStringLiteral("Your favorites could not be saved:\n%1\n\nThe list shows your favorites as they were saved "
                       "before; the file keeps its previous contents."));
    if (!saved) {
        ListView2->channels()->clear();
        m_favoritesUnreadable = !readFavorites();
    }
    return saved;
}

bool Form1::writeListFile(const char* fileName, const std::function<std::string()>& encode, const QString& tooLong,
                          const QString& failed) {
    std::string bytes;
    try {
        bytes = encode();
    } catch (const std::exception&) {
        ShowMessage(this, tooLong);
        return false;
    }
    const auto written = base::ReplaceFileAtomically(program_files::WritePath(fileName), bytes);
    if (!written) ShowMessage(this, failed.arg(ToQt(written.error)));
    return bool(written);
}

void Form1::cmdFav_Click() {
    const int index = ListView1->selectedIndex();
    if (index < 0) return;  // nothing selected: nothing to add
    if (!favoritesChangeable()) return;
    ListView2->channels()->appendRow(favouriteOf(ListView1->row(index)));
    SaveFavorites();
}

void Form1::cmdFavorites_Click() {
    showingAnotherList();
    Frame3->setVisible(true);
    Frame1->setVisible(false);
    Frame4->setVisible(false);
}

// ---- Local media files -------------------------------------------------------------------

void Form1::cmdFiles_Click() {
    showingAnotherList();
    Frame1->setVisible(false);
    Frame3->setVisible(false);
    Frame4->setVisible(true);
}

void Form1::Drive1_Change() {
    // The drive's current folder: the last one used on it in this run, else its root. A drive
    // that is not ready leaves the folder list alone.
    const QString drive = Drive1->drive();
    const QString folder = m_driveFolders.value(drive, drive);
    if (!Dir1->setPath(folder)) Dir1->setPath(drive);
    saveSetting(settings_keys::kDrive, FromQt(drive));
}

void Form1::Dir1_Change() {
    m_driveFolders.insert(QStorageInfo(Dir1->path()).rootPath(), Dir1->path());
    saveSetting(settings_keys::kDir, FromQt(Dir1->path()));
    File1->setPath(Dir1->path());
    File1->refresh();
}

void Form1::File1_Click() {
    // The folder, "\" (the platform's separator) and the name, exactly as composed.
    const QString name = File1->fileName();
    if (name.isEmpty()) return;
    play(File1->path() + QDir::separator() + name, name, true, File1);
}

void Form1::restoreLocalFiles() {
    // Both values are read first: restoring the drive stores that drive's folder under "Dir".
    const std::string drive = GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kDrive, "");
    const std::string dir = GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kDir, "");
    // Each assignment on its own; one that fails leaves its list as it was.
    Drive1->setDrive(ToQt(drive));
    Dir1->setPath(ToQt(dir));
    File1->setPath(ToQt(dir));
}

// ---- Sorting -----------------------------------------------------------------------------

void Form1::ListView1_ColumnClick(int columnIndex) { modListViewEnh::EnhListView_SortColumns(ListView1, columnIndex); }
void Form1::ListView2_ColumnClick(int columnIndex) { modListViewEnh::EnhListView_SortColumns(ListView2, columnIndex); }

void Form1::mnuFileItem_Click(int index) {
    if (index == 0) DownloadChannelList();
    if (index == 2) close();
}

void Form1::ResizeControls() {
    layout::MainWindowLayout in;
    const QSize outer = frameGeometry().size();
    m_laidOutFor = outer;
    in.windowWidth = twips::FromPixels(outer.width());
    in.windowHeight = twips::FromPixels(outer.height());
    in.player = twips::Geometry(WindowsMediaPlayer1);
    in.frame1 = twips::Geometry(Frame1);
    in.frame3 = twips::Geometry(Frame3);
    in.frame4 = twips::Geometry(Frame4);
    in.listView1 = twips::Geometry(ListView1);
    in.listView2 = twips::Geometry(ListView2);
    in.dir1 = twips::Geometry(Dir1);
    in.file1 = twips::Geometry(File1);
    in.cmdWebsite = twips::Geometry(cmdWebsite);

    const layout::MainWindowLayout out = layout::ResizeControls(in);
    if (!WindowsMediaPlayer1->isFullScreen()) twips::SetGeometry(WindowsMediaPlayer1, out.player);
    twips::SetGeometry(Frame1, out.frame1);
    twips::SetGeometry(Frame3, out.frame3);
    twips::SetGeometry(Frame4, out.frame4);
    twips::SetGeometry(ListView1, out.listView1);
    twips::SetGeometry(ListView2, out.listView2);
    twips::SetGeometry(Dir1, out.dir1);
    twips::SetGeometry(File1, out.file1);
    twips::SetGeometry(cmdWebsite, out.cmdWebsite);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!isMinimized()) ResizeControls();  // a minimised window keeps its sizes
}

void Form1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // The window manager's frame comes after the window is shown (and again after full
    // screen), with a move and no resize: the layout counts the frame, so it is laid out again
    // when the frame's size changed.
    if (!isMinimized() && frameGeometry().size() != m_laidOutFor) ResizeControls();
}

void Form1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) ResizeControls();
    if (event->type() == QEvent::LanguageChange) retranslateBusyEntries();
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The picture's native window is made as the window is shown, on top of the windows made
    // before it: the panel goes back above it once the showing is done.
    QMetaObject::invokeMethod(this, &Form1::keepEditorOverPlayer, Qt::QueuedConnection);
}

void Form1::keepEditorOverPlayer() {
    if (Frame2->isVisible()) Frame2->raise();
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    Form_Unload();
    event->accept();
}

void Form1::Form_QueryUnload() {
    WindowsMediaPlayer1->setFullScreen(false);
    WindowsMediaPlayer1->stop();
    WindowsMediaPlayer1->close();
}

void Form1::Form_Unload() {
    // The other windows go with the main window; nothing else is saved here, as every file and
    // setting was written when it changed, but for settings kept while another program held
    // their file: they get a last, longer chance. A download under way ends now, so the
    // program does not linger for it.
    if (settings::HasPending()) retryKeptSettings(std::chrono::seconds(2));
    if (m_importing) m_importing->cancel = true;
    fetch::CancelAll();
    if (frmAbout* about = frmAbout::Loaded()) about->close();
    if (frmLanguage* language = frmLanguage::Loaded()) language->close();
    emit unloaded();
    if (m_loaded) QApplication::quit();
}
