#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "base/app.h"
#include "base/private_label.h"
#include "catalogue/catalogue_writer.h"
#include "catalogue/codec.h"
#include "player/player_pane.h"
#include "services/settings.h"
#include "support/modal_watcher.h"
#include "support/temp_dir.h"
#include "support/tiny_http.h"
#include "widgets/banner_pane.h"
#include "widgets/design.h"
#include "widgets/file_browser.h"
#include "widgets/list_view.h"
#include "widgets/pick_combo.h"
#include "widgets/picture_box.h"
#include "widgets/skin_label.h"
#include "widgets/twips.h"
#include "widgets/window_icon.h"
#include "windows/main_window.h"

#include "windows/main_window_fixture.h"

TEST_F(MainWindow, StartsOnTheTvRowsOfTheRememberedLanguageInFileOrder) {
    Form1& f = Start();
    EXPECT_EQ(f.CurrentCategory, "TV");
    EXPECT_EQ(f.LanguageFilter, "English");
    EXPECT_EQ(Column(f.ListView1, 0), (std::vector<std::string>{"Zeta News", "Alpha TV", "Beta TV"}));
    EXPECT_EQ(f.ListView1->row(0).address, "http://127.0.0.1/Zeta News");
    EXPECT_EQ(Column(f.ListView1, 1), (std::vector<std::string>{"TV", "TV", "TV"}));
    EXPECT_EQ(Column(f.ListView1, 2), (std::vector<std::string>{"English", "English/Spanish", "ENGLISH"}));
}

TEST_F(MainWindow, LanguageBoxHoldsAllAndTheSortedTvLanguagesWithTheFilterAsText) {
    SaveSetting("Marlu Viewer", "Settings", "TVLang", "french");
    Form1& f = Start();
    EXPECT_EQ(Entries(f.Combo1), (L({"All", "English", "French", "German", "Spanish"})));
    EXPECT_EQ(f.Combo1->currentText(), QStringLiteral("french"));  // the filter as stored
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Canal Un"});
    EXPECT_FALSE(f.RebuildLanguageList);
}

TEST_F(MainWindow, RememberedLanguageMissingFromTheCategoryLeavesTheBoxTextEmpty) {
    SaveSetting("Marlu Viewer", "Settings", "TVLang", "Dutch");
    Form1& f = Start();
    EXPECT_EQ(f.ListView1->rowCount(), 0);
    EXPECT_EQ(f.Combo1->count(), 5);
    EXPECT_TRUE(f.Combo1->currentText().isEmpty());
}

TEST_F(MainWindow, PickingALanguageFiltersAndIsRememberedPerCategory) {
    Form1& f = Start();
    f.Combo1->setCurrentIndex(f.Combo1->findText(QStringLiteral("German")));
    emit f.Combo1->activated(f.Combo1->currentIndex());
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Kanal Drei"});
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "TVLang", ""), "German");
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "RadioLang", "unset"), "unset");
    QTest::mouseClick(f.cmdRadio, Qt::LeftButton);
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Radio One"});
    QTest::mouseClick(f.cmdTV, Qt::LeftButton);
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Kanal Drei"});
}

TEST_F(MainWindow, EditingModeAddsTheUrlColumnOnlyWithAdminTxt) {
    {
        Form1& f = Start();
        EXPECT_FALSE(f.EditMode);
        EXPECT_EQ(f.ListView1->columnHeaders(), (L({"Channel", "Category", "Type"})));
        EXPECT_FALSE(f.Frame2->isVisible());
        EXPECT_FALSE(f.chkLoad->isChecked());
    }
    program.write("admin.txt", "");  // empty, its content is never read
    Form1& f = Start();
    EXPECT_TRUE(f.EditMode);
    EXPECT_EQ(f.ListView1->columnHeaders(), (L({"Channel", "Category", "Type", "URL"})));
    EXPECT_EQ(f.ListView2->columnHeaders(), (L({"Channel", "Category", "Type"})));
    EXPECT_TRUE(f.Frame2->isVisible());
    EXPECT_TRUE(f.chkLoad->isChecked());
    EXPECT_EQ(Column(f.ListView1, 3), (std::vector<std::string>{"", "", ""}));  // filled only by the editor
}

TEST_F(MainWindow, AFolderNamedAdminTxtDoesNotSwitchOnEditing) {
    std::filesystem::create_directory(program / "admin.txt");
    EXPECT_FALSE(Start().EditMode);
}

