// Categories, the language box, channel selection and the web buttons.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QToolButton>

#include "widgets/pick_combo.h"

#include "player/player_pane.h"
#include "services/settings.h"
#include "widgets/shell.h"
#include "windows/main_window_fixture.h"

namespace {
void Pick(QComboBox* box, const char* text) {
    const int at = box->findText(QString::fromUtf8(text));
    ASSERT_GE(at, 0) << text;
    box->setCurrentIndex(at);
    emit box->activated(at);
}
}  // namespace

TEST_F(MainWindow, EachCategoryButtonAndMenuEntryShowsItsCategoryWithItsRememberedLanguage) {
    SaveSetting("Marlu Viewer", "Settings", "RadioLang", "All");
    SaveSetting("Marlu Viewer", "Settings", "VideoLang", "English");
    Form1& f = Start();
    QTest::mouseClick(f.cmdRadio, Qt::LeftButton);
    EXPECT_EQ(f.CurrentCategory, "Radio");
    EXPECT_EQ(f.LanguageFilter, "All");
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Radio One"});
    EXPECT_TRUE(f.Combo1->currentText().isEmpty());  // "All" is never among the gathered languages
    f.mnuCatItem[0]->trigger();
    EXPECT_EQ(f.CurrentCategory, "TV");
    EXPECT_EQ(f.ListView1->rowCount(), 3);
    f.mnuCatItem[2]->trigger();
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Film"});
}

TEST_F(MainWindow, PickedLanguageSurvivesARestartOfTheWindow) {
    {
        Form1& f = Start();
        Pick(f.Combo1, "All");
        EXPECT_EQ(f.ListView1->rowCount(), 5);
        EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "TVLang", ""), "All");
    }
    Form1& f = Start();
    EXPECT_EQ(f.LanguageFilter, "All");
    EXPECT_EQ(f.ListView1->rowCount(), 5);
    EXPECT_TRUE(f.Combo1->currentText().isEmpty());
}

TEST_F(MainWindow, XxxStartsFromTheVideoLanguageAndStoresNothing) {
    std::string text = SampleCatalogue();
    catalogue::AppendEncodedLine(text, "Late One", "u1", "XXX", "German");
    catalogue::AppendEncodedLine(text, "Late Two", "u2", "XXX", "English");
    program.write("Data.txt", text);
    SaveSetting("Marlu Viewer", "Settings", "VideoLang", "German");
    Form1& f = Start();
    f.cmdXXX_Click();
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Late One"});
    Pick(f.Combo1, "English");
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Late Two"});
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "VideoLang", ""), "German");
    f.cmdXXX_Click();
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Late One"});
}

TEST_F(MainWindow, TypingIntoTheLanguageBoxChangesNothing) {
    Form1& f = Start();
    f.Combo1->setFocus();
    f.Combo1->lineEdit()->selectAll();
    QTest::keyClicks(f.Combo1->lineEdit(), QStringLiteral("German"));  // the text of an entry
    QTest::keyClick(f.Combo1->lineEdit(), Qt::Key_Return);
    f.cmdTV->setFocus();  // leaving the field
    QTest::qWait(10);
    EXPECT_EQ(f.LanguageFilter, "English");
    EXPECT_EQ(f.ListView1->rowCount(), 3);
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "TVLang", "unset"), "unset");
}

TEST_F(MainWindow, WebButtonsLeaveTheWindowAlone) {
    QStringList opened;
    shell::SetOpenerForTests([&](const QString& target) { opened << target; });
    Form1& f = Start();
    const auto rows = Column(f.ListView1, 0);
    QTest::mouseClick(f.cmdWebsite, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QStringLiteral("http://www.example.test")});
    EXPECT_EQ(f.CurrentCategory, "TV");
    EXPECT_EQ(Column(f.ListView1, 0), rows);
    EXPECT_TRUE(f.Frame1->isVisible());
    shell::SetOpenerForTests({});
    modPrivateLabel::WebTarget.clear();
}

TEST_F(MainWindow, ClickingAChannelHandsItsAddressToThePlayer) {
    Form1& f = Start();
    f.ListView1->selectRow(1);
    f.ListView1_Click();
    EXPECT_EQ(f.WindowsMediaPlayer1->url(), QStringLiteral("http://127.0.0.1/Alpha TV"));
    EXPECT_EQ(f.txtEditName->text(), QStringLiteral("Name"));  // edit fields untouched outside editing mode
}

TEST_F(MainWindow, EditingModeFillsTheEditFieldsAndChkLoadKeepsThePlayerAlone) {
    program.write("admin.txt", "");
    Form1& f = Start();
    f.WindowsMediaPlayer1->setUrl(QStringLiteral("http://127.0.0.1/before"));
    f.ListView1->selectRow(2);
    f.ListView1_Click();
    EXPECT_EQ(f.txtEditName->text(), QStringLiteral("Beta TV"));
    EXPECT_EQ(f.cmbEditCateogy->currentText(), QStringLiteral("TV"));
    EXPECT_EQ(f.txtEditType->text(), QStringLiteral("ENGLISH"));
    EXPECT_TRUE(f.txtEditURL->text().isEmpty());
    EXPECT_EQ(f.WindowsMediaPlayer1->url(), QStringLiteral("http://127.0.0.1/before"));
    f.chkLoad->setChecked(false);
    f.ListView1_Click();
    EXPECT_EQ(f.WindowsMediaPlayer1->url(), QStringLiteral("http://127.0.0.1/Beta TV"));
}

TEST_F(MainWindow, ClickWithoutSelectionDoesNothing) {
    program.write("Data.txt", "");
    Form1& f = Start();
    f.ListView1_Click();
    f.ListView2_Click();
    EXPECT_TRUE(f.WindowsMediaPlayer1->url().isEmpty());
    EXPECT_EQ(f.WindowsMediaPlayer1->playState(), QStringLiteral("idle"));
}
