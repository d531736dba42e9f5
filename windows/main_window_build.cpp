// The main window's composition: every control with its design name, caption, place, size,
// font, visibility and tab order. Positions are twips relative to the control's container.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <algorithm>
#include <utility>

#include "player/player_pane.h"
#include "widgets/banner_pane.h"
#include "widgets/design.h"
#include "widgets/file_browser.h"
#include "widgets/list_view.h"
#include "widgets/pick_combo.h"
#include "widgets/picture_box.h"
#include "widgets/skin_label.h"
#include "widgets/spaced_label.h"
#include "widgets/twips.h"
#include "windows/main_window.h"

namespace {

QFont Verdana(bool bold = false) { return design::Font("Verdana", 8.25, bold); }
QFont SansSerif(bool bold = false) { return design::Font("MS Sans Serif", 8.25, bold); }

// Tab order of the window: controls collected with their design tab index, chained at the end
// by that index across every container. Only what takes the focus is chained: a frame is no
// stop of its own (its controls have their own indexes), and a control made of parts of its
// own (the player) stands for its parts, in their order, at its place.
class TabOrder {
public:
    void add(int tab, QWidget* w) { m_items.emplace_back(tab, w); }
    void apply() {
        std::stable_sort(m_items.begin(), m_items.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        QSet<QWidget*> designed;
        for (const auto& item : m_items) designed.insert(item.second);
        std::vector<QWidget*> chain;
        for (const auto& [tab, w] : m_items) {
            if (w->focusPolicy() & Qt::TabFocus) {
                chain.push_back(w);
                continue;
            }
            for (QWidget* part : w->findChildren<QWidget*>()) {
                bool inDesign = false;
                for (QWidget* up = part; up && up != w; up = up->parentWidget()) inDesign |= designed.contains(up);
                if (!inDesign && (part->focusPolicy() & Qt::TabFocus) && !part->focusProxy()) chain.push_back(part);
            }
        }
        for (std::size_t i = 0; i + 1 < chain.size(); ++i) QWidget::setTabOrder(chain[i], chain[i + 1]);
    }

private:
    std::vector<std::pair<int, QWidget*>> m_items;
};

template <typename W>
W* Place(W* w, const char* name, int left, int top, int width, int height, int tab, TabOrder& order,
         bool visible = true) {
    design::Place(w, name, left, top, width, height, tab);
    w->setVisible(visible);
    order.add(tab, w);
    return w;
}

// A graphical push button: the picture above the caption.
QToolButton* PictureButton(QWidget* parent, const char* caption, const char* picture, int pictureSize) {
    auto* b = new QToolButton(parent);
    b->setText(QString::fromUtf8(caption));
    b->setIcon(QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(picture)));
    b->setIconSize(QSize(pictureSize, pictureSize));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(false);
    return b;
}

QPushButton* Button(QWidget* parent, const char* caption, const QFont& font) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setFont(font);
    return b;
}

QLabel* Label(QWidget* parent, const QString& caption, const QFont& font) {
    auto* l = new QLabel(caption, parent);
    l->setFont(font);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

QLineEdit* TextBox(QWidget* parent, const char* text) { return new QLineEdit(QString::fromUtf8(text), parent); }

PickComboBox* DropDownCombo(QWidget* parent, const char* text, std::initializer_list<const char*> entries) {
    auto* c = new PickComboBox(parent);
    for (const char* e : entries) c->addItem(QString::fromLatin1(e), QStringLiteral("0"));
    c->setEditText(QString::fromLatin1(text));
    return c;
}

SkinLabel* SkinTemplate(QWidget* parent, const QFont& font) {
    auto* l = new SkinLabel(parent);
    l->setText(QStringLiteral("Windowed Label"));
    l->setFont(font);
    l->setProperty(design::kIndex, 0);
    return l;
}

QAction* MenuEntry(QMenu* menu, const char* name, int index, const char* caption, const char* picture) {
    QAction* a = nullptr;
    if (std::string_view(caption) == "-") {
        a = menu->addSeparator();
        a->setProperty(design::kCaption, QStringLiteral("-"));  // drawn as a line, captioned "-" in the design
    } else {
        a = menu->addAction(QString::fromUtf8(caption));
    }
    a->setObjectName(QString::fromLatin1(name));
    a->setProperty(design::kIndex, index);
    if (picture) a->setIcon(QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(picture)));
    return a;
}

}  // namespace

