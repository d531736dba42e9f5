// The catalogue editing panel and the catalogue update from the web.
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>

#include <QTcpServer>
#include "base/file_io.h"
#include "base/line_reader.h"
#include "base/program_files.h"
#include "catalogue/codec.h"

#include "support/http_server.h"
#include "support/modal_watcher.h"
#include "windows/main_window_fixture.h"

namespace {
// The decoded lines of a catalogue text, empty lines left out.
std::vector<std::string> Decoded(const std::string& text) {
    std::vector<std::string> out;
    text::ForEachLine(text, [&](std::string_view l) {
        if (!l.empty()) out.push_back(modGenDec::DecodeLine(l));
    });
    return out;
}
std::vector<std::string> DecodedDocument(const std::string& document) {
    const std::string start = "<data>\r\n", end = "</data>\r\n";
    EXPECT_EQ(document.substr(0, start.size()), start);
    EXPECT_EQ(document.substr(document.size() - end.size()), end);
    return Decoded(document.substr(start.size(), document.size() - start.size() - end.size()));
}

class Editor : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        program.write("admin.txt", "");
    }
};
}  // namespace

TEST_F(Editor, LoadSaveWithoutEditsKeepsEveryLineInOrder) {
    Form1& f = Start();
    QTest::mouseClick(f.Clear, Qt::LeftButton);
    QTest::mouseClick(f.doLoad, Qt::LeftButton);
    EXPECT_EQ(f.ListView1->rowCount(), 7);  // every category
    EXPECT_EQ(f.ListView1->channels()->cell(1, 3), "http://127.0.0.1/Radio One");
    QTest::mouseClick(f.save, Qt::LeftButton);
    EXPECT_EQ(DecodedDocument(program.read("Data.htm")), Decoded(program.read("Data.txt")));
}

TEST_F(Editor, LoadingTwiceListsEverythingTwiceAndAnEmptyListSavesJustTheMarkers) {
    Form1& f = Start();
    f.Clear_Click();
    f.save_Click();
    EXPECT_EQ(program.read("Data.htm"), "<data>\r\n</data>\r\n");
    f.doLoad_Click();
    f.doLoad_Click();
    EXPECT_EQ(f.ListView1->rowCount(), 14);
}

TEST_F(Editor, AddEditDeleteReplaceAndTagReachTheSavedDocument) {
    Form1& f = Start();
    f.Clear_Click();
    f.doLoad_Click();
    // Edit row 0 (Zeta News) through the fields a click fills.
    f.ListView1->selectRow(0);
    f.ListView1_Click();
    EXPECT_EQ(f.txtEditURL->text(), QStringLiteral("http://127.0.0.1/Zeta News"));
    f.txtEditName->setText(QStringLiteral("Zeta News HD"));
    f.txtEditURL->setText(QStringLiteral("http://127.0.0.1/zeta-hd"));
    QTest::mouseClick(f.cmdEdit, Qt::LeftButton);
    // Add one.
    f.txtAddName->setText(QStringLiteral("New Channel"));
    f.cmbAddCategory->setEditText(QStringLiteral("Radio"));
    f.txtAddType->setText(QStringLiteral("Dutch"));
    f.txtAddURL->setText(QStringLiteral("http://127.0.0.1/new"));
    f.cmdAdd_Click();
    // Delete Film (row 5).
    f.ListView1->selectRow(5);
    f.DELChannel_Click();
    // Replace a word in the names, in any letter case, and a whole language value.
    f.Text2->setText(QStringLiteral("tv"));
    f.Text3->setText(QStringLiteral("Television"));
    f.Combo2->setEditText(QStringLiteral("Channel"));
    QTest::keyClick(f.Text2, Qt::Key_Return);  // Enter runs Replace
    f.Text2->setText(QStringLiteral("German"));
    f.Text3->setText(QStringLiteral("Deutsch"));
    f.Combo2->setEditText(QStringLiteral("Language"));
    f.cmdReplace_Click();
    // Tag a type with Enter in the type box.
    f.ListView1->selectRow(1);
    f.Text4->setText(QStringLiteral("Music"));
    QTest::keyClick(f.Text4, Qt::Key_Return);
    EXPECT_TRUE(f.Text4->text().isEmpty());
    f.save_Click();
    EXPECT_EQ(
        DecodedDocument(program.read("Data.htm")),
        (std::vector<std::string>{
            "Zeta News HD|http://127.0.0.1/zeta-hd|TV|English", "Radio One|http://127.0.0.1/Radio One|Radio|Music",
            "Canal Un|http://127.0.0.1/Canal Un|TV|French",
            "Alpha Television|http://127.0.0.1/Alpha TV|TV|English/Spanish",
            "Kanal Drei|http://127.0.0.1/Kanal Drei|TV|Deutsch", "Beta Television|http://127.0.0.1/Beta TV|TV|ENGLISH",
            "New Channel|http://127.0.0.1/new|Radio|Dutch"}));
}