TEST_F(MainWindow, ResellerButtonsOnlyForTheResellerExactly) {
    {
        Form1& f = Start();
        EXPECT_FALSE(f.cmdSports->isVisible());
        EXPECT_FALSE(f.cmdExtras->isVisible());
        EXPECT_FALSE(f.cmdXXX->isVisible());
        EXPECT_EQ(twips::Geometry(f.cmdWebsite).left, 6660);
    }
    Configure("orvane software");
    {
        Form1& f = Start();
        EXPECT_FALSE(f.cmdSports->isVisible());
    }
    Configure("Orvane Software");
    Form1& f = Start();
    EXPECT_TRUE(f.cmdSports->isVisible());
    EXPECT_TRUE(f.cmdExtras->isVisible());
    EXPECT_TRUE(f.cmdXXX->isVisible());
    EXPECT_EQ(twips::Geometry(f.cmdWebsite).left, 9300 + 1275 + 60);
}

TEST_F(MainWindow, CaptionsComeFromTheProfile) {
    Form1& f = Start();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Marlu Viewer by Marlu"));
    EXPECT_EQ(f.cmdWebsite->text(), QStringLiteral("Visit www.example.test"));
}

TEST_F(MainWindow, FreshWindowShowsTheViewerAndHidesTemplatesAndBanner) {
    Form1& f = Start();
    for (QWidget* w :
         {static_cast<QWidget*>(f.cmdTV), static_cast<QWidget*>(f.cmdRadio), static_cast<QWidget*>(f.cmdVideo),
          static_cast<QWidget*>(f.cmdFavorites), static_cast<QWidget*>(f.cmdFiles), static_cast<QWidget*>(f.cmdWebsite),
          static_cast<QWidget*>(f.Frame1), static_cast<QWidget*>(f.WindowsMediaPlayer1)})
        EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
    for (QWidget* w :
         {static_cast<QWidget*>(f.Frame2), static_cast<QWidget*>(f.Frame3), static_cast<QWidget*>(f.Frame4),
          static_cast<QWidget*>(f.wbBanner), static_cast<QWidget*>(f.wbPicture), static_cast<QWidget*>(f.SkinLabel1[0]),
          static_cast<QWidget*>(f.SkinLabel2[0]), static_cast<QWidget*>(f.SkinLabel3[0]),
          static_cast<QWidget*>(f.SkinLabel4[0])})
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    // The three frames share one rectangle.
    EXPECT_EQ(twips::Geometry(f.Frame1), twips::Geometry(f.Frame3));
    EXPECT_EQ(twips::Geometry(f.Frame1), twips::Geometry(f.Frame4));
}

