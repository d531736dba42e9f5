// The favourites list and its file.
#include <QCheckBox>
#include <QGroupBox>
#include <QToolButton>

#include "base/file_io.h"
#include "base/program_files.h"
#include "catalogue/codec.h"
#include "catalogue/favorites.h"
#include "player/player_pane.h"
#include "support/modal_watcher.h"
#include "widgets/pick_combo.h"
#include "windows/language_window.h"
#include "windows/launchers.h"
#include "windows/main_window_fixture.h"

namespace {
// The favourites file as the rows it holds: name|address|category|type, in file order.
std::vector<std::string> FileRows(const TempDir& program) {
    std::vector<std::string> out;
    for (const auto& c : catalogue::ParseFavorites(program.read("Favorites.txt")))
        out.push_back(c.name + "|" + c.address + "|" + c.category + "|" + c.language);
    return out;
}
std::vector<std::string> ListRows(const ListView* list) {
    std::vector<std::string> out;
    for (const ListRow& r : list->rows()) out.push_back(r.name + "|" + r.address + "|" + r.category + "|" + r.language);
    return out;
}
}  // namespace

TEST_F(MainWindow, AddingTheSameChannelTwiceGivesTwoRowsAndTwoLines) {
    Form1& f = Start();
    f.ListView1->selectRow(0);
    QTest::mouseClick(f.cmdFav, Qt::LeftButton);
    QTest::mouseClick(f.cmdFav, Qt::LeftButton);
    EXPECT_EQ(f.ListView2->rowCount(), 2);
    const std::string line = "Zeta News|http://127.0.0.1/Zeta News|TV|English";
    EXPECT_EQ(FileRows(program), (std::vector<std::string>{line, line}));
    // One coded line per row, each ended by CR LF.
    const std::string raw = program.read("Favorites.txt");
    EXPECT_EQ(raw, modGenDec::EncodeLine(line) + "\r\n" + modGenDec::EncodeLine(line) + "\r\n");
}

TEST_F(MainWindow, TheFileAlwaysMirrorsTheListAndRemovingTheLastLeavesAnEmptyFile) {
    Form1& f = Start();
    for (int row : {0, 1, 2}) {
        f.ListView1->selectRow(row);
        f.cmdFav_Click();
        EXPECT_EQ(FileRows(program), ListRows(f.ListView2));
    }
    f.ListView2->selectRow(1);
    QTest::mouseClick(f.Command1, Qt::LeftButton);
    EXPECT_EQ(ListRows(f.ListView2).size(), 2u);
    EXPECT_EQ(FileRows(program), ListRows(f.ListView2));
    for (int i = 0; i < 2; ++i) {
        f.ListView2->selectRow(0);
        f.Command1_Click();
    }
    EXPECT_TRUE(std::filesystem::exists(program / "Favorites.txt"));
    EXPECT_EQ(program.read("Favorites.txt"), "");
}

TEST_F(MainWindow, AddWithoutSelectionAndRemoveWithoutSelectionChangeNothing) {
    Form1& f = Start();
    f.cmdFav_Click();
    EXPECT_EQ(f.ListView2->rowCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(program / "Favorites.txt"));
    f.ListView1->selectRow(0);
    f.cmdFav_Click();
    f.Command1_Click();  // nothing selected in the favourites
    EXPECT_EQ(f.ListView2->rowCount(), 1);
    EXPECT_EQ(FileRows(program).size(), 1u);
}

TEST_F(MainWindow, FavouritesComeBackAtTheNextStartAndShortLinesAreSkipped) {
    std::string file;
    catalogue::AppendEncodedLine(file, "Kept", "http://127.0.0.1/kept", "Radio", "French");
    file += modGenDec::EncodeLine("short|line") + "\r\n";
    file += "\r\n";
    catalogue::AppendEncodedLine(file, "Also kept", "http://127.0.0.1/also", "TV", "German");
    program.write("Favorites.txt", file);
    Form1& f = Start();
    EXPECT_EQ(ListRows(f.ListView2), (std::vector<std::string>{"Kept|http://127.0.0.1/kept|Radio|French",
                                                               "Also kept|http://127.0.0.1/also|TV|German"}));
    QTest::mouseClick(f.cmdFavorites, Qt::LeftButton);
    QTest::mouseClick(f.cmdFavorites, Qt::LeftButton);  // twice: no row doubles
    EXPECT_EQ(f.ListView2->rowCount(), 2);
    EXPECT_TRUE(f.Frame3->isVisible());
    EXPECT_FALSE(f.Frame1->isVisible());
    EXPECT_FALSE(f.Frame4->isVisible());
}

