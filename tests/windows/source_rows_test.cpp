// A playlist source's rows through the real window: names and groups in every script shown as
// written, found by what is typed in any letter case, a favourite whose name the code page
// cannot hold kept whole beside its line; the playlist's numbers and what is on now as columns.
#include <QDateTime>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTimeZone>
#include <QTreeWidget>
#include <filesystem>

#include "catalogue/channel_extras.h"
#include "catalogue/favorites.h"
#include "catalogue/playlist_sources.h"
#include "guide/guide_store.h"
#include "player/player_pane.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "support/http_server.h"
#include "support/wait_for.h"
#include "windows/background_jobs.h"
#include "windows/guide_window.h"
#include "windows/source_window_fixture.h"

using test::XmltvAt;
using test_support::WaitFor;

namespace {

const char* const kPerviy = "\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9 \xD0\xBA\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBB";
const char* const kNews = "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8";      // "Новости"
const char* const kJazeera = "\xD8\xA7\xD9\x84\xD8\xAC\xD8\xB2\xD9\x8A\xD8\xB1\xD8\xA9";   // "الجزيرة"
const char* const kCctv = "\xE4\xB8\xAD\xE5\xA4\xAE\xE7\x94\xB5\xE8\xA7\x86\xE5\x8F\xB0";  // "中央电视台"
const char* const kErt = "\xCE\x95\xCE\xA1\xCE\xA4 \xCE\x95\xCE\xB9\xCE\xB4\xCE\xAE\xCF\x83\xCE\xB5\xCE\xB9\xCF\x82";

class Scripts : public test::SourceWindow {
protected:
    static QString Shown(const ListView* list, int row) {
        return list->model()->index(row, 0).data(Qt::DisplayRole).toString();
    }
};

}  // namespace

TEST_F(Scripts, APlaylistInFourScriptsShowsFindsAndKeepsAFavouriteWhole) {
    program.write("world.m3u", std::string("#EXTM3U\n#EXTINF:-1 group-title=\"") + kNews + "\"," + kPerviy +
                                   "\nhttp://127.0.0.1:9/1.ts\n#EXTINF:-1 group-title=\"News\"," + kJazeera +
                                   "\nhttp://127.0.0.1:9/2.ts\n#EXTINF:-1," + kCctv +
                                   "\nhttp://127.0.0.1:9/3.ts\n#EXTINF:-1," + kErt + "\nhttp://127.0.0.1:9/4.ts\n");
    Form1& f = Start();
    f.AddPlaylist(QString::fromStdString((program.path() / "world.m3u").string()));
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 4; }, 10000));
    QStringList shown;
    for (int r = 0; r < 4; ++r) shown << Shown(f.ListView1, r);
    for (const char* name : {kPerviy, kJazeera, kCctv, kErt})
        EXPECT_TRUE(shown.contains(QString::fromUtf8(name)))
            << name << " among " << shown.join(QStringLiteral("|")).toStdString();
    EXPECT_TRUE(Entries(f.Combo1).contains(QString::fromUtf8(kNews))) << "the group box in Cyrillic";

    // The find line folds case in every script: "первый" finds "Первый канал", "ερτ" finds "ΕΡΤ".
    f.ListView1->setFocus();
    QTest::keyClick(f.ListView1, Qt::Key_F, Qt::ControlModifier);
    QLineEdit* line = f.ListView1->filterLine();
    ASSERT_NE(line, nullptr);
    line->setText(QString::fromUtf8("\xD0\xBF\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9"));
    ASSERT_EQ(f.ListView1->model()->rowCount(), 1);
    EXPECT_EQ(Shown(f.ListView1, 0), QString::fromUtf8(kPerviy));
    line->setText(QString::fromUtf8("\xCE\xB5\xCF\x81\xCF\x84"));
    ASSERT_EQ(f.ListView1->model()->rowCount(), 1);
    EXPECT_EQ(Shown(f.ListView1, 0), QString::fromUtf8(kErt));

    // The favourite's line holds what Windows-1252 can of the name; the list keeps it whole,
    // after a restart too, and the export gives it back in UTF-8.
    f.ListView1->selectRow(f.ListView1->rowAt(f.ListView1->model()->index(0, 0)));
    f.cmdFav_Click();
    const auto saved = catalogue::ParseFavorites(program.read("Favorites.txt"));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].name, "??? ????????");
    EXPECT_EQ(saved[0].address, "http://127.0.0.1:9/4.ts");
    form.reset();
    Form1& again = Start();
    ASSERT_EQ(again.ListView2->rowCount(), 1);
    EXPECT_EQ(again.ListView2->row(0).name, kErt);
    ASSERT_TRUE(again.ExportFavorites(QString::fromStdString((program.path() / "out.m3u").string())));
    EXPECT_NE(program.read("out.m3u").find(std::string(",") + kErt + "\n"), std::string::npos);
}