void Form1::buildComposition() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFont(SansSerif());
    setCentralWidget(client);
    TabOrder order;

    // Category buttons.
    struct ButtonDesign {
        QToolButton** field;
        const char* name;
        const char* caption;
        const char* picture;
        int left, tab;
        bool visible;
    };
    const ButtonDesign buttons[] = {
        {&cmdTV, "cmdTV", "TV", "tv.gif", 60, 0, true},
        {&cmdRadio, "cmdRadio", "Radio", "radio.gif", 1380, 10, true},
        {&cmdVideo, "cmdVideo", "Video", "video.gif", 2700, 11, true},
        {&cmdFavorites, "cmdFavorites", "Favorites", "favorites.gif", 4020, 12, true},
        {&cmdFiles, "cmdFiles", "My Files", "files.gif", 5340, 13, true},
        {&cmdSports, "cmdSports", "Live Sports", "sports.gif", 6660, 44, false},
        {&cmdExtras, "cmdExtras", "Extras", "extras.gif", 7980, 46, false},
        {&cmdXXX, "cmdXXX", "XXX", "xxx.gif", 9300, 45, false},
    };
    for (const ButtonDesign& d : buttons) {
        *d.field = Place(PictureButton(client, d.caption, d.picture, 32), d.name, d.left, 60, 1275, 915, d.tab, order,
                         d.visible);
        (*d.field)->setFont(Verdana(true));
    }
    cmdWebsite = Place(PictureButton(client, "Visit", "website.gif", 24), "cmdWebsite", 6660, 60, 2775, 915, 1, order);
    cmdWebsite->setFont(Verdana(true));

    // Channels frame.
    Frame1 = Place(new QGroupBox(QStringLiteral("Channels"), client), "Frame1", 60, 1020, 5235, 6675, 6, order);
    Frame1->setFont(Verdana(true));
    lblCountry = Place(Label(Frame1, QStringLiteral("Type:"), Verdana()), "lblCountry", 180, 240, 2115, 255, 7, order);
    Combo1 = Place(DropDownCombo(Frame1, "USA", {}), "Combo1", 180, 480, 3315, 315, 8, order);
    Combo1->setFont(Verdana());
    cmdFav =
        Place(PictureButton(Frame1, "Add to Favorites", "fav16.gif", 16), "cmdFav", 3540, 180, 1575, 615, 31, order);
    cmdFav->setFont(Verdana());
    ListView1 = Place(new ListView(Frame1), "ListView1", 180, 900, 4935, 3795, 9, order);
    SkinLabel2.push_back(Place(SkinTemplate(Frame1, SansSerif()), "SkinLabel2", 480, 5220, 315, 195, 37, order, false));

    // Favourites frame, on the same rectangle.
    Frame3 =
        Place(new QGroupBox(QStringLiteral("Favorites"), client), "Frame3", 60, 1020, 5235, 6675, 34, order, false);
    Frame3->setFont(Verdana(true));
    Command1 = Place(PictureButton(Frame3, "Remove from Favorites", "fav16.gif", 16), "Command1", 2760, 180, 2355, 615,
                     35, order);
    Command1->setFont(Verdana());
    ListView2 = Place(new ListView(Frame3), "ListView2", 180, 900, 4935, 3795, 36, order);
    SkinLabel3.push_back(Place(SkinTemplate(Frame3, SansSerif()), "SkinLabel3", 900, 5340, 255, 135, 38, order, false));

    for (ListView* list : {ListView1, ListView2}) {
        list->setFont(Verdana());
        list->addColumn(QStringLiteral("Channel"), 2800);
        list->addColumn(QStringLiteral("Category"), 1440);
        list->addColumn(QStringLiteral("Type"), 1440);
    }

    // Local-files frame.
    Frame4 = Place(new QGroupBox(QStringLiteral("My Files"), client), "Frame4", 60, 1020, 5235, 6735, 39, order, false);
    Frame4->setFont(Verdana(true));
    Drive1 = Place(new DriveListBox(Frame4), "Drive1", 120, 240, 4995, 315, 41, order);
    Dir1 = Place(new DirListBox(Frame4), "Dir1", 120, 660, 4995, 2340, 42, order);
    File1 = Place(new FileListBox(Frame4), "File1", 120, 3060, 4995, 3405, 43, order);
    File1->setPattern(QStringLiteral(
        "*.asf;*.wma;*.wmv;*.wm;*.wax;*.wvx;*.wmx;*.wpl;*.dvr-ms;*.wmd;*.avi;*.mpg;*.mpeg;*.m1v;*.mp2;*.mp3;"
        "*.mpa;*.mpe;*.mpv2;*.m3u;*.mid;*.midi;*.rmi;*.aif;*.aifc;*.aiff;*.au;*.snd;*.wav;*.cda;*.ivf;*.mov;*.qt"));
    // The file browser keeps the design's default font.
    for (QWidget* w : {static_cast<QWidget*>(Drive1), static_cast<QWidget*>(Dir1), static_cast<QWidget*>(File1)})
        w->setFont(SansSerif());
    SkinLabel4.push_back(Place(SkinTemplate(Frame4, SansSerif()), "SkinLabel4", 960, 660, 255, 315, 40, order, false));

    // Player pane.
    WindowsMediaPlayer1 = Place(new PlayerPane(client), "WindowsMediaPlayer1", 5340, 1140, 9570, 6705, 5, order);

    // Editing frame, over the player; shown only in editing mode.
    Frame2 = Place(new QGroupBox(QStringLiteral("List Editing"), client), "Frame2", 5400, 1080, 9675, 7095, 14, order,
                   false);
    Frame2->setAutoFillBackground(true);  // it lies over the player pane
    QWidget* f2 = Frame2;
    Label5 = Place(Label(f2,
                         QStringLiteral("First clear the existing list.  Then click Decrypt and Load.  This will load "
                                        "ALL categories (TV, Radio, Video and XXX).  Edit the list.  When you are done "
                                        "click Encrypt and Save.  Data.htm will be saved in the program directory.  "
                                        "Upload it to your webserver and click File > Download.  This will update "
                                        "your list within the program."),
                         SansSerif(true)),
                   "Label5", 180, 300, 9075, 855, 49, order);
    Command2 = Place(Button(f2, "X", SansSerif(true)), "Command2", 9360, 0, 315, 315, 62, order);
    Clear = Place(Button(f2, "Clear the list", SansSerif()), "Clear", 180, 1140, 1875, 675, 18, order);
    doLoad = Place(Button(f2, "Decrypt and Load", SansSerif()), "doLoad", 2100, 1140, 2055, 675, 19, order);
    save = Place(Button(f2, "Encrypt and Save", SansSerif()), "save", 4200, 1140, 1995, 675, 17, order);
    chkLoad = Place(new QCheckBox(QStringLiteral("Don't Load Video While Editing"), f2), "chkLoad", 180, 1860, 3375,
                    195, 28, order);
    DELChannel =
        Place(Button(f2, "Delete Selected Channel", SansSerif()), "DELChannel", 180, 2160, 2715, 615, 15, order);
    Label6 =
        Place(Label(f2, QStringLiteral("Add an entry:"), SansSerif(true)), "Label6", 240, 2880, 3075, 255, 50, order);
    txtAddName = Place(TextBox(f2, "Name"), "txtAddName", 240, 3120, 2235, 285, 52, order);
    cmbAddCategory = Place(DropDownCombo(f2, "TV", {"TV", "Radio", "Video", "XXX"}), "cmbAddCategory", 2520, 3120, 1515,
                           315, 56, order);
    txtAddType = Place(TextBox(f2, "Language/Type"), "txtAddType", 4080, 3120, 2235, 285, 53, order);
    txtAddURL = Place(TextBox(f2, "URL"), "txtAddURL", 6420, 3120, 1875, 285, 54, order);
    cmdAdd = Place(Button(f2, "Add", SansSerif()), "cmdAdd", 8400, 3120, 1035, 375, 55, order);
    Label7 = Place(Label(f2, QStringLiteral("Edit selected entry:"), SansSerif(true)), "Label7", 240, 3480, 3075, 255,
                   51, order);
    txtEditName = Place(TextBox(f2, "Name"), "txtEditName", 240, 3720, 2235, 285, 57, order);
    cmbEditCateogy = Place(DropDownCombo(f2, "TV", {"TV", "Radio", "Video", "XXX"}), "cmbEditCateogy", 2520, 3720, 1515,
                           315, 61, order);
    txtEditType = Place(TextBox(f2, "Language/Type"), "txtEditType", 4080, 3720, 2235, 285, 58, order);
    txtEditURL = Place(TextBox(f2, "URL"), "txtEditURL", 6420, 3720, 1875, 285, 59, order);
    cmdEdit = Place(Button(f2, "OK", SansSerif()), "cmdEdit", 8400, 3720, 1035, 375, 60, order);
    Label4 = Place(Label(f2, QStringLiteral("Find and replace:"), SansSerif(true)), "Label4", 240, 4680, 3075, 255, 48,
                   order);
    const QString spaces(56, QLatin1Char(' '));
    // The caption leaves room for the boxes laid over it with runs of spaces, measured in the
    // design font, whose space is 45 twips wide.
    Label3 = Place(
        new SpacedLabel(
            QStringLiteral("Replace") + spaces + QStringLiteral("with") + spaces + QStringLiteral("in column"), 45, f2),
        "Label3", 240, 5040, 8115, 255, 47, order);
    QFont condensed = SansSerif();
    condensed.setStretch(85);  // the design font is narrower than the system's sans serif
    Label3->setFont(condensed);
    Text2 = Place(TextBox(f2, ""), "Text2", 900, 4980, 2355, 285, 25, order);
    Text3 = Place(TextBox(f2, ""), "Text3", 3720, 4980, 2415, 315, 26, order);
    Combo2 = Place(DropDownCombo(f2, "Channel", {"Channel", "Language"}), "Combo2", 6900, 4980, 1395, 315, 30, order);
    cmdReplace = Place(Button(f2, "Replace", SansSerif()), "cmdReplace", 8400, 4980, 1035, 375, 27, order);
    cmdDupes = Place(Button(f2, "Remove Duplicates", SansSerif()), "cmdDupes", 240, 5280, 2355, 555, 29, order, false);
    Text4 = Place(TextBox(f2, ""), "Text4", 180, 6780, 2295, 375, 32, order);
    cmdMusic = Place(Button(f2, "Music Type", SansSerif()), "cmdMusic", 2700, 6720, 1335, 555, 33, order);
    cmdLoad2 = Place(Button(f2, "Load2", SansSerif()), "cmdLoad2", 13020, 6180, 1335, 675, 22, order, false);
    Text1 = Place(TextBox(f2, "Text1"), "Text1", 10140, 6840, 2115, 315, 21, order, false);
    Label1 = Place(Label(f2, QStringLiteral("File"), SansSerif()), "Label1", 9480, 6960, 735, 255, 23, order, false);
    txtType = Place(TextBox(f2, "TV"), "txtType", 10140, 7440, 2235, 315, 20, order, false);
    Label2 = Place(Label(f2, QStringLiteral("Type:"), SansSerif()), "Label2", 9420, 7440, 915, 375, 24, order, false);
    Recommended =
        Place(Button(f2, "Recommended", SansSerif()), "Recommended", 15900, 7080, 1395, 615, 16, order, false);

    // Banner controls (hidden unless the banner is switched on).
    wbBanner = Place(new BannerPane(client), "wbBanner", 60, 1020, 7335, 945, 3, order, false);
    wbPicture = Place(new PictureBox(client), "wbPicture", 7230, 1050, 330, 920, 2, order, false);
    Line2 = new QFrame(wbPicture);
    Line2->setObjectName(QStringLiteral("Line2"));
    Line2->setFrameShape(QFrame::VLine);
    twips::SetGeometry(Line2, 300, 0, 15, 1080);

    // Template of the labels that lie directly on the window.
    SkinLabel1.push_back(Place(SkinTemplate(client, SansSerif()), "SkinLabel1", 12900, 480, 375, 255, 4, order, false));

    order.apply();
    buildMenus();

    // Client area 15510 x 10125 twips below the menu bar.
    const int menuHeight = menuBar()->sizeHint().height();
    resize(twips::ToPixels(15510), twips::ToPixels(10125) + menuHeight);
}

