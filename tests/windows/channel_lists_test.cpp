// The lists as people use them with real-world playlists, through the real window: dead rows
// among live ones, finding one channel among thousands, next and previous along the list a
// channel came from, and removing many favourites at once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimeZone>
#include <memory>

#include "base/private_label.h"
#include "catalogue/catalogue_writer.h"
#include "catalogue/channel_extras.h"
#include "catalogue/favorites.h"
#include "catalogue/playlist_sources.h"
#include "guide/guide_store.h"
#include "player/player_pane.h"
#include "services/logo_cache.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "support/active_window.h"
#include "support/http_server.h"
#include "support/modal_watcher.h"
#include "support/program_folder.h"
#include "support/temp_dir.h"
#include "support/test_media.h"
#include "support/tiny_http.h"
#include "support/wait_for.h"
#include "widgets/list_view.h"
#include "widgets/pick_combo.h"
#include "widgets/qt_text.h"
#include "windows/main_window.h"

using test_support::WaitFor;

namespace {

class Lists : public ::testing::Test {
protected:
    void SetUp() override {
        modPrivateLabel::LoadPrivateLabel();
        server.serve(QStringLiteral("/live.ts"), test_media::MpegTsVideo(), "video/mp2t");
        server.serve(QStringLiteral("/other.ts"), test_media::MpegTsVideo(), "video/mp2t");
    }
    void TearDown() override {
        if (form)
            if (auto* box = form->WindowsMediaPlayer1->findChild<QMessageBox*>(QStringLiteral("playerError")))
                box->close();
        form.reset();
        // The user's data folder is the test program's: what an import kept there goes.
        std::error_code ec;
        for (const auto& file : {catalogue::ExtrasPath(), guide::IdsPath(), guide::CachePath(), logo_cache::Folder(),
                                 sources::SourcesPath(), sources::CopyPath({}).parent_path()})
            std::filesystem::remove_all(file, ec);
    }
    // Rows of name and address, as a catalogue of TV channels or as the favourites.
    using Rows = std::vector<std::pair<std::string, std::string>>;
    void Catalogue(const Rows& rows) const { program.folder().write("Data.txt", Encoded(rows)); }
    void Favorites(const Rows& rows) const { program.folder().write("Favorites.txt", Encoded(rows)); }
    static std::string Encoded(const Rows& rows) {
        std::string text;
        for (const auto& [name, address] : rows) catalogue::AppendEncodedLine(text, name, address, "TV", "English");
        return text;
    }
    std::string Live() const { return FromQt(server.url(QStringLiteral("/live.ts"))); }
    std::string Other() const { return FromQt(server.url(QStringLiteral("/other.ts"))); }
    static std::string Dead(int i) { return "http://127.0.0.1:9/dead" + std::to_string(i) + ".ts"; }  // refused

    Form1& Start() {
        form = test_support::StartActive();
        return *form;
    }
    static void Key(int key, Qt::KeyboardModifiers modifiers = {}) { test_support::KeyToFocus(key, modifiers); }
    QMessageBox* ErrorBox() const {
        return form->WindowsMediaPlayer1->findChild<QMessageBox*>(QStringLiteral("playerError"));
    }

    HttpServer server;
    ScopedProgramFolder program;
    ScopedConfigHome home;
    std::unique_ptr<Form1> form;
};

}  // namespace