// A playlist's numbers are a column sorted as numbers (9, 10, 100, then the rows without); what
// is on now is another, with how far it has run, for the channels the guide knows.
TEST_F(Scripts, ASourceShowsItsNumbersSortedAsNumbersAndWhatIsOnNow) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    HttpServer server;
    server.serve(QStringLiteral("/epg.xml"),
                 QStringLiteral("<tv><channel id=\"n1\"><display-name>News</display-name></channel><programme "
                                "start=\"%1\" stop=\"%2\" channel=\"n1\"><title>%3</title></programme></tv>")
                     .arg(XmltvAt(now - 1800), XmltvAt(now + 1800), QString::fromUtf8(kNews))
                     .toUtf8(),
                 "text/xml");
    SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kGuideAddress,
                server.url(QStringLiteral("/epg.xml")).toStdString());
    program.write(
        "numbered.m3u",
        "#EXTM3U\n#EXTINF:-1 tvg-chno=\"10\",Ten\nhttp://127.0.0.1:9/10.ts\n"
        "#EXTINF:-1 tvg-chno=\"100\" tvg-id=\"n1\",Hundred\nhttp://127.0.0.1:9/100.ts\n"
        "#EXTINF:-1,Plain\nhttp://127.0.0.1:9/p.ts\n#EXTINF:-1 tvg-chno=\"9\",Nine\nhttp://127.0.0.1:9/9.ts\n");
    Form1& f = Start();
    f.AddPlaylist(QString::fromStdString((program.path() / "numbered.m3u").string()));
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 4; }, 10000));
    QAbstractItemModel* shown = f.ListView1->model();
    const auto onNow = [&](int row) { return shown->index(row, 0).data(kSecondLineRole).toString(); };
    ASSERT_TRUE(WaitFor([&] { return shown->index(0, 0).data(kSecondLineRole).isValid(); }, 10000))
        << "the guide read, what is on now under the names";
    ASSERT_EQ(shown->columnCount(), 4);
    EXPECT_EQ(shown->headerData(3, Qt::Horizontal).toString(), QStringLiteral("No."));
    EXPECT_EQ(f.ListView1->header()->visualIndex(3), 0) << "the number shown first";

    f.ListView1_ColumnClick(4);  // the header of "No."
    QStringList order;
    for (int r = 0; r < 4; ++r) order << shown->index(r, 0).data().toString();
    EXPECT_EQ(order, test::L({"Nine", "Ten", "Hundred", "Plain"}));
    EXPECT_EQ(onNow(2), QString::fromUtf8(kNews));
    const double run = shown->index(2, 0).data(kProgressRole).toDouble();
    EXPECT_GT(run, 0.45);
    EXPECT_LT(run, 0.55);
    EXPECT_TRUE(onNow(0).isEmpty()) << "a channel the guide does not know";

    // The catalogue's categories have no numbers of their own; what is on now stays.
    f.cmdTV_Click();
    EXPECT_EQ(f.ListView1->model()->columnCount(), 3);
    EXPECT_TRUE(f.ListView1->model()->index(0, 0).data(kSecondLineRole).isValid());
}