TEST_F(Editor, LanguageReplaceNeedsTheWholeValueAndOtherColumnsDoNothing) {
    Form1& f = Start();
    f.Clear_Click();
    f.doLoad_Click();
    f.Text2->setText(QStringLiteral("english"));  // differs in letter case from every value
    f.Text3->setText(QStringLiteral("X"));
    f.Combo2->setEditText(QStringLiteral("Language"));
    f.cmdReplace_Click();
    f.Text2->setText(QStringLiteral("English"));
    f.Combo2->setEditText(QStringLiteral("Name"));
    f.cmdReplace_Click();
    for (int i = 0; i < f.ListView1->rowCount(); ++i) EXPECT_NE(f.ListView1->channels()->cell(i, 2), "X");
}

TEST_F(Editor, CommandsWithoutASelectionDoNothing) {
    Form1& f = Start();
    f.Clear_Click();
    f.doLoad_Click();
    f.ListView1->selectRow(-1);
    f.txtEditName->setText(QStringLiteral("changed"));
    f.cmdEdit_Click();
    f.DELChannel_Click();
    f.Text4->setText(QStringLiteral("Music"));
    f.cmdMusic_Click();
    EXPECT_EQ(f.ListView1->rowCount(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_NE(f.ListView1->channels()->cell(i, 0), "changed");
        EXPECT_NE(f.ListView1->channels()->cell(i, 2), "Music");
    }
}

TEST_F(Editor, LoadWithoutACatalogueSaysSoAndAFailedSaveToo) {
    Form1& f = Start();
    std::filesystem::remove(program / "Data.txt");
    {
        ModalWatcher watcher;
        f.doLoad_Click();
        ASSERT_EQ(watcher.texts().size(), 1);
        EXPECT_EQ(watcher.texts()[0], QString::fromLatin1(Form1::kCatalogueMissingMessage));
    }
    program.write("Data.htm", "old document");
    ModalWatcher watcher;
    base::InjectWriteFailure(base::WriteStep::Sync);
    f.save_Click();
    base::InjectWriteFailure(std::nullopt);
    EXPECT_EQ(program.read("Data.htm"), "old document");
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("could not be saved")));
}

TEST_F(Editor, CloseButtonHidesThePanelAndUnticksChkLoad) {
    Form1& f = Start();
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    EXPECT_FALSE(f.Frame2->isVisible());
    EXPECT_FALSE(f.chkLoad->isChecked());
    EXPECT_TRUE(f.EditMode);
    EXPECT_EQ(f.ListView1->columnHeaders().size(), 4);
}

// The whole round: edit, save Data.htm, publish it inside a web page, download it.
TEST_F(Editor, ASavedDocumentPublishedOnTheUpdatePageReplacesTheCatalogue) {
    HttpServer server;
    Form1& f = Start();
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
    f.Clear_Click();
    f.doLoad_Click();
    f.ListView1->selectRow(0);
    f.DELChannel_Click();  // Zeta News goes
    f.txtAddName->setText(QStringLiteral("Fresh TV"));
    f.cmbAddCategory->setEditText(QStringLiteral("TV"));
    f.txtAddType->setText(QStringLiteral("English"));
    f.txtAddURL->setText(QStringLiteral("http://127.0.0.1/fresh"));
    f.cmdAdd_Click();
    f.save_Click();
    const std::string document = program.read("Data.htm");
    server.serve(QStringLiteral("/TV/Data.htm"),
                 QByteArray("<html><body><p>Channel list of the week</p>\r\n") + QByteArray::fromStdString(document) +
                     QByteArray("<p>Thanks for watching</p></body></html>"),
                 "text/html");
    f.cmdTV_Click();
    ModalWatcher watcher;
    f.mnuFileItem[0]->trigger();
    ASSERT_EQ(watcher.texts(), QStringList{QString::fromLatin1(Form1::kUpdatedMessage)});
    EXPECT_EQ(program.read("Data.txt"), document.substr(6, document.size() - 6 - 9) + "\r\n");
    EXPECT_EQ(Column(f.ListView1, 0), (std::vector<std::string>{"Alpha TV", "Beta TV", "Fresh TV"}));
}