// Down over two dead rows reaches the live one without a click: the failure's message never
// takes the keys, one message at a time, closed when the next channel starts; the reason stands
// in the status line and the dead rows are marked with it.
TEST_F(Lists, ZappingOverDeadRowsReachesTheLiveOneWithoutAClick) {
    Catalogue({{"Live One", Live()}, {"Dead One", Dead(1)}, {"Dead Two", Dead(2)}, {"Live Two", Other()}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    f.ListView1->setFocus();
    f.ListView1->selectRow(0);
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));

    for (int dead : {1, 2}) {
        Key(Qt::Key_Down);
        ASSERT_TRUE(WaitFor(
            [&] { return pane->url() == ToQt(Dead(dead)) && pane->playState() == QLatin1String("error"); }, 10000))
            << dead;
        ASSERT_NE(ErrorBox(), nullptr);
        EXPECT_TRUE(ErrorBox()->isVisible());
        EXPECT_EQ(f.findChildren<QMessageBox*>(QStringLiteral("playerError")).size(), 1);
        QTest::qWait(100);  // the window manager's answer to the new window
        EXPECT_EQ(QApplication::focusWidget(), f.ListView1) << "the keys stay with the list";
        EXPECT_NE(QApplication::activeWindow(), ErrorBox());
        EXPECT_TRUE(pane->statusText().contains(pane->lastError())) << pane->statusText().toStdString();
        const StreamMark* mark = f.ListView1->channels()->mark(dead);
        ASSERT_NE(mark, nullptr);
        EXPECT_EQ(mark->kind, StreamMark::Kind::Dead);
        EXPECT_EQ(ToQt(mark->reason), pane->lastError());
    }
    Key(Qt::Key_Down);
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    EXPECT_EQ(pane->url(), ToQt(Other()));
    EXPECT_TRUE(WaitFor([&] { return ErrorBox() == nullptr || !ErrorBox()->isVisible(); }, 2000));
    EXPECT_EQ(f.ListView1->channels()->mark(0), nullptr) << "live rows carry no mark";
    EXPECT_NE(f.ListView1->channels()->mark(2), nullptr) << "the mark stays for the run";
}

