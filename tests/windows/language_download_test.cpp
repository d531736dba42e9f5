// "Check for language updates" against a real web server on the loopback interface.
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "base/file_io.h"
#include "localisation/format.h"
#include "localisation/languages.h"
#include "support/http_server.h"
#include "support/modal_watcher.h"
#include "support/tiny_http.h"
#include "support/wait_for.h"
#include "widgets/pick_combo.h"
#include "windows/language_window.h"
#include "windows/main_window_fixture.h"

namespace {

const char* const kPage =
    "<XML_DIZ_INFO>\r\n<LANGUAGE_GROUP xml:lang=\"it\">\r\n\t<LANGUAGE_NAME>Italiano</LANGUAGE_NAME>\r\n"
    "\t<translation_items>\r\n\t\t<FORM1_CMDTV>TV</FORM1_CMDTV>\r\n\t</translation_items>\r\n</LANGUAGE_GROUP>\r\n"
    "<LANGUAGE_GROUP xml:lang=\"nl\">\r\n\t<LANGUAGE_NAME>Nederlands</LANGUAGE_NAME>\r\n\t<TRANSLATION_ITEMS>\r\n"
    "\t</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n</XML_DIZ_INFO>";

const char* const kOldList =
    "<LANGUAGE_GROUP><LANGUAGE_NAME>English</LANGUAGE_NAME><TRANSLATION_ITEMS></TRANSLATION_ITEMS></"
    "LANGUAGE_GROUP>\r\n";

class LanguageDownload : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        modLanguages::RegisterMessages();
        program.write("Localization.txt", kOldList);
        program.write("Localization.xml", "the engine's file, never touched by the download");
        modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
        modPrivateLabel::ProductNumber = 7;
        Start();
        window = frmLanguage::Show();
    }
    void TearDown() override {
        delete window;
        base::InjectWriteFailure(std::nullopt);
        MainWindow::TearDown();
    }

    std::vector<std::string> LeftOvers() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(program.path())) {
            const std::string name = e.path().filename().string();
            if (name.find("Localization") != std::string::npos && name != "Localization.txt" &&
                name != "Localization.xml")
                out.push_back(name);
        }
        return out;
    }

    HttpServer server;
    frmLanguage* window = nullptr;
};

}  // namespace

TEST_F(LanguageDownload, APageWithTextBeforeTheMarkupIsSavedFromTheFirstBracketWithCrLfAdded) {
    EXPECT_EQ(frmLanguage::DownloadAddress(),
              "http://127.0.0.1:" + std::to_string(server.port()) + "/Languages/7/Localization.txt");
    server.serve(QStringLiteral("/Languages/7/Localization.txt"),
                 QByteArray("Newest translations, 2026\r\n") + QByteArray(kPage), "text/plain");
    ModalWatcher watcher;
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    EXPECT_EQ(program.read("Localization.txt"), std::string(kPage) + "\r\n");
    EXPECT_EQ(program.read("Localization.xml"), "the engine's file, never touched by the download");
    EXPECT_EQ(Entries(window->Combo1), (QStringList{QStringLiteral("Italiano"), QStringLiteral("Nederlands")}));
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_EQ(watcher.texts().front().toStdString(), modLanguages::LangEngine.getMessages("MSG_DOWNLOADED"));
    EXPECT_EQ(watcher.titles().front(), QStringLiteral("Marlu Viewer"));
    EXPECT_TRUE(LeftOvers().empty());
}

TEST_F(LanguageDownload, PagesWithoutItemsMissingPagesAndDeadServersChangeNothing) {
    server.serve(QStringLiteral("/Languages/7/Localization.txt"),
                 QByteArray("<html><body>Down for maintenance</body></html>"), "text/html");
    ModalWatcher watcher;
    window->Command1_Click();
    modPrivateLabel::ProductNumber = 8;  // nothing served there: a 404 page
    window->Command1_Click();
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(TinyHttp::ClosedPort());
    window->Command1_Click();
    EXPECT_EQ(program.read("Localization.txt"), kOldList);
    EXPECT_TRUE(watcher.texts().isEmpty());
    EXPECT_EQ(Entries(window->Combo1), QStringList{QStringLiteral("English")});
}

TEST_F(LanguageDownload, AFileThatCannotBeWrittenKeepsTheOldListAndSaysSo) {
    server.serve(QStringLiteral("/Languages/7/Localization.txt"), QByteArray(kPage), "text/plain");
    using base::WriteStep;
    for (WriteStep step : {WriteStep::Open, WriteStep::Write, WriteStep::Flush, WriteStep::Sync, WriteStep::Rename}) {
        base::InjectWriteFailure(step);
        ModalWatcher watcher;
        window->Command1_Click();
        EXPECT_EQ(program.read("Localization.txt"), kOldList) << static_cast<int>(step);
        ASSERT_EQ(watcher.texts().size(), 1) << static_cast<int>(step);
        EXPECT_TRUE(watcher.texts().front().contains(QStringLiteral("could not be saved")));
        EXPECT_TRUE(LeftOvers().empty()) << static_cast<int>(step);
        EXPECT_EQ(Entries(window->Combo1), QStringList{QStringLiteral("English")});
    }
}

// The window closed while "Check for language updates" waits for the server: it is deleted
// only after the handler has returned, and the handler leaves it alone.
TEST_F(LanguageDownload, ClosingTheWindowDuringTheDownloadDeletesItOnlyAfterTheHandler) {
    TinyHttp slow;
    slow.endless("/Languages/7/Localization.txt", "x", 200);
    modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(slow.port());
    const QPointer<frmLanguage> alive(window);
    QTimer::singleShot(300, window, [this] { window->close(); });  // which also ends the download
    ModalWatcher watcher;
    window->Command1_Click();
    EXPECT_TRUE(alive);  // not deleted under the handler
    EXPECT_TRUE(watcher.texts().isEmpty());
    EXPECT_EQ(program.read("Localization.txt"), kOldList);
    EXPECT_TRUE(test_support::WaitFor([&] { return alive.isNull(); }, 2000));  // then deleted, as a closed window is
    window = nullptr;
}
