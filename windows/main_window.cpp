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

    // 13. The favourites, with what their lines cannot hold kept beside them.
    m_extras = catalogue::LoadExtras();
    LoadFavorites();

    // The programme guide kept from the last run, then brought up to date, both in the
    // background: the window does not wait for either.
    m_tvgIds = guide::LoadIds();
    if (allGuides().empty()) {
        // Without a guide kept from before there is nothing to read, nor a list of the channels
        // to read it for (the whole catalogue's names).
        std::error_code ec;
        if (std::filesystem::exists(guide::CachePath(), ec)) m_guide->loadCache(wantedChannels());
    } else
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
    showListColumns();  // no playlist's numbers here

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

// ---- Favourites --------------------------------------------------------------------------

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