// A single Down with the keys at rest zaps at once, without waiting for the keys to rest; Downs
// that follow it quickly open only the row they come to rest on.
TEST_F(Lists, ASingleDownZapsAtOnceAndQuickPressesOnlyWhereTheyRest) {
    Catalogue({{"Zero", Dead(0)}, {"One", Dead(1)}, {"Two", Dead(2)}, {"Three", Dead(3)}, {"Four", Dead(4)}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    f.ListView1->setFocus();
    f.ListView1->selectRow(0);
    Key(Qt::Key_Return);
    EXPECT_EQ(pane->url(), ToQt(Dead(0)));
    QTest::qWait(400);  // the keys at rest

    Key(Qt::Key_Down);
    EXPECT_EQ(pane->url(), ToQt(Dead(1))) << "no wait for the keys to rest";
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(pane->url(), ToQt(Dead(1))) << "quick presses wait for the keys to rest";
    EXPECT_TRUE(WaitFor([&] { return pane->url() == ToQt(Dead(3)); }, 2000));
}

// Ctrl+F opens a line that narrows the list as one types, accents and letter case aside; Enter
// plays the match; Esc shows every row again with the match still selected. Typing over the
// list itself only finds a row: it plays nothing by itself.
TEST_F(Lists, TheFilterFindsOneChannelAmongThousandsAndTypeAheadPlaysNothing) {
    Rows rows;
    for (int i = 0; i < 2000; ++i)
        rows.emplace_back("Channel " + std::to_string(i), FromQt(server.url(QStringLiteral("/none%1.ts").arg(i))));
    rows.insert(rows.begin() + 1234, {"Z\xFCrich Info", Live()});
    Catalogue(rows);
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    ListView* list = f.ListView1;
    list->setFocus();
    list->setCurrentIndex({});
    QTest::keyClicks(list, QStringLiteral("Zu"));
    EXPECT_EQ(list->row(list->selectedIndex()).name, "Z\xC3\xBCrich Info");
    QTest::qWait(Form1::kZapPauseMs + 200);
    EXPECT_TRUE(pane->url().isEmpty()) << "type-ahead found the row and played nothing";
    list->selectRow(0);

    Key(Qt::Key_F, Qt::ControlModifier);
    QLineEdit* line = list->filterLine();
    ASSERT_NE(line, nullptr);
    ASSERT_TRUE(line->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), line);
    QTest::keyClicks(line, QStringLiteral("zur"));
    ASSERT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(list->row(list->selectedIndex()).name, "Z\xC3\xBCrich Info");
    Key(Qt::Key_Return);
    EXPECT_EQ(pane->url(), ToQt(Live()));

    Key(Qt::Key_Escape);
    EXPECT_FALSE(line->isVisible());
    EXPECT_EQ(list->model()->rowCount(), 2001);
    EXPECT_EQ(list->selectedIndex(), 1234) << "the match stays selected";
    EXPECT_EQ(QApplication::focusWidget(), list);
    EXPECT_EQ(pane->url(), ToQt(Live())) << "closing the filter plays nothing";

    // "/" in the list opens the line too; letters the player takes as keys are typing there.
    Key(Qt::Key_Slash);
    ASSERT_TRUE(line->isVisible());
    QTest::keyClicks(line, QStringLiteral("mf 19"));
    EXPECT_FALSE(pane->isFullScreen());
    EXPECT_EQ(line->text(), QStringLiteral("mf 19"));
    EXPECT_EQ(list->model()->rowCount(), 0);
    Key(Qt::Key_Escape);
    EXPECT_EQ(list->model()->rowCount(), 2001);
}

// Next and previous (keys, the desktop's media controls) go along the list the playing channel
// came from, whichever list shows; an address handed over by a second start selects its row.
TEST_F(Lists, NextFollowsThePlayingChannelsListAndTheSelectionFollowsWhatPlays) {
    Catalogue({{"Catalogue A", Dead(1)}, {"Catalogue B", Live()}});
    Favorites({{"Fav A", Other()}, {"Fav B", Live()}, {"Fav C", Dead(3)}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    f.cmdFavorites_Click();
    f.ListView2->selectRow(0);
    f.ListView2_Click();
    EXPECT_EQ(pane->url(), ToQt(Other()));
    f.cmdTV_Click();  // the channels show; the favourite plays on
    pane->requestNext();
    ASSERT_TRUE(WaitFor([&] { return pane->url() == ToQt(Live()); }, 2000));
    EXPECT_EQ(pane->channelName(), QStringLiteral("Fav B"));
    pane->requestNext();
    ASSERT_TRUE(WaitFor([&] { return pane->url() == ToQt(Dead(3)); }, 2000));
    pane->requestPrevious();
    ASSERT_TRUE(WaitFor([&] { return pane->channelName() == QLatin1String("Fav B"); }, 2000));

    f.ListView1->selectRow(0);
    f.PlayAddress(ToQt(Live()));  // as a second start hands it over
    EXPECT_EQ(f.ListView1->selectedIndex(), 1) << "the catalogue's row of that address";
    f.PlayAddress(QStringLiteral("http://127.0.0.1:9/elsewhere.ts"));
    EXPECT_EQ(f.ListView1->selectedIndex(), -1) << "no row plays: none stays highlighted";
}

// Every selected favourite goes with one Delete and one save; Ctrl+Z puts them back in their
// places, in the list and the file. Entries sharing an address under other names are kept.
TEST_F(Lists, ManyFavouritesGoAtOnceAndComeBackWithUndo) {
    Catalogue({{"Catalogue A", Live()}});
    Favorites({{"A", Live()}, {"B", Other()}, {"C", Dead(1)}, {"D", Dead(2)}, {"E", Live()}});
    Form1& f = Start();
    f.cmdFavorites_Click();
    ListView* list = f.ListView2;
    ASSERT_EQ(list->rowCount(), 5) << "two names of one address are two favourites";
    const std::string before = program.folder().read("Favorites.txt");
    list->setFocus();
    list->selectRows({1, 2, 4});
    Key(Qt::Key_Delete);
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->row(0).name, "A");
    EXPECT_EQ(list->row(1).name, "D");
    EXPECT_EQ(catalogue::ParseFavorites(program.folder().read("Favorites.txt")).size(), 2u);
    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(list->rowCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(list->row(i).name, std::string(1, static_cast<char>('A' + i)));
    EXPECT_EQ(program.folder().read("Favorites.txt"), before) << "the file as it was";
    EXPECT_EQ(list->selectedRowIndexes(), (std::vector<int>{1, 2, 4})) << "what came back is selected";
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(list->rowCount(), 5) << "one undo per removal";
}

// Digits typed over a list or the picture zap to that number once typing pauses: a provider's
// own number (tvg-chno) where the list has them, else the row's place in the list.
TEST_F(Lists, DigitsZapToAChannelsNumber) {
    Catalogue({{"First", Dead(1)}, {"Second", Dead(2)}, {"Third", Live()}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    f.ListView1->setFocus();
    Key(Qt::Key_3);  // the catalogue has no numbers: over its list a digit only finds a row
    QTest::qWait(Form1::kNumberPauseMs + 200);
    EXPECT_TRUE(pane->url().isEmpty());
    pane->setFocus();  // over the picture a digit is a place in the list
    Key(Qt::Key_3);
    EXPECT_TRUE(pane->url().isEmpty()) << "the zap waits for more digits";
    EXPECT_EQ(pane->statusText(), QStringLiteral("Channel 3…"));
    ASSERT_TRUE(WaitFor([&] { return pane->url() == ToQt(Live()); }, Form1::kNumberPauseMs + 1000));
    EXPECT_EQ(f.ListView1->selectedIndex(), 2);

    program.folder().write("provider.m3u", "#EXTM3U\n#EXTINF:-1 tvg-chno=\"42\",Forty-two\n" + Other() +
                                               "\n#EXTINF:-1 tvg-chno=\"1\",One\n" + Live() + "\n");
    {
        ModalWatcher ok;
        ASSERT_TRUE(f.ImportPlaylist(QString::fromStdString((program.folder() / "provider.m3u").string())));
    }
    ASSERT_TRUE(f.Frame3->isVisible());
    f.activateWindow();  // back from the import's message
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    f.ListView2->setFocus();  // a list with numbers of its own: digits zap over it too
    Key(Qt::Key_4);
    Key(Qt::Key_2);
    ASSERT_TRUE(WaitFor([&] { return pane->url() == ToQt(Other()); }, Form1::kNumberPauseMs + 1000));
    Key(Qt::Key_2);  // a numbered list: places are not numbers
    QTest::qWait(Form1::kNumberPauseMs + 200);
    EXPECT_EQ(pane->url(), ToQt(Other()));
    EXPECT_EQ(pane->statusText(), QStringLiteral("No channel has the number 2."));
}

// A playlist's logos are fetched for the rows on screen only, become their rows' icons, and are
// read from the disk at the next start instead of fetched again.
TEST_F(Lists, LogosAreFetchedForTheRowsOnScreenOnlyAndKeptOnDisk) {
    Catalogue({{"Catalogue A", Live()}});
    QByteArray png;
    {
        QImage picture(48, 48, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
    }
    const auto logo = [](int i) { return QStringLiteral("/logo%1.png").arg(i); };
    std::string m3u = "#EXTM3U\n";
    for (int i = 0; i < 300; ++i) {
        server.serve(logo(i), png, "image/png");
        m3u += "#EXTINF:-1 tvg-logo=\"" + FromQt(server.url(logo(i))) + "\",Channel " + std::to_string(i) +
               "\nhttp://127.0.0.1:9/c" + std::to_string(i) + ".ts\n";
    }
    program.folder().write("logos.m3u", m3u);
    Form1& f = Start();
    {
        ModalWatcher ok;
        ASSERT_TRUE(f.ImportPlaylist(QString::fromStdString((program.folder() / "logos.m3u").string())));
    }
    ListView* list = f.ListView2;
    const auto hasLogo = [&](int row) {  // asks for the row's icon: only for rows on screen
        return !list->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().isNull();
    };
    const int onScreen = list->viewport()->height() / list->sizeHintForRow(0);
    ASSERT_GT(onScreen, 5);
    ASSERT_LT(onScreen, 150);
    ASSERT_TRUE(WaitFor([&] { return hasLogo(0) && hasLogo(onScreen - 1); }, 10000));
    QTest::qWait(300);
    int fetched = 0;
    for (int i = 0; i < 300; ++i) fetched += server.requestCount(logo(i));
    EXPECT_LE(fetched, onScreen + 2) << "rows off screen fetch nothing";
    EXPECT_EQ(server.requestCount(logo(299)), 0);
    list->scrollToBottom();
    ASSERT_TRUE(WaitFor([&] { return hasLogo(299); }, 10000));
    EXPECT_EQ(server.requestCount(logo(299)), 1);
    // The playing channel's logo stands on its backdrop, as large as it is.
    list->selectRow(299);
    f.ListView2_Click();
    ASSERT_TRUE(WaitFor([&] { return !f.WindowsMediaPlayer1->logo().isNull(); }, 10000));
    EXPECT_EQ(f.WindowsMediaPlayer1->logo().size(), QSize(48, 48));

    form.reset();
    Form1& again = Start();
    again.cmdFavorites_Click();
    ASSERT_TRUE(
        WaitFor([&] { return !again.ListView2->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull(); },
                10000));
    EXPECT_EQ(server.requestCount(logo(0)), 1) << "read from the disk cache";
}

// A playlist added by its address (Ctrl+L) is a source of its own under the Categories menu:
// its groups narrow it in the language box, its numbers zap; a refresh asks conditionally (a
// 304 leaves it, a changed list replaces it); a file is a source too; both come back at the
// next start without the network, and each goes as a whole.
TEST_F(Lists, APlaylistIsASourceOfItsOwnRefreshedAndRemovedWhole) {
    Catalogue({{"Catalogue A", Dead(9)}});
    const std::string listed = "#EXTM3U\n#EXTINF:-1 group-title=\"News\" tvg-chno=\"7\",News One\n" + Live() +
                               "\n#EXTINF:-1 group-title=\"Sport\",Sport One\n" + Other() + "\n";
    server.serve(QStringLiteral("/provider.m3u"), QByteArray::fromStdString(listed), "audio/x-mpegurl");
    // A guide that knows a channel of the playlist only.
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const auto at = [](qint64 t) {
        return QDateTime::fromSecsSinceEpoch(t, QTimeZone::utc()).toString(QStringLiteral("yyyyMMddhhmmss +0000"));
    };
    server.serve(QStringLiteral("/epg.xml"),
                 QStringLiteral("<tv><channel id=\"s1\"><display-name>Sport One</display-name></channel><programme "
                                "start=\"%1\" stop=\"%2\" channel=\"s1\"><title>Cup Final</title></programme></tv>")
                     .arg(at(now - 600), at(now + 600))
                     .toUtf8(),
                 "text/xml");
    SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kGuideAddress,
                FromQt(server.url(QStringLiteral("/epg.xml"))));
    Form1& f = Start();
    const auto guideOf = [&](const char* name) {
        for (int i = 0; i < form->ListView1->rowCount(); ++i)
            if (form->ListView1->row(i).name == name)
                return form->ListView1->channels()->index(i, 0).data(Qt::ToolTipRole).toString();
        return QString();
    };
    const auto sourcesInMenu = [&] {
        QStringList names;
        for (QAction* a : form->mnuCat->actions())  // of the window of the moment
            if (a->objectName() == QLatin1String("mnuSourceItem")) names << a->text();
        return names;
    };
    QTimer::singleShot(0, [&] {
        auto* ask = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(ask, nullptr);
        ask->setTextValue(server.url(QStringLiteral("/provider.m3u")));
        ask->accept();
    });
    Key(Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 2; }, 10000));
    EXPECT_EQ(sourcesInMenu(), QStringList{QStringLiteral("provider")});
    EXPECT_EQ(f.Combo1->count(), 3) << "All, News, Sport";
    f.Combo1->setCurrentIndex(f.Combo1->findText(QStringLiteral("Sport")));
    f.Combo1_Click();
    ASSERT_EQ(f.ListView1->rowCount(), 1);
    EXPECT_EQ(f.ListView1->row(0).name, "Sport One");
    f.Combo1->setCurrentIndex(0);
    f.Combo1_Click();
    ASSERT_EQ(f.ListView1->rowCount(), 2);
    // The guide is read again for the new source's channels.
    EXPECT_TRUE(WaitFor([&] { return guideOf("Sport One").startsWith(QLatin1String("Now: Cup Final")); }, 10000))
        << guideOf("Sport One").toStdString();
    f.activateWindow();  // back from the address's dialog
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    f.ListView1->setFocus();
    Key(Qt::Key_7);
    ASSERT_TRUE(WaitFor([&] { return f.WindowsMediaPlayer1->url() == ToQt(Live()); }, Form1::kNumberPauseMs + 1000));

    f.mnuRefreshPlaylist->trigger();
    ASSERT_TRUE(
        WaitFor([&] { return f.WindowsMediaPlayer1->statusText().contains(QLatin1String("up to date")); }, 10000));
    EXPECT_EQ(server.notModifiedCount(), 1);
    server.serve(QStringLiteral("/provider.m3u"),
                 QByteArray::fromStdString(listed + "#EXTINF:-1 group-title=\"News\",News Two\n" + Dead(1) + "\n"),
                 "audio/x-mpegurl");
    f.mnuRefreshPlaylist->trigger();
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 3; }, 10000));
    EXPECT_TRUE(f.WindowsMediaPlayer1->statusText().contains(QLatin1String("refreshed")));

    program.folder().write("local.m3u", "#EXTINF:-1,Local One\n" + Live() + "\n");
    f.AddPlaylist(QString::fromStdString((program.folder() / "local.m3u").string()));
    ASSERT_TRUE(WaitFor([&] { return sourcesInMenu().size() == 2 && f.ListView1->rowCount() == 1; }, 10000));
    EXPECT_TRUE(f.RenamePlaylist(f.shownPlaylist(), QStringLiteral("Mine")));

    form.reset();
    server.remove(QStringLiteral("/provider.m3u"));
    Form1& again = Start();
    EXPECT_EQ(sourcesInMenu(), (QStringList{QStringLiteral("provider"), QStringLiteral("Mine")}));
    for (QAction* a : again.mnuCat->actions())
        if (a->text() == QLatin1String("provider")) a->trigger();
    ASSERT_TRUE(WaitFor([&] { return again.ListView1->rowCount() == 3; }, 10000)) << "its copy, not the network";
    server.remove(QStringLiteral("/epg.xml"));
    EXPECT_TRUE(WaitFor([&] { return guideOf("Sport One").startsWith(QLatin1String("Now: Cup Final")); }, 10000))
        << "the kept guide holds the source's channels";
    {
        ModalWatcher yes(QMessageBox::Yes);
        again.mnuRemovePlaylist->trigger();
    }
    EXPECT_EQ(sourcesInMenu(), QStringList{QStringLiteral("Mine")});
    EXPECT_TRUE(again.shownPlaylist().isEmpty());
    EXPECT_EQ(again.ListView1->row(0).name, "Catalogue A") << "back to the designed list";
    EXPECT_FALSE(std::filesystem::exists(sources::CopyPath({"1", {}, {}, {}, {}, 0, {}, {}, {}})));
    EXPECT_TRUE(std::filesystem::exists(sources::CopyPath({"2", {}, {}, {}, {}, 0, {}, {}, {}})));
}