TEST_F(MainWindow, ControlsCarryTheirDesignNamesAndIndices) {
    Form1& f = Start();
    for (const char* name : {"cmdTV", "Combo1", "ListView1", "ListView2", "Frame2", "txtEditURL", "cmbEditCateogy",
                             "WindowsMediaPlayer1", "Drive1", "Dir1", "File1", "chkLoad", "Label3"})
        EXPECT_NE(f.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(f.SkinLabel1[0]->property("index").toInt(), 0);
    const auto cat = f.findChildren<QAction*>(QStringLiteral("mnuCatItem"));
    ASSERT_EQ(cat.size(), 5);
    EXPECT_EQ(f.mnuCatItem[4]->text(), QStringLiteral("My Files"));
    EXPECT_EQ(f.mnuCatItem[4]->property("index").toInt(), 4);
    EXPECT_EQ(f.WindowsMediaPlayer1->property("playState").toString(), QStringLiteral("idle"));
    EXPECT_EQ(f.WindowsMediaPlayer1->volume(), 50);
}

TEST_F(MainWindow, MenuBarShowsFourMenusAndHidesLanguages) {
    Form1& f = Start();
    QStringList shown;
    for (QAction* a : f.menuBar()->actions())
        if (a->isVisible()) shown << a->text();
    EXPECT_EQ(shown, (L({"File", "Categories", "Help", "About"})));
    EXPECT_EQ(f.mnuLanguageItem[0]->text(), QStringLiteral("Change Language"));
    EXPECT_TRUE(f.mnuFileItem[1]->isSeparator());
}

TEST_F(MainWindow, CategoriesMenuRunsTheButtons) {
    Form1& f = Start();
    f.mnuCatItem[2]->trigger();
    EXPECT_EQ(f.CurrentCategory, "Video");
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Film"});
    f.mnuCatItem_Click(9);  // no such entry: nothing happens
    EXPECT_EQ(f.CurrentCategory, "Video");
}

TEST_F(MainWindow, LayoutRuleFollowsAResize) {
    Form1& f = Start();
    f.resize(twips::ToPixels(18000), twips::ToPixels(12000));
    QTest::qWait(10);
    const int w = twips::FromPixels(f.frameGeometry().width());
    const int h = twips::FromPixels(f.frameGeometry().height());
    const auto player = twips::Geometry(f.WindowsMediaPlayer1);
    EXPECT_EQ(player.width, std::abs(w - 5340 - 600));
    EXPECT_EQ(player.height, std::abs(h - 1140 - 1000));
    EXPECT_EQ(twips::Geometry(f.Frame1).height, player.height + 140);
    EXPECT_EQ(twips::Geometry(f.Frame4), twips::Geometry(f.Frame1));
    EXPECT_EQ(twips::Geometry(f.ListView1).height, std::abs(player.height + 140 - 900 - 60));
    EXPECT_EQ(twips::Geometry(f.ListView2), twips::Geometry(f.ListView1));
    EXPECT_EQ(twips::Geometry(f.cmdWebsite).width, std::abs(w - 6660 - 600));
    EXPECT_EQ(twips::Geometry(f.Frame2), (layout::Rect{5400, 1080, 9675, 7095}));  // not moved
}

TEST_F(MainWindow, MinimisedWindowKeepsItsSizes) {
    Form1& f = Start();
    const auto before = twips::Geometry(f.WindowsMediaPlayer1);
    f.setWindowState(Qt::WindowMinimized);
    f.resize(200, 150);
    QTest::qWait(10);
    EXPECT_EQ(twips::Geometry(f.WindowsMediaPlayer1), before);
}

TEST_F(MainWindow, MissingCatalogueIsReportedAndStartUpGoesOn) {
    std::filesystem::remove(program / "Data.txt");
    ModalWatcher watcher;
    Form1& f = Start();
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_EQ(watcher.texts()[0], QString::fromLatin1(Form1::kCatalogueMissingMessage));
    EXPECT_EQ(watcher.titles()[0], QStringLiteral("Marlu Viewer"));
    EXPECT_EQ(f.ListView1->rowCount(), 0);
    EXPECT_TRUE(f.isVisible());
}

TEST_F(MainWindow, BrokenLinesAreSkippedWithoutAMessage) {
    std::string text = SampleCatalogue();
    text += modGenDec::EncodeLine("two|fields") + "\r\n";
    catalogue::AppendEncodedLine(text, "After", "u", "TV", "English");
    program.write("Data.txt", text);
    ModalWatcher watcher;
    Form1& f = Start();
    EXPECT_TRUE(watcher.texts().isEmpty());
    EXPECT_EQ(Column(f.ListView1, 0), (std::vector<std::string>{"Zeta News", "Alpha TV", "Beta TV", "After"}));
}

TEST_F(MainWindow, SecondInstanceEndsSilentlyWithoutAWindow) {
    Configure("Marlu", /*prevInstance=*/true);
    ModalWatcher watcher;
    Form1& f = Start();
    EXPECT_TRUE(f.endedAtStart());
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.ListView1->rowCount(), 0);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Form1"));
    EXPECT_TRUE(watcher.texts().isEmpty());
}

TEST_F(MainWindow, ClosingStopsAndClosesThePlayer) {
    Form1& f = Start();
    f.WindowsMediaPlayer1->setProperty("URL", QStringLiteral("http://127.0.0.1/x"));
    f.close();
    EXPECT_TRUE(f.WindowsMediaPlayer1->url().isEmpty());
}

TEST_F(MainWindow, ButtonsCarryPicturesOfTheirDesignSize) {
    Form1& f = Start();
    for (QToolButton* b :
         {f.cmdTV, f.cmdRadio, f.cmdVideo, f.cmdFavorites, f.cmdFiles, f.cmdSports, f.cmdExtras, f.cmdXXX}) {
        ASSERT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
        EXPECT_EQ(b->icon().availableSizes().value(0), QSize(32, 32)) << b->objectName().toStdString();
    }
    EXPECT_EQ(f.cmdWebsite->icon().availableSizes().value(0), QSize(24, 24));
    EXPECT_EQ(f.cmdFav->icon().availableSizes().value(0), QSize(16, 16));
    EXPECT_EQ(f.Command1->icon().availableSizes().value(0), QSize(16, 16));
}