TEST_F(MainWindow, AFailedSaveKeepsTheOldFileAndTellsTheUser) {
    Form1& f = Start();
    f.ListView1->selectRow(0);
    f.cmdFav_Click();
    const std::string before = program.read("Favorites.txt");
    ModalWatcher watcher;
    base::InjectWriteFailure(base::WriteStep::Write);
    f.ListView1->selectRow(1);
    f.cmdFav_Click();
    base::InjectWriteFailure(std::nullopt);
    EXPECT_EQ(program.read("Favorites.txt"), before);
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("could not be saved")));
    // The list went back to what the file holds: the window never shows an unsaved favourite.
    EXPECT_EQ(f.ListView2->rowCount(), 1);
    EXPECT_EQ(FileRows(program).size(), 1u);
    f.ListView1->selectRow(1);
    f.cmdFav_Click();  // the next save goes through
    EXPECT_EQ(FileRows(program).size(), 2u);
    EXPECT_EQ(f.ListView2->rowCount(), 2);
}

TEST_F(MainWindow, ClickingAFavouritePlaysItUnlessChkLoadIsTicked) {
    Form1& f = Start();
    f.ListView1->selectRow(0);
    f.cmdFav_Click();
    f.cmdFavorites_Click();
    f.ListView2->selectRow(0);
    f.chkLoad->setChecked(true);
    f.ListView2_Click();
    EXPECT_TRUE(f.WindowsMediaPlayer1->url().isEmpty());
    f.chkLoad->setChecked(false);
    f.ListView2_Click();
    EXPECT_EQ(f.WindowsMediaPlayer1->url(), QStringLiteral("http://127.0.0.1/Zeta News"));
}

#ifndef _WIN32
TEST_F(MainWindow, AFavoritesFileThatCannotBeReadIsNeverOverwrittenAndChangesWaitForIt) {
    // Over the size cap, the file cannot be read, even by root.
    program.write("Favorites.txt", std::string(catalogue::kMaxFavoritesBytes + 1, 'x'));
    ModalWatcher watcher;
    Form1& f = Start();
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("could not be read")));
    f.ListView1->selectRow(0);
    f.cmdFav_Click();
    f.Command1_Click();
    ASSERT_EQ(watcher.texts().size(), 3);
    EXPECT_TRUE(watcher.texts()[1].contains(QStringLiteral("cannot be changed now")));
    EXPECT_EQ(std::filesystem::file_size(program / "Favorites.txt"), catalogue::kMaxFavoritesBytes + 1);
    EXPECT_EQ(f.ListView2->rowCount(), 0);
    // Once the file reads again, changes go through.
    program.write("Favorites.txt", "");
    f.cmdFav_Click();
    EXPECT_EQ(watcher.texts().size(), 3);
    EXPECT_EQ(FileRows(program).size(), 1u);
    EXPECT_EQ(f.ListView2->rowCount(), 1);
}
#endif

// The program's files in another letter case are the same files: read, written and opened as
// they are, never with a second file made beside them.
TEST_F(MainWindow, FilesInAnotherLetterCaseAreTheSameFiles) {
    std::string favourites;
    catalogue::AppendEncodedLine(favourites, "Kept", "http://127.0.0.1/kept", "TV", "English");
    program.write("favorites.txt", favourites);
    program.write("LOCALIZATION.TXT",
                  "<LANGUAGE_GROUP><LANGUAGE_NAME>Deutsch</LANGUAGE_NAME><TRANSLATION_ITEMS></TRANSLATION_ITEMS>"
                  "</LANGUAGE_GROUP>\r\n");
    ModalWatcher watcher;
    Form1& f = Start();
    EXPECT_TRUE(watcher.texts().isEmpty()) << watcher.texts().join(QStringLiteral(" | ")).toStdString();
    ASSERT_EQ(ListRows(f.ListView2).size(), 1u);
    f.ListView1->selectRow(0);
    QTest::mouseClick(f.cmdFav, Qt::LeftButton);
    EXPECT_FALSE(std::filesystem::exists(program / "Favorites.txt"));
    EXPECT_EQ(catalogue::ParseFavorites(program.read("favorites.txt")).size(), 2u);
    frmLanguage* languages = frmLanguage::Show();
    EXPECT_EQ(languages->Combo1->count(), 1);
    delete languages;
    EXPECT_EQ(program_files::ReadPath("help.CHM").filename(), "help.CHM");  // nothing there: asked as is
    program.write("help.chm", "help");
    EXPECT_EQ(Form8::CompiledHelp(), (program / "help.chm").string());
}