// Another list on show is shown whole: the find line closes and the message about a channel
// that failed goes; Esc closes that message too.
TEST_F(Lists, AnotherListShowsWholeAndTheFailureMessageGoes) {
    Catalogue({{"Dead One", Dead(1)}, {"Live One", Live()}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    ListView* list = f.ListView1;
    const auto fail = [&] {
        list->setFocus();
        list->selectRow(0);
        Key(Qt::Key_Return);
        return WaitFor([&] { return ErrorBox() && ErrorBox()->isVisible(); }, 10000);
    };
    ASSERT_TRUE(fail());
    // The box takes no keys, but the moment it shows the window system may not have given them
    // back to the list yet.
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == list; }, 2000));
    Key(Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return !ErrorBox() || !ErrorBox()->isVisible(); }, 1000)) << "Esc closes it";
    EXPECT_FALSE(pane->isFullScreen());

    ASSERT_TRUE(fail());
    list->openFilter();
    QTest::keyClicks(list->filterLine(), QStringLiteral("live"));
    ASSERT_EQ(list->model()->rowCount(), 1);
    f.cmdRadio_Click();
    EXPECT_FALSE(list->filterOpen());
    EXPECT_TRUE(WaitFor([&] { return !ErrorBox() || !ErrorBox()->isVisible(); }, 1000));
    f.cmdTV_Click();
    EXPECT_EQ(list->model()->rowCount(), 2) << "the list whole";
}