TEST_F(Editor, BrokenPagesErrorPagesAndRefusedConnectionsLeaveTheCatalogueAlone) {
    HttpServer server;
    Form1& f = Start();
    const std::string before = program.read("Data.txt");
    for (const char* page : {"<html>no markers at all</html>", "<data>\r\ncut off before the end marker"}) {
        modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
        server.serve(QStringLiteral("/TV/Data.htm"), QByteArray(page), "text/html");
        ModalWatcher watcher;
        f.mnuFileItem_Click(0);
        EXPECT_EQ(program.read("Data.txt"), before) << page;
        EXPECT_FALSE(watcher.texts().contains(QString::fromLatin1(Form1::kUpdatedMessage)));
    }
    {
        server.serve(QStringLiteral("/TV/Data.htm"), QByteArray(), "text/html");                  // removed below
        modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port()) + "/missing";  // a 404 page
        ModalWatcher watcher;
        f.mnuFileItem_Click(0);
        EXPECT_EQ(program.read("Data.txt"), before);
        ASSERT_EQ(watcher.texts().size(), 1);  // an error answer is reported, not taken for a page
        EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("HTTP status 404")));
        EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("was not changed")));
    }
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 closed = probe.serverPort();
    probe.close();
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(closed);
    ModalWatcher watcher;
    f.mnuFileItem_Click(0);
    EXPECT_EQ(program.read("Data.txt"), before);
    ASSERT_EQ(watcher.texts().size(), 1);  // an unreachable host is reported too
    EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("could not be downloaded")));
}

TEST_F(Editor, AnErrorPageOrAnEmptyBlockNeverReplacesTheCatalogue) {
    HttpServer server;
    Form1& f = Start();
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
    const std::string before = program.read("Data.txt");
    for (const char* page : {"<data></data>", "<data>\r\n\r\nnot a channel\r\n</data>", ""}) {
        server.serve(QStringLiteral("/TV/Data.htm"), QByteArray(page), "text/html");
        ModalWatcher watcher;
        f.mnuFileItem_Click(0);
        EXPECT_EQ(program.read("Data.txt"), before) << page;
        ASSERT_EQ(watcher.texts().size(), 1) << page;
        EXPECT_FALSE(watcher.texts()[0].contains(QString::fromLatin1(Form1::kUpdatedMessage))) << page;
        EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("was not changed"))) << page;
    }
    EXPECT_EQ(f.ListView1->rowCount(), 3);
}

TEST_F(Editor, AFailedWriteOfTheNewCatalogueIsReportedInsteadOfConfirmed) {
    HttpServer server;
    Form1& f = Start();
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
    std::string page = "<data>\r\n";
    catalogue::AppendEncodedLine(page, "New", "http://127.0.0.1/new", "TV", "English");
    page += "</data>\r\n";
    server.serve(QStringLiteral("/TV/Data.htm"), QByteArray::fromStdString(page), "text/html");
    const std::string before = program.read("Data.txt");
    ModalWatcher watcher;
    base::InjectWriteFailure(base::WriteStep::Rename);
    f.mnuFileItem_Click(0);
    base::InjectWriteFailure(std::nullopt);
    EXPECT_EQ(program.read("Data.txt"), before);
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("could not be saved")));
}

TEST_F(Editor, AnUpdateOfAnInstalledProgramLandsInTheUsersCopyAndTheProgramFolderIsLeftAlone) {
    HttpServer server;
    program_files::SetProgramFolderWritableForTests(false);
    Form1& f = Start();
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
    std::string page = "<data>\r\n";
    catalogue::AppendEncodedLine(page, "Fresh", "http://127.0.0.1/fresh", "TV", "English");
    page += "</data>\r\n";
    server.serve(QStringLiteral("/TV/Data.htm"), QByteArray::fromStdString(page), "text/html");
    const std::string before = program.read("Data.txt");
    ModalWatcher watcher;
    f.mnuFileItem_Click(0);
    const std::filesystem::path own = program_files::UserDataFolder() / "Data.txt";
    const bool landed = std::filesystem::exists(own);
    std::filesystem::remove(own);
    program_files::SetProgramFolderWritableForTests(std::nullopt);
    EXPECT_EQ(program.read("Data.txt"), before);
    EXPECT_TRUE(landed);
    EXPECT_EQ(watcher.texts(), QStringList{QString::fromLatin1(Form1::kUpdatedMessage)});
    EXPECT_EQ(Column(f.ListView1, 0), std::vector<std::string>{"Fresh"});
}

// A header click re-sorts the rows; the selected row stays selected, in its new place, so the
// commands that act on the selection still act on it. Loading more rows keeps it too.
TEST_F(Editor, TheSelectionFollowsItsRowThroughSortsAndLoads) {
    Form1& f = Start();
    f.Clear_Click();
    f.doLoad_Click();
    QTreeView* list = f.ListView1;
    const QRect radioOne = list->visualRect(f.ListView1->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, radioOne.center());
    ASSERT_EQ(f.txtEditName->text(), QStringLiteral("Radio One"));
    for (int section : {0, 0, 1, 2}) {
        QHeaderView* header = list->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        ASSERT_GE(f.ListView1->selectedIndex(), 0) << "after sorting by column " << section + 1;
        EXPECT_EQ(f.ListView1->row(f.ListView1->selectedIndex()).name, "Radio One");
    }
    f.doLoad_Click();  // the same rows once more, sorted in
    ASSERT_GE(f.ListView1->selectedIndex(), 0);
    EXPECT_EQ(f.ListView1->row(f.ListView1->selectedIndex()).name, "Radio One");
    // "OK" still writes into that row.
    f.txtEditType->setText(QStringLiteral("Talk"));
    QTest::mouseClick(f.cmdEdit, Qt::LeftButton);
    EXPECT_EQ(f.ListView1->row(f.ListView1->selectedIndex()).language, "Talk");
}