TEST_F(MainWindow, EditingFrameCaptionsAreTheDesignTexts) {
    Form1& f = Start();
    const QString spaces(56, QLatin1Char(' '));
    EXPECT_EQ(f.Label3->text(),
              QStringLiteral("Replace") + spaces + QStringLiteral("with") + spaces + QStringLiteral("in column"));
    EXPECT_EQ(f.chkLoad->text(), QStringLiteral("Don't Load Video While Editing"));
    EXPECT_EQ(Entries(f.cmbEditCateogy), L({"TV", "Radio", "Video", "XXX"}));
    EXPECT_EQ(f.cmbEditCateogy->currentText(), QStringLiteral("TV"));
    EXPECT_EQ(Entries(f.Combo2), L({"Channel", "Language"}));
    EXPECT_EQ(f.txtAddType->text(), QStringLiteral("Language/Type"));
    EXPECT_FALSE(f.cmdDupes->isVisibleTo(f.Frame2));
    EXPECT_FALSE(f.Recommended->isVisibleTo(f.Frame2));
    EXPECT_TRUE(f.cmdMusic->isVisibleTo(f.Frame2));
}

namespace {
// The design name of the control that has the focus (a part stands for its control).
QString FocusedControl(QWidget* window) {
    for (QWidget* w = QApplication::focusWidget(); w && w != window; w = w->parentWidget()) {
        if (w->property(design::kTabIndex).isValid()) return w->objectName();
        if (!w->objectName().isEmpty() && qobject_cast<PlayerPane*>(w->parentWidget()->parentWidget()))
            return w->objectName();  // a part of the player's control bar
    }
    return QStringLiteral("?");
}
QStringList TabWalk(Form1& f, QWidget* from, int steps) {
    from->setFocus();
    QStringList seen{FocusedControl(&f)};
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << FocusedControl(&f);
    }
    return seen;
}
}  // namespace

// Tab follows the design's tab indexes across every container: the player right after the
// web-site button, and in editing mode the Add and Edit rows after "Music Type". Play and Stop
// take part once there is something to play or to stop.
TEST_F(MainWindow, TabFollowsTheDesignsTabIndexes) {
    Form1& f = Start();
    f.activateWindow();
    EXPECT_EQ(TabWalk(f, f.cmdTV, 11), L({"cmdTV", "cmdWebsite", "mute", "volume", "Combo1", "ListView1", "cmdRadio",
                                          "cmdVideo", "cmdFavorites", "cmdFiles", "cmdFav", "cmdTV"}));
    TinyHttp silent;
    silent.silent("/wait.ts");
    f.WindowsMediaPlayer1->setUrl(QString::fromStdString(silent.url("/wait.ts")), QStringLiteral("Waiting"));
    EXPECT_EQ(TabWalk(f, f.cmdWebsite, 4), L({"cmdWebsite", "playPause", "stop", "mute", "volume"}));
    f.WindowsMediaPlayer1->stop();
}

TEST_F(MainWindow, InEditingModeTheAddAndEditRowsFollowMusicType) {
    program.write("admin.txt", "");
    Form1& f = Start();
    f.activateWindow();
    const QStringList walk = TabWalk(f, f.Text4, 3);
    EXPECT_EQ(walk, L({"Text4", "cmdMusic", "txtAddName", "txtAddType"}));
}

// Small things of the design: the Exit entry has its picture like its siblings, the file
// browser keeps the design's default font, and the title bar shows the program's icon.
TEST_F(MainWindow, ExitPictureFileBrowserFontAndTitleBarIcon) {
    QApplication::setWindowIcon(modIcon::LoadIconResource(QStringLiteral("AAA")));
    Form1& f = Start();
    ASSERT_EQ(f.mnuFileItem.size(), 3u);
    EXPECT_FALSE(f.mnuFileItem[0]->icon().isNull());
    EXPECT_FALSE(f.mnuFileItem[2]->icon().isNull());
    for (QWidget* w : {static_cast<QWidget*>(f.Drive1), static_cast<QWidget*>(f.Dir1), static_cast<QWidget*>(f.File1)})
        EXPECT_EQ(w->font().family(), QStringLiteral("MS Sans Serif")) << w->objectName().toStdString();
    EXPECT_FALSE(f.windowIcon().isNull());
    EXPECT_FALSE(f.windowIcon().availableSizes().isEmpty());
}