// While the operator edits with "Don't Load Video While Editing" ticked, Backspace plays nothing,
// and R records nothing in editing mode.
TEST_F(Lists, WhileEditingBackspaceAndRDoNothing) {
    Catalogue({{"Live One", Live()}, {"Live Two", Other()}});
    program.folder().write("admin.txt", "");
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    f.PlayAddress(ToQt(Live()));
    f.PlayAddress(ToQt(Other()));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    f.chkLoad->setChecked(true);
    pane->setFocus();
    Key(Qt::Key_Backspace);
    EXPECT_EQ(pane->url(), ToQt(Other())) << "the channel before is not played";
    Key(Qt::Key_R);
    QTest::qWait(100);
    EXPECT_FALSE(pane->isRecording());
}

// Two rows of one address keep their own numbers: digits find either, and the banner shows the
// row's own.
TEST_F(Lists, NumbersBelongToARowNotToItsAddress) {
    program.folder().write("twice.m3u", "#EXTM3U\n#EXTINF:-1 tvg-chno=\"7\",Seven\n" + Live() +
                                            "\n#EXTINF:-1 tvg-chno=\"8\",Eight\n" + Live() + "\n");
    Catalogue({{"Catalogue A", Dead(9)}});
    Form1& f = Start();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    ModalWatcher watcher;
    f.AddPlaylist(QString::fromStdString((program.folder() / "twice.m3u").string()));
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 2; }, 5000))
        << FromQt(watcher.texts().join(QStringLiteral(" ")));
    for (const auto& [digit, name] : {std::pair{Qt::Key_8, "Eight"}, std::pair{Qt::Key_7, "Seven"}}) {
        pane->setFocus();
        Key(digit);
        ASSERT_TRUE(WaitFor(
            [&] {
                const int at = f.ListView1->selectedIndex();  // none while the zap has not come
                return at >= 0 && f.ListView1->row(at).name == name;
            },
            Form1::kNumberPauseMs + 1000));
        EXPECT_EQ(pane->url(), ToQt(Live()));
        const QString number = digit == Qt::Key_8 ? QStringLiteral("8") : QStringLiteral("7");
        EXPECT_TRUE(WaitFor(
            [&] { return pane->onScreen().text().startsWith(number + QStringLiteral("  ") + QString::fromUtf8(name)); },
            2000))
            << pane->onScreen().text().toStdString();
    }
}

