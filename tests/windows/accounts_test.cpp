// A provider's account through the real window, against a panel on loopback: its channels and
// films as a source, its guide with the others, its state in the status line, its password in
// the secret store and nowhere in the list of sources; a wrong password, an expired account
// and a plain web page each say so and add nothing.
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "base/file_io.h"
#include "base/program_files.h"
#include "player/player_pane.h"
#include "services/fetch.h"
#include "services/secret_store.h"
#include "support/http_server.h"
#include "support/modal_watcher.h"
#include "support/wait_for.h"
#include "windows/background_jobs.h"
#include "windows/source_window_fixture.h"

using test_support::WaitFor;

namespace {

namespace fs = std::filesystem;

class Accounts : public test::SourceWindow {
protected:
    void SetUp() override {
        test::SourceWindow::SetUp();
        secrets::UseFileOnlyForTests(true);
    }
    void TearDown() override {
        test::SourceWindow::TearDown();
        std::error_code ec;
        fs::remove_all(program_files::UserDataFolder() / "Secrets", ec);
        secrets::UseFileOnlyForTests(false);
    }

    // Answers the account dialog as soon as it opens, as a user typing would.
    static void AnswerDialog(const QString& server, const QString& user, const QString& password) {
        auto* timer = new QTimer;
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, timer, [=] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != QLatin1String("dlgAccount")) return;
            dialog->findChild<QLineEdit*>(QStringLiteral("txtAccountServer"))->setText(server);
            dialog->findChild<QLineEdit*>(QStringLiteral("txtAccountUser"))->setText(user);
            dialog->findChild<QLineEdit*>(QStringLiteral("txtAccountPassword"))->setText(password);
            QMetaObject::invokeMethod(dialog, "accept");
            timer->deleteLater();
        });
        timer->start();
    }

    static QString Api(const QString& password, const char* action = nullptr) {
        QString path = QStringLiteral("/player_api.php?username=ann&password=") + password;
        if (action) path += QStringLiteral("&action=") + QLatin1String(action);
        return path;
    }

    static QByteArray Login(const char* status, qint64 expires) {
        return QStringLiteral(R"({"user_info":{"auth":1,"status":"%1","exp_date":"%2","max_connections":"2",)"
                              R"("active_cons":"0"},"server_info":{"url":"127.0.0.1"}})")
            .arg(QLatin1String(status))
            .arg(expires)
            .toUtf8();
    }
};

bool OwnerOnly(const fs::path& file) {
    const fs::perms p = fs::status(file).permissions();
    return (p & (fs::perms::group_all | fs::perms::others_all)) == fs::perms::none;
}

}  // namespace

TEST_F(Accounts, AnAccountsChannelsFilmsAndGuideShowAndItsPasswordStaysInTheSecretStore) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    HttpServer panel;
    const QString password = QStringLiteral("s%2Fcret");  // "s/cret", as the address carries it
    panel.serve(Api(password), Login("Active", now + 86400 * 30), "application/json");
    panel.serve(Api(password, "get_live_categories"), R"([{"category_id":"1","category_name":"Новости"}])",
                "application/json");
    panel.serve(Api(password, "get_live_streams"),
                R"([{"num":1,"name":"Первый","stream_id":101,"epg_channel_id":"p1","category_id":"1","tv_archive":1,)"
                R"("tv_archive_duration":2},{"num":2,"name":"Second","stream_id":102,"category_id":"1"}])",
                "application/json");
    panel.serve(Api(password, "get_vod_categories"), R"([{"category_id":"5","category_name":"Drama"}])",
                "application/json");
    panel.serve(Api(password, "get_vod_streams"),
                R"([{"name":"A Film","stream_id":501,"category_id":"5","container_extension":"mp4"}])",
                "application/json");
    const QString guidePath = QStringLiteral("/xmltv.php?username=ann&password=") + password;
    panel.serve(
        guidePath,
        QStringLiteral("<tv><channel id=\"p1\"><display-name>P</display-name></channel>"
                       "<programme start=\"%1\" stop=\"%2\" channel=\"p1\"><title>Вести</title></programme></tv>")
            .arg(test::XmltvAt(now - 600), test::XmltvAt(now + 600))
            .toUtf8(),
        "text/xml");

    Form1& f = Start();
    AnswerDialog(panel.url({}), QStringLiteral("ann"), QStringLiteral("s/cret"));
    f.mnuAddAccount->trigger();
    ASSERT_TRUE(WaitFor([&] { return !f.shownPlaylist().isEmpty() && f.ListView1->rowCount() == 3; }, 10000));
    const std::vector<ListRow>& rows = f.ListView1->rows();
    EXPECT_EQ(rows[0].address, panel.url(QStringLiteral("/live/ann/s%2Fcret/101.ts")).toStdString());
    EXPECT_EQ(rows[2].address, panel.url(QStringLiteral("/movie/ann/s%2Fcret/501.mp4")).toStdString());
    EXPECT_TRUE(f.Combo1->findText(QStringLiteral("Films: Drama")) >= 0);
    const QString status = f.WindowsMediaPlayer1->statusText();
    EXPECT_TRUE(status.contains(QStringLiteral("Active")) && status.contains(QStringLiteral("2 connections")))
        << status.toStdString();

    // The password: in the secret store (here its file, the user's alone), never in the list.
    const auto list = base::ReadFileCapped(sources::SourcesPath(), 1 << 20);
    ASSERT_TRUE(list.has_value());
    for (const char* written : {"s/cret", "s%2Fcret"}) EXPECT_EQ(list->find(written), std::string::npos) << *list;
    const std::string id = sources::LoadSources().at(0).id;
    EXPECT_EQ(secrets::Lookup(id).value_or(std::string()), "s/cret");
    EXPECT_TRUE(OwnerOnly(program_files::UserDataFolder() / "Secrets" / id));
    EXPECT_TRUE(OwnerOnly(sources::CopyPath(sources::LoadSources().at(0))));

    // Its guide is read with the others, the password filled in as it is asked for.
    EXPECT_TRUE(WaitFor([&] { return panel.requestCount(guidePath) > 0; }, 10000));
    EXPECT_TRUE(
        WaitFor([&] { return !f.guideUpdates()->running() && !f.guideUpdates()->data().schedules.empty(); }, 10000));

    // A refresh asks the panel with the password from the secret store.
    const int before = panel.requestCount(Api(password));
    f.mnuRefreshPlaylist->trigger();
    EXPECT_TRUE(WaitFor([&] { return panel.requestCount(Api(password)) > before; }, 10000));

    ModalWatcher yes(0x00004000 /* QMessageBox::Yes */);
    f.mnuRemovePlaylist->trigger();
    EXPECT_TRUE(sources::LoadSources().empty());
    EXPECT_TRUE(WaitFor([&] { return !secrets::Lookup(id).has_value(); }, 5000)) << "its password goes with it";
}