// After a delete no row is chosen, and "OK" never writes the deleted row's values into
// another row.
TEST_F(Editor, OkAfterADeleteChangesNoOtherRow) {
    Form1& f = Start();
    f.Clear_Click();
    f.doLoad_Click();
    const std::vector<ListRow> before = f.ListView1->rows();
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {},
                      f.ListView1->visualRect(f.ListView1->model()->index(2, 0)).center());
    ASSERT_EQ(f.txtEditName->text(), QString::fromStdString(before[2].name));  // the fields hold row 2
    QTest::mouseClick(f.DELChannel, Qt::LeftButton);
    EXPECT_EQ(f.ListView1->selectedIndex(), -1);
    f.ListView1->selectRow(2);  // highlighted without a click
    {
        // The fields came from another row: asked before they go into this one; "No" keeps it.
        ModalWatcher no(QMessageBox::No);
        QTest::mouseClick(f.cmdEdit, Qt::LeftButton);
        EXPECT_EQ(no.texts().size(), 1);
    }
    EXPECT_EQ(f.ListView1->row(2).name, before[3].name);
    EXPECT_EQ(f.ListView1->row(2).url, before[3].url);
}

TEST_F(Editor, TheKeysMoveTheEditorWithoutDroppingTypedTextAndOkWritesIntoTheRowOnShow) {
    Form1& f = Start();
    f.Clear_Click();
    f.doLoad_Click();
    const std::vector<ListRow> before = f.ListView1->rows();
    QTest::mouseClick(f.ListView1->viewport(), Qt::LeftButton, {},
                      f.ListView1->visualRect(f.ListView1->model()->index(0, 0)).center());
    // Untouched fields follow the highlight at once: "OK" right after Down edits row 1.
    QTest::keyClick(f.ListView1, Qt::Key_Down);
    ASSERT_EQ(f.ListView1->selectedIndex(), 1);
    EXPECT_EQ(f.txtEditName->text(), QString::fromStdString(before[1].name));
    f.txtEditName->setText(QStringLiteral("Renamed"));
    {
        ModalWatcher watcher;
        QTest::mouseClick(f.cmdEdit, Qt::LeftButton);
        EXPECT_TRUE(watcher.texts().isEmpty());
    }
    EXPECT_EQ(f.ListView1->row(1).name, "Renamed");

    // Typed text stays when the highlight moves on, also once the keys have rested; "OK" then
    // asks, and "Yes" writes it into the row on show.
    f.txtEditType->setText(QStringLiteral("Typed"));
    QTest::keyClick(f.ListView1, Qt::Key_Down);
    QTest::qWait(400);
    EXPECT_EQ(f.txtEditName->text(), QStringLiteral("Renamed"));
    EXPECT_EQ(f.txtEditType->text(), QStringLiteral("Typed"));
    {
        ModalWatcher yes(QMessageBox::Yes);
        QTest::mouseClick(f.cmdEdit, Qt::LeftButton);
        ASSERT_EQ(yes.texts().size(), 1);
        EXPECT_TRUE(yes.texts()[0].contains(QStringLiteral("Renamed"))) << yes.texts()[0].toStdString();
    }
    EXPECT_EQ(f.ListView1->row(2).name, "Renamed");
    EXPECT_EQ(f.ListView1->row(2).language, "Typed");
    EXPECT_EQ(f.ListView1->row(1).language, before[1].language);
}

// Damaged lines are skipped and the operator is told how many and where, after the list is in.
TEST_F(Editor, DamagedLinesAreCountedWithTheirLineNumbers) {
    std::string data = program.read("Data.txt");
    data = modGenDec::EncodeLine("Broken|only two") + "\r\n" + data + modGenDec::EncodeLine("a|b|c") + "\r\n";
    program.write("Data.txt", data);
    Form1& f = Start();
    f.Clear_Click();
    ModalWatcher watcher;
    f.doLoad_Click();
    EXPECT_EQ(f.ListView1->rowCount(), 7);
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_EQ(watcher.texts().front(),
              QStringLiteral("2 damaged lines of the channel list were skipped (lines 1, 9)."));
}