// Many free playlists name the headers their servers ask for; the player sends them when the
// channel plays, and again when it plays from the favourites after a restart.
TEST_F(Lists, APlaylistsStreamOptionsReachTheServerAndStayWithAFavourite) {
    Catalogue({{"Catalogue A", Dead(9)}});
    TinyHttp guarded;
    const std::string video = test_media::MpegTsVideo().toStdString();
    guarded.route("/guarded.ts", 200, video, "video/mp2t");
    guarded.route("/piped.ts", 200, video, "video/mp2t");
    program.folder().write("options.m3u",
                           "#EXTM3U\n#EXTINF:-1,Guarded\n#EXTVLCOPT:http-referrer=http://portal.example/\n"
                           "#EXTVLCOPT:http-user-agent=GuardedAgent/1.0\n" +
                               guarded.url("/guarded.ts") + "\n#EXTINF:-1,Piped\n" + guarded.url("/piped.ts") +
                               "|User-Agent=PipeAgent%2F2&Origin=http%3A%2F%2Fo.example\n");
    Form1& f = Start();
    f.AddPlaylist(QString::fromStdString((program.folder() / "options.m3u").string()));
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 2; }, 10000));
    const auto playAndAsk = [&](ListView* list, int row, const std::string& path) {
        list->selectRow(row);
        if (list == f.ListView1)
            f.ListView1_Click();
        else
            f.ListView2_Click();
        EXPECT_TRUE(WaitFor(
            [&] {
                const auto paths = guarded.requestedPaths();
                return std::find(paths.begin(), paths.end(), path) != paths.end();
            },
            10000))
            << path;
        return guarded.lastRequest();
    };
    const std::string first = playAndAsk(f.ListView1, 0, "/guarded.ts");
    EXPECT_NE(first.find("Referer: http://portal.example/\r\n"), std::string::npos) << first;
    EXPECT_NE(first.find("User-Agent: GuardedAgent/1.0\r\n"), std::string::npos) << first;
    const std::string second = playAndAsk(f.ListView1, 1, "/piped.ts");
    EXPECT_NE(second.find("User-Agent: PipeAgent/2\r\n"), std::string::npos) << second;
    EXPECT_NE(second.find("Origin: http://o.example\r\n"), std::string::npos) << second;
    EXPECT_EQ(second.find("|"), std::string::npos) << "the options are no part of the address";

    f.ListView1->selectRow(0);
    f.cmdFav_Click();
    form.reset();
    Form1& again = Start();
    again.cmdFavorites_Click();
    const int before = static_cast<int>(guarded.requestedPaths().size());
    ASSERT_EQ(again.ListView2->rowCount(), 1);
    again.ListView2->selectRow(0);
    again.ListView2_Click();
    ASSERT_TRUE(WaitFor([&] { return static_cast<int>(guarded.requestedPaths().size()) > before; }, 10000));
    EXPECT_NE(guarded.lastRequest().find("User-Agent: GuardedAgent/1.0\r\n"), std::string::npos)
        << guarded.lastRequest();
}