TEST_F(Accounts, AWrongPasswordAnExpiredAccountAndAWebPageEachSaySoAndAddNothing) {
    HttpServer panel;
    panel.serve(Api(QStringLiteral("wrong")), R"({"user_info":{"auth":0}})", "application/json");
    panel.serve(Api(QStringLiteral("old")), Login("Expired", QDateTime::currentSecsSinceEpoch() - 86400),
                "application/json");
    panel.serve(Api(QStringLiteral("page")), "<html><body>It works!</body></html>", "text/html");
    Form1& f = Start();
    ModalWatcher watcher;
    const struct {
        const char* password;
        const char* said;
    } cases[] = {{"wrong", "password is wrong"}, {"old", "expired"}, {"page", "not a provider's panel"}};
    for (const auto& c : cases) {
        const qsizetype told = watcher.texts().size();
        AnswerDialog(panel.url({}), QStringLiteral("ann"), QLatin1String(c.password));
        f.mnuAddAccount->trigger();
        ASSERT_TRUE(WaitFor([&] { return watcher.texts().size() > told; }, 10000)) << c.password;
        EXPECT_TRUE(watcher.texts().last().contains(QLatin1String(c.said))) << watcher.texts().last().toStdString();
        EXPECT_TRUE(sources::LoadSources().empty());
        EXPECT_FALSE(fs::exists(program_files::UserDataFolder() / "Secrets" / "1"));
    }
}

