// The radio directory searched from the Radio category, through the real window, against a
// directory on the loopback interface that speaks its JSON: the offer below the local matches,
// a search a page at a time, the narrowing, a play reported once, a favourite that stays, and
// a directory that cannot be reached or answers slowly.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <memory>

#include "base/private_label.h"
#include "catalogue/catalogue_writer.h"
#include "catalogue/channel_extras.h"
#include "player/player_pane.h"
#include "services/radio_directory.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "support/active_window.h"
#include "support/fake_directory.h"
#include "support/http_server.h"
#include "support/program_folder.h"
#include "support/temp_dir.h"
#include "support/test_media.h"
#include "support/wait_for.h"
#include "widgets/list_view.h"
#include "widgets/qt_text.h"
#include "windows/main_window.h"
#include "windows/radio_directory.h"

using test_support::WaitFor;

namespace {

class DirectorySearch : public ::testing::Test {
protected:
    void SetUp() override {
        modPrivateLabel::LoadPrivateLabel();
        server.serveRadio(QStringLiteral("/jazz.mp3"), test_media::Mp3Audio(), QStringLiteral("Now on Jazz"));
        std::string text;
        catalogue::AppendEncodedLine(text, "Radio One", "http://127.0.0.1:9/one.mp3", "Radio", "English");
        catalogue::AppendEncodedLine(text, "Zeta News", "http://127.0.0.1:9/zeta.ts", "TV", "English");
        program.folder().write("Data.txt", text);
    }
    void TearDown() override {
        if (form)
            if (auto* box = form->WindowsMediaPlayer1->findChild<QMessageBox*>(QStringLiteral("playerError")))
                box->close();
        form.reset();
        RadioDirectory::SetTimeoutForTests(0);
        std::error_code ec;
        std::filesystem::remove(radio_directory::ListsPath(), ec);
        std::filesystem::remove(catalogue::ExtrasPath(), ec);
    }

    // 250 jazz stations, the most played first, across two countries; the first plays.
    std::vector<FakeDirectory::Station> Stations() const {
        std::vector<FakeDirectory::Station> out;
        for (int i = 0; i < 250; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "Jazz %03d", i);
            const std::string url = i == 0 ? FromQt(server.url(QStringLiteral("/jazz.mp3")))
                                           : "http://127.0.0.1:9/jazz" + std::to_string(i) + ".mp3";
            out.push_back({"uuid-" + std::to_string(i), name, url, "http://127.0.0.1:9/logo.png",
                           i % 2 ? "Germany" : "France", i % 2 ? "german" : "french", "jazz", "MP3", 128, 10000 - i});
        }
        return out;
    }

    Form1& Start(const std::string& servers) {
        SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kRadioDirectoryServers, servers);
        form = test_support::StartActive();
        form->cmdRadio_Click();
        return *form;
    }
    // The filter line opened and `text` typed into it, as the keys do.
    QLineEdit* Type(const char* text) const {
        if (!form->ListView1->filterOpen()) form->ListView1->openFilter();
        QLineEdit* line = form->ListView1->filterLine();
        QTest::keyClicks(line, QString::fromUtf8(text));
        return line;
    }
    RadioDirectory* Directory() const { return form->radioDirectory(); }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const ListRow& row : form->ListView1->rows()) out.push_back(row.name);
        return out;
    }

    HttpServer server;
    ScopedProgramFolder program;
    ScopedConfigHome home;
    std::unique_ptr<Form1> form;
};

}  // namespace

TEST_F(DirectorySearch, FindsPagesNarrowsPlaysAndTellsTheDirectoryOnce) {
    FakeDirectory directory(Stations());
    Form1& f = Start(directory.base());
    QLineEdit* line = Type("jazz");
    QPushButton* offer = Directory()->searchButton();
    EXPECT_TRUE(offer->isVisible()) << "offered below the local matches";
    EXPECT_TRUE(offer->text().contains(QStringLiteral("Search the directory"))) << offer->text().toStdString();
    QTest::qWait(RadioDirectory::kRestMs * 2);
    EXPECT_EQ(directory.searches(), 0) << "nothing is asked before the user chooses the directory";

    // Enter where no local row matches searches the directory.
    QTest::keyClick(line, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return Directory()->active() && f.ListView1->rowCount() == 100; }, 10000));
    EXPECT_EQ(Names().front(), "Jazz 000") << "the most played first";
    EXPECT_EQ(f.ListView1->row(0).category, "France");
    EXPECT_EQ(f.ListView1->row(0).language, "MP3 \xC2\xB7 128 kbps");
    EXPECT_FALSE(offer->isVisible());
    EXPECT_NE(directory.http().lastRequest().find("User-Agent: MarluViewer/"), std::string::npos);

    // Typing on asks once, after the keys rest.
    const int before = directory.searches();
    QTest::keyClicks(line, QStringLiteral(" 12"));
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 10; }, 10000));  // Jazz 120 to 129
    EXPECT_EQ(directory.searches(), before + 1);
    for (int i = 0; i < 3; ++i) QTest::keyClick(line, Qt::Key_Backspace);

    // More as the list is scrolled to its end, until the directory has no more.
    for (const int rows : {100, 200, 250}) {
        ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == rows && !Directory()->searching(); }, 10000))
            << rows;
        f.ListView1->verticalScrollBar()->setValue(f.ListView1->verticalScrollBar()->maximum());
    }
    QTest::qWait(200);
    EXPECT_EQ(f.ListView1->rowCount(), 250);
    EXPECT_FALSE(Directory()->morePossible());

    // Narrowed by country from the directory's list of countries.
    ASSERT_TRUE(WaitFor([&] { return Directory()->countryBox()->findData(QStringLiteral("France")) > 0; }, 10000));
    QComboBox* country = Directory()->countryBox();
    country->setCurrentIndex(country->findData(QStringLiteral("France")));
    emit country->activated(country->currentIndex());
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 100 && !Directory()->searching(); }, 10000));
    for (const ListRow& row : f.ListView1->rows()) ASSERT_EQ(row.category, "France") << row.name;
    EXPECT_NE(directory.paths().back().find("country=France&countryExact=true"), std::string::npos);

    // A click plays the station; the directory is told of the play once.
    f.ListView1->setFocus();
    f.ListView1->selectRow(0);
    QTest::keyClick(f.ListView1, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return f.WindowsMediaPlayer1->playState() == QLatin1String("playing"); }, 15000));
    ASSERT_TRUE(WaitFor([&] { return directory.reports("uuid-0") == 1; }, 5000));
    QTest::keyClick(f.ListView1, Qt::Key_Return);  // the row that plays already
    QTest::qWait(500);
    EXPECT_EQ(directory.reports("uuid-0"), 1);

    // Esc leaves the directory: the Radio category's own list again.
    line->setFocus();
    QTest::keyClick(line, Qt::Key_Escape);
    EXPECT_FALSE(Directory()->active());
    EXPECT_EQ(Names(), std::vector<std::string>{"Radio One"});
}