// Two playlist sources each name their own guide: both are read with the user's, a channel of
// either shows what is on, and a guide that fails later is said in the status line while the
// other's programmes and its own from before stay.
TEST_F(Lists, EachSourcesOwnGuideIsReadWithTheOthersAndOneThatFailsKeepsTheRest) {
    Catalogue({{"Catalogue A", Dead(9)}});
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const auto at = [](qint64 t) {
        return QDateTime::fromSecsSinceEpoch(t, QTimeZone::utc()).toString(QStringLiteral("yyyyMMddhhmmss +0000"));
    };
    const auto guideWith = [&](std::vector<std::pair<const char*, const char*>> channels) {
        QString xml = QStringLiteral("<tv>");
        for (const auto& [id, title] : channels)
            xml += QStringLiteral(
                       "<channel id=\"%1\"><display-name>x</display-name></channel><programme start=\"%2\" "
                       "stop=\"%3\" channel=\"%1\"><title>%4</title></programme>")
                       .arg(QLatin1String(id), at(now - 600), at(now + 600), QLatin1String(title));
        return (xml + QStringLiteral("</tv>")).toUtf8();
    };
    // Both guides have a "c1": the first source's row finds the first guide's.
    server.serve(QStringLiteral("/one.xml"), guideWith({{"c1", "Morning News"}}), "text/xml");
    server.serve(QStringLiteral("/two.xml"), guideWith({{"c1", "Other News"}, {"c2", "Cup Final"}}), "text/xml");
    const auto source = [&](const char* file, const char* guide, const char* id, const char* name) {
        program.folder().write(file, "#EXTM3U url-tvg=\"" + FromQt(server.url(QString::fromLatin1(guide))) +
                                         "\"\n#EXTINF:-1 tvg-id=\"" + id + "\"," + name + "\n" + Live() + "\n");
        return QString::fromStdString((program.folder() / file).string());
    };
    Form1& f = Start();
    const auto guideOf = [&] { return f.ListView1->channels()->index(0, 0).data(Qt::ToolTipRole).toString(); };
    const auto show = [&](const char* source, const char* row) {
        for (QAction* a : f.mnuCat->actions())
            if (a->text() == QLatin1String(source)) a->trigger();
        return WaitFor([&] { return f.ListView1->rowCount() == 1 && f.ListView1->row(0).name == row; }, 10000);
    };
    ModalWatcher yes(QMessageBox::Yes);  // "use its guide?", for each
    f.AddPlaylist(source("one.m3u", "/one.xml", "c1", "One"));
    ASSERT_TRUE(WaitFor([&] { return guideOf().contains(QLatin1String("Morning News")); }, 10000))
        << guideOf().toStdString();
    f.AddPlaylist(source("two.m3u", "/two.xml", "c2", "Two"));
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->row(0).name == "Two"; }, 10000));
    EXPECT_TRUE(WaitFor([&] { return guideOf().contains(QLatin1String("Cup Final")); }, 10000))
        << guideOf().toStdString();
    EXPECT_EQ(yes.texts().size(), 2);
    ASSERT_TRUE(show("one", "One"));
    EXPECT_TRUE(guideOf().contains(QLatin1String("Morning News"))) << guideOf().toStdString();

    server.remove(QStringLiteral("/two.xml"));
    server.serve(QStringLiteral("/one.xml"), guideWith({{"c1", "Evening News"}}), "text/xml");
    f.UpdateGuide(false, true);
    ASSERT_TRUE(WaitFor([&] { return f.WindowsMediaPlayer1->statusText().contains(QLatin1String("two.xml")); }, 10000))
        << f.WindowsMediaPlayer1->statusText().toStdString();
    EXPECT_TRUE(WaitFor([&] { return guideOf().contains(QLatin1String("Evening News")); }, 10000));
    ASSERT_TRUE(show("two", "Two"));
    EXPECT_TRUE(guideOf().contains(QLatin1String("Cup Final"))) << "the failed guide keeps what it gave before";
}