// The find line finds beyond the list on show: a channel of a playlist source while the
// catalogue's TV list shows (chosen, it plays), and a programme of tomorrow (chosen, the grid
// opens at it); the list's own matches are not repeated below it.
TEST_F(Scripts, TheFindLineFindsInOtherListsAndTheGuideAndPlaysOrOpensTheGrid) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    HttpServer server;
    server.serve(QStringLiteral("/epg.xml"),
                 QStringLiteral("<tv><channel id=\"p1\"><display-name>P</display-name></channel>"
                                "<programme start=\"%1\" stop=\"%2\" channel=\"p1\"><title>Morning</title></programme>"
                                "<programme start=\"%3\" stop=\"%4\" channel=\"p1\"><title>Evening Concert</title>"
                                "</programme></tv>")
                     .arg(XmltvAt(now - 600), XmltvAt(now + 600), XmltvAt(now + 86400), XmltvAt(now + 90000))
                     .toUtf8(),
                 "text/xml");
    SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kGuideAddress,
                server.url(QStringLiteral("/epg.xml")).toStdString());
    program.write("world.m3u", std::string("#EXTM3U\n#EXTINF:-1 tvg-id=\"p1\",") + kPerviy +
                                   "\nhttp://127.0.0.1:9/1.ts|User-Agent=Finder\n");
    Form1& f = Start();
    f.AddPlaylist(QString::fromStdString((program.path() / "world.m3u").string()));
    ASSERT_TRUE(WaitFor([&] { return f.ListView1->rowCount() == 1; }, 10000));
    ASSERT_TRUE(
        WaitFor([&] { return !f.guideUpdates()->running() && !f.guideUpdates()->data().schedules.empty(); }, 10000));
    f.cmdTV_Click();
    f.ListView1->setFocus();
    QTest::keyClick(f.ListView1, Qt::Key_F, Qt::ControlModifier);
    QLineEdit* line = f.ListView1->filterLine();
    ASSERT_NE(line, nullptr);
    auto* panel = f.findChild<QTreeWidget*>(QStringLiteral("ListView1Elsewhere"));
    ASSERT_NE(panel, nullptr);
    const auto texts = [&] {
        QStringList out;
        for (int i = 0; i < panel->topLevelItemCount(); ++i)
            out << panel->topLevelItem(i)->text(0) + QLatin1Char('|') + panel->topLevelItem(i)->text(1);
        return out;
    };

    line->setText(QString::fromUtf8("\xD0\xBF\xD0\xB5\xD1\x80\xD0\xB2"));  // "перв"
    ASSERT_TRUE(WaitFor([&] { return panel->isVisible(); }, 10000)) << "the index made, its matches shown";
    EXPECT_EQ(f.ListView1->model()->rowCount(), 0) << "the TV list has no such channel";
    EXPECT_EQ(texts(),
              QStringList({QStringLiteral("In other lists|"), QString::fromUtf8(kPerviy) + QStringLiteral("|world")}));

    line->setText(QStringLiteral("concert"));
    ASSERT_EQ(panel->topLevelItemCount(), 2);
    EXPECT_EQ(panel->topLevelItem(0)->text(0), QStringLiteral("In the programme guide"));
    EXPECT_EQ(panel->topLevelItem(1)->text(0), QStringLiteral("Evening Concert"));
    EXPECT_TRUE(panel->topLevelItem(1)->text(1).startsWith(QString::fromUtf8(kPerviy) + QStringLiteral(" · ")));
    emit panel->itemClicked(panel->topLevelItem(1), 0);
    auto* guide = f.findChild<GuideWindow*>();
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->isVisible());
    EXPECT_TRUE(guide->details().contains(QStringLiteral("Evening Concert"))) << guide->details().toStdString();
    guide->close();

    line->setText(QStringLiteral("zeta"));
    EXPECT_EQ(f.ListView1->model()->rowCount(), 1) << "the list's own match";
    EXPECT_FALSE(panel->isVisible()) << "and not again below it";

    line->setText(QString::fromUtf8("\xD0\xBF\xD0\xB5\xD1\x80\xD0\xB2"));
    emit panel->itemClicked(panel->topLevelItem(1), 0);
    EXPECT_EQ(f.WindowsMediaPlayer1->url(), QStringLiteral("http://127.0.0.1:9/1.ts"));
}