// A series row asks the panel for its episodes when it is opened, not when a key passes over it,
// and offers them by season; a chosen episode plays; a panel that fails says so.
TEST_F(Accounts, ASeriesOpensAMenuOfItsEpisodesAndOneOfThemPlays) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    HttpServer panel;
    const QString password = QStringLiteral("pw");
    panel.serve(Api(password), Login("Active", now + 86400), "application/json");
    panel.serve(Api(password, "get_live_streams"), R"([{"num":1,"name":"Live","stream_id":101}])", "application/json");
    panel.serve(Api(password, "get_series"), R"([{"name":"Harbour","series_id":7},{"name":"Gone","series_id":8}])",
                "application/json");
    const QString seven = Api(password, "get_series_info") + QStringLiteral("&series_id=7");
    panel.serve(seven,
                R"({"episodes":{"1":[{"id":"71","episode_num":1,"title":"Arrival","container_extension":"mkv"}],)"
                R"("2":[{"id":"72","episode_num":1,"title":"Storm","container_extension":"mkv","season":2}]}})",
                "application/json");
    Form1& f = Start();
    AnswerDialog(panel.url({}), QStringLiteral("ann"), password);
    f.mnuAddAccount->trigger();
    ASSERT_TRUE(WaitFor([&] { return !f.shownPlaylist().isEmpty() && f.ListView1->rowCount() == 3; }, 10000));
    ASSERT_EQ(f.ListView1->row(1).name, "Harbour");

    // Down from the live channel passes over the series: nothing is asked, nothing opens.
    f.ListView1->selectRow(0);
    f.ListView1->setFocus();
    QTest::keyClick(f.ListView1, Qt::Key_Return);
    QTest::qWait(300);  // the keys at rest
    QTest::keyClick(f.ListView1, Qt::Key_Down);
    QTest::qWait(300);
    EXPECT_EQ(panel.requestCount(seven), 0);
    EXPECT_EQ(f.findChild<QMenu*>(QStringLiteral("mnuEpisodes")), nullptr);

    QTest::keyClick(f.ListView1, Qt::Key_Return);
    QMenu* menu = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (menu = f.findChild<QMenu*>(QStringLiteral("mnuEpisodes"))) != nullptr; }, 10000));
    const QList<QAction*> seasons = menu->actions();
    ASSERT_EQ(seasons.size(), 2);
    EXPECT_EQ(seasons[1]->text(), QStringLiteral("Season 2"));
    ASSERT_NE(seasons[1]->menu(), nullptr);
    QAction* storm = seasons[1]->menu()->actions().value(0);
    ASSERT_NE(storm, nullptr);
    EXPECT_EQ(storm->text(), QStringLiteral("S02E01  Storm"));
    storm->trigger();
    menu->close();
    EXPECT_EQ(f.WindowsMediaPlayer1->url(), panel.url(QStringLiteral("/series/ann/pw/72.mkv")));
    EXPECT_TRUE(f.WindowsMediaPlayer1->channelName().contains(QStringLiteral("Harbour")));

    // A series whose answer is refused: a note says so, and the episode plays on.
    f.ListView1->selectRow(2);
    QTest::keyClick(f.ListView1, Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return f.WindowsMediaPlayer1->statusText().contains(QStringLiteral("404")); }, 10000))
        << f.WindowsMediaPlayer1->statusText().toStdString();
    EXPECT_TRUE(f.WindowsMediaPlayer1->statusText().contains(QStringLiteral("Gone")));
    EXPECT_EQ(f.WindowsMediaPlayer1->url(), panel.url(QStringLiteral("/series/ann/pw/72.mkv")));
}

// A slow panel never holds the window: while its answer trickles in, the catalogue still plays
// at a click, and the account comes when the answer is whole; a panel that goes silent is given
// up with a clear message and nothing is added.
TEST_F(Accounts, ASlowPanelNeverHoldsTheWindowAndASilentOneIsGivenUp) {
    HttpServer panel;
    panel.serve(Api(QStringLiteral("pw")), Login("Active", 0), "application/json");
    QByteArray live = "[";
    for (int i = 0; i < 40; ++i)
        live += (i ? "," : "") +
                QStringLiteral(R"({"num":%1,"name":"Channel %1","stream_id":%2})").arg(i + 1).arg(100 + i).toUtf8();
    live += "]";
    panel.serveTrickle(Api(QStringLiteral("pw"), "get_live_streams"), live, "application/json", 64, 60);
    panel.serveSilence(Api(QStringLiteral("mute")));
    fetch::SetStallTimeoutForTests(3);
    Form1& f = Start();
    ModalWatcher watcher;  // a message closes and is kept, so that one out of turn fails the test
    ASSERT_GT(f.ListView1->rowCount(), 1);
    AnswerDialog(panel.url({}), QStringLiteral("ann"), QStringLiteral("pw"));
    f.mnuAddAccount->trigger();
    ASSERT_TRUE(WaitFor([&] { return panel.requestCount(Api(QStringLiteral("pw"), "get_live_streams")) > 0; }, 10000));
    f.ListView1->selectRow(1);
    f.ListView1_Click();
    EXPECT_EQ(f.WindowsMediaPlayer1->url().toStdString(), f.ListView1->row(1).address) << "the window answered";
    EXPECT_TRUE(sources::LoadSources().empty()) << "the answer is still on its way";
    EXPECT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 40 && !f.shownPlaylist().isEmpty(); }, 15000))
        << watcher.texts().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(watcher.texts().isEmpty());

    AnswerDialog(panel.url({}), QStringLiteral("ann"), QStringLiteral("mute"));
    f.mnuAddAccount->trigger();
    EXPECT_TRUE(WaitFor([&] { return !watcher.texts().isEmpty(); }, 15000));
    fetch::SetStallTimeoutForTests(0);
    ASSERT_FALSE(watcher.texts().isEmpty());
    EXPECT_TRUE(watcher.texts().last().contains(QLatin1String("could not be reached")))
        << watcher.texts().last().toStdString();
    EXPECT_EQ(sources::LoadSources().size(), 1u);
}