TEST_F(DirectorySearch, AFavouriteFromAResultKeepsItsStreamAndLogoAfterARestart) {
    FakeDirectory directory(Stations());
    Form1& f = Start(directory.base());
    Type("jazz 007");
    Directory()->search();
    ASSERT_TRUE(WaitFor([&] { return Directory()->active() && f.ListView1->rowCount() == 1; }, 10000));
    f.ListView1->selectRow(0);
    f.cmdFav_Click();

    form.reset();
    Form1& again = *(form = test_support::StartActive());
    ASSERT_EQ(again.ListView2->rowCount(), 1);
    const ListRow& favourite = again.ListView2->row(0);
    EXPECT_EQ(favourite.name, "Jazz 007");
    EXPECT_EQ(favourite.address, "http://127.0.0.1:9/jazz7.mp3");
    EXPECT_EQ(favourite.category, "Radio");
    EXPECT_EQ(favourite.language, "German");
    const catalogue::ExtrasMap extras = catalogue::LoadExtras();
    ASSERT_EQ(extras.count(favourite.address), 1u);
    EXPECT_EQ(extras.at(favourite.address).logo, "http://127.0.0.1:9/logo.png");
}

// No mirror that answers: the local list stays and a line says why. A mirror that hangs on one
// search is left as soon as typing goes on (the next search needs no timeout to come).
TEST_F(DirectorySearch, AnUnreachableDirectoryKeepsTheLocalListAndTypingOnLeavesAHangingSearch) {
    TinyHttp garbage;
    garbage.handle([](const std::string&) { return TinyHttp::Reply{200, "<html>Wi-Fi login</html>", "text/html"}; });
    Form1& f = Start("http://127.0.0.1:" + std::to_string(TinyHttp::ClosedPort()) + " " + garbage.url(""));
    Type("radio");
    ASSERT_EQ(Names(), std::vector<std::string>{"Radio One"});
    Directory()->searchButton()->click();
    ASSERT_TRUE(WaitFor([&] { return !Directory()->searching(); }, 15000));
    EXPECT_TRUE(Directory()->statusText().startsWith(QStringLiteral("The radio directory could not be reached: ")))
        << Directory()->statusText().toStdString();
    EXPECT_TRUE(f.findChild<QLabel*>(QStringLiteral("RadioDirectoryStatus"))->isVisible());
    EXPECT_FALSE(Directory()->active());
    EXPECT_EQ(Names(), std::vector<std::string>{"Radio One"});
    const std::vector<std::string> asked = garbage.requestedPaths();
    EXPECT_EQ(std::count_if(asked.begin(), asked.end(),
                            [](const std::string& p) { return p.rfind("/json/stations/search?name=radio&", 0) == 0; }),
              1);
    form.reset();

    RadioDirectory::SetTimeoutForTests(600);  // only a cancel ends the hanging search
    FakeDirectory directory(Stations());
    directory.slowName("jaz");
    Form1& g = Start(directory.base());
    QLineEdit* line = Type("jazz 00");
    Directory()->search();
    ASSERT_TRUE(WaitFor([&] { return g.ListView1->rowCount() == 10; }, 10000));
    for (int i = 0; i < 4; ++i) QTest::keyClick(line, Qt::Key_Backspace);  // "jaz": never answered
    ASSERT_TRUE(WaitFor([&] { return directory.searches() == 2; }, 5000));
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);
    QTest::qWait(300);
    EXPECT_GT(ticks, 5) << "the window goes on while the directory says nothing";
    QTest::keyClick(line, Qt::Key_Z);
    ASSERT_TRUE(WaitFor([&] { return g.ListView1->rowCount() == 100 && !Directory()->searching(); }, 10000));
    EXPECT_EQ(Names().front(), "Jazz 000");
}