void Form1::buildMenus() {
    auto topMenu = [this](const char* name, const char* caption) {
        QMenu* m = menuBar()->addMenu(QString::fromUtf8(caption));
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    mnuFile = topMenu("mnuFile", "File");
    mnuFileItem = {MenuEntry(mnuFile, "mnuFileItem", 0, "Download Most Recent Channel List", "website.gif"),
                   MenuEntry(mnuFile, "mnuFileItem", 1, "-", nullptr),
                   MenuEntry(mnuFile, "mnuFileItem", 2, "Exit", "exit.gif")};
    buildPlaylistMenu();
    mnuCat = topMenu("mnuCat", "Categories");
    mnuCatItem = {MenuEntry(mnuCat, "mnuCatItem", 0, "TV", "tv.gif"),
                  MenuEntry(mnuCat, "mnuCatItem", 1, "Radio", "radio.gif"),
                  MenuEntry(mnuCat, "mnuCatItem", 2, "Video", "video.gif"),
                  MenuEntry(mnuCat, "mnuCatItem", 3, "Favorites", "favorites.gif"),
                  MenuEntry(mnuCat, "mnuCatItem", 4, "My Files", "files.gif")};
    mnuLanguages = topMenu("mnuLanguages", "Languages");
    mnuLanguageItem = {MenuEntry(mnuLanguages, "mnuLanguageItem", 0, "Change Language", "website.gif")};
    mnuLanguages->menuAction()->setVisible(false);  // hidden in the design; nothing shows it
    mnuHelp = topMenu("mnuHelp", "Help");
    mnuHelpItem = {MenuEntry(mnuHelp, "mnuHelpItem", 0, "View Help", "fav16.gif")};
    mnuHelpItem[0]->setShortcut(QKeySequence(Qt::Key_F1));
    mnuAbout = topMenu("mnuAbout", "About");
    mnuAboutItem = {MenuEntry(mnuAbout, "mnuAboutItem", 0, "About this software", "AAA_64.png")};
}
