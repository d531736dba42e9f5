// Playlists of other players in and out of the favourites and the editor, the programme guide's
// now and next from a loopback server, and the operator's stream check, through the window.
#include <zlib.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimeZone>
#include <QTimer>
#include <filesystem>

#include "base/file_io.h"
#include "base/process_memory.h"
#include "base/text.h"
#include "catalogue/channel_extras.h"
#include "catalogue/favorites.h"
#include "catalogue/playlist.h"
#include "guide/guide_store.h"
#include "player/player_pane.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "support/http_server.h"
#include "support/modal_watcher.h"
#include "support/test_media.h"
#include "support/wait_for.h"
#include "windows/background_jobs.h"
#include "windows/guide_window.h"
#include "windows/main_window_fixture.h"

using test_support::WaitFor;

namespace {

QByteArray Gzip(const QByteArray& plain) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, static_cast<uLong>(plain.size())) + 64), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return out;
}

QString XmltvTime(qint64 t) {
    return QDateTime::fromSecsSinceEpoch(t, QTimeZone::utc()).toString(QStringLiteral("yyyyMMddhhmmss")) +
           QStringLiteral(" +0000");
}

QString Clock(qint64 t) { return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("HH:mm")); }

// A guide whose programmes run now and next, for the channel "news.one" ("News One").
QByteArray GuideAround(qint64 now, const QString& nowTitle, const QString& nextTitle) {
    const qint64 start = now - 1800, change = now + 1800, end = now + 5400;
    return QStringLiteral(
               "<?xml version=\"1.0\"?><tv><channel id=\"news.one\"><display-name>News One</display-name></channel>"
               "<programme start=\"%1\" stop=\"%2\" channel=\"news.one\"><title>%4</title></programme>"
               "<programme start=\"%2\" stop=\"%3\" channel=\"news.one\"><title>%5</title></programme>"
               "<programme start=\"%1\" stop=\"%3\" channel=\"elsewhere\"><title>Not ours</title></programme></tv>")
        .arg(XmltvTime(start), XmltvTime(change), XmltvTime(end), nowTitle, nextTitle)
        .toUtf8();
}

class Playlists : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        // The guide's files live in the user's data folder, which the test program shares.
        for (const auto& file : {guide::CachePath(), guide::IdsPath(), catalogue::ExtrasPath()})
            std::filesystem::remove(file);
    }
    void TearDown() override {
        MainWindow::TearDown();
        for (const auto& file : {guide::CachePath(), guide::IdsPath(), catalogue::ExtrasPath()})
            std::filesystem::remove(file);
    }
    std::vector<catalogue::Channel> SavedFavorites() const {
        return catalogue::ParseFavorites(program.read("Favorites.txt"));
    }
    HttpServer server;
};

class OperatorPlaylists : public Playlists {
protected:
    void SetUp() override {
        Playlists::SetUp();
        program.write("admin.txt", "");
    }
};

}  // namespace

TEST_F(Playlists, ImportIntoFavoritesSortsCategoriesTypesAndSkipsWhatItCannotKeep) {
    program.write("Favorites.txt", catalogue::EncodeFavorites({{"Kept", "http://s.example/kept", "TV", "English"}}));
    program.write(
        "mine.m3u",
        "#EXTM3U\r\n"
        "#EXTINF:-1 tvg-name=\"Caf\xC3\xA9 \xE2\x98\x95 TV\" group-title=\"video\" tvg-language=\"French;English\","
        "ignored\r\nhttp://s.example/cafe\r\n"
        "#EXTINF:-1 radio=\"true\",Ja\x06zz\x03\r\nhttp://s.example/jazz\r\n"  // bytes that encode to CR, LF
        "#EXTINF:-1,Talk\r\nhttp://s.example/talk.mp3?x=1\r\n"
        "#EXTINF:-1 group-title=\"News\",News | One\r\nhttp://s.example/news\r\n"
        "#EXTINF:-1,Kept\r\nhttp://s.example/kept\r\n"      // the same name and address: skipped
        "#EXTINF:-1,News Two\r\nhttp://s.example/news\r\n"  // another name of one stream: kept
        "#EXTINF:-1,News Two\r\nhttp://s.example/news\r\n"
        "#EXTINF:-1,Local\r\nfile:///etc/passwd\r\n"
        "#EXTINF:-1,Ftp\r\nftp://s.example/x\r\n"
        "#EXTINF:-1,Split\r\nhttp://s.example/a|b\r\n");
    Form1& f = Start();
    ModalWatcher watcher;
    EXPECT_TRUE(f.ImportPlaylist(QString::fromStdString((program / "mine.m3u").string())));
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_EQ(watcher.texts()[0],
              QStringLiteral("5 channels were added to your favorites. 3 entries were skipped: the player does not "
                             "open their addresses. 2 entries were already in the list under the same name."));
    EXPECT_TRUE(f.Frame3->isVisible()) << "the favourites are shown";
    const auto saved = SavedFavorites();
    ASSERT_EQ(saved.size(), 6u);
    const auto expect = [&](std::size_t i, const char* name, const char* address, const char* category,
                            const char* language) {
        EXPECT_EQ(saved[i].name, name);
        EXPECT_EQ(saved[i].address, address);
        EXPECT_EQ(saved[i].category, category) << name;
        EXPECT_EQ(saved[i].language, language) << name;
    };
    expect(0, "Kept", "http://s.example/kept", "TV", "English");
    expect(1, "Caf\xE9 ? TV", "http://s.example/cafe", "Video", "French/English");  // code page, "?" for the cup
    expect(2, "Jazz", "http://s.example/jazz", "Radio", "");
    expect(3, "Talk", "http://s.example/talk.mp3?x=1", "Radio", "");  // an audio file's address
    expect(4, "News / One", "http://s.example/news", "TV", "");       // a "|" would split the line
    expect(5, "News Two", "http://s.example/news", "TV", "");
    EXPECT_EQ(f.ListView2->rowCount(), 6);
    EXPECT_EQ(f.ListView2->row(2).name, "Jazz") << "as shown, so stored and read back";
}

TEST_F(Playlists, AHugePlaylistIsReadBesideTheWindowAndCanBeCancelled) {
    // 64 MiB of short lines: four million entries, of which 200,000 are taken.
    std::string text;
    text.reserve(playlist::kMaxBytes);
    for (int i = 0; text.size() + 24 < playlist::kMaxBytes; ++i)
        text.append("http://a/").append(std::to_string(i)) += '\n';
    program.write("huge.m3u", text);
    text = {};
    Form1& f = Start();
    ModalWatcher watcher;
    test_support::LongestGap gap;
    [[maybe_unused]] const std::uint64_t before = base::ResidentBytes();  // unchecked under ASan
    ASSERT_TRUE(f.ImportPlaylist(QString::fromStdString((program / "huge.m3u").string())));
#ifndef __SANITIZE_ADDRESS__
    // (The address sanitizer keeps freed memory resident on purpose: there this says nothing.)
    EXPECT_LT(base::ResidentBytes(), before + 3 * playlist::kMaxBytes);
#endif
    gap.stop();
    // Reading 64 MiB on the window's thread would hold it for seconds; laying out and drawing the
    // 200,000 rows it brings takes a moment, several times longer under the address sanitizer.
#ifdef __SANITIZE_ADDRESS__
    constexpr int kLongestGapMs = 600;
#else
    constexpr int kLongestGapMs = 400;  // a busy machine; the read itself would take seconds
#endif
    EXPECT_LT(gap.ms(), kLongestGapMs) << "the window's thread read the playlist";
    EXPECT_EQ(f.ListView2->rowCount(), static_cast<int>(playlist::kMaxEntries));
    ASSERT_FALSE(watcher.texts().isEmpty());
    EXPECT_TRUE(watcher.texts().last().contains(QStringLiteral("more than 200,000 entries; the ")))
        << watcher.texts().last().toStdString();
    const std::string saved = program.read("Favorites.txt");

    // A playlist that comes slowly shows its progress, and "Cancel" ends it with nothing changed.
    server.serveTrickle(QStringLiteral("/slow.m3u"), "#EXTM3U\n#EXTINF:-1,Slow\nhttp://s.example/slow\n",
                        "audio/x-mpegurl", 1, 1000);
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        auto* progress = f.findChild<QProgressDialog*>(QStringLiteral("playlistProgress"));
        if (progress && progress->isVisible()) QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    });
    cancel.start(50);
    const int told = static_cast<int>(watcher.texts().size());
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(f.ImportPlaylist(server.url(QStringLiteral("/slow.m3u"))));
    EXPECT_LT(took.elapsed(), 5000) << "ended by the cancel, not the download";
    EXPECT_EQ(watcher.texts().size(), told) << "a cancel needs no message";
    EXPECT_EQ(f.ListView2->rowCount(), static_cast<int>(playlist::kMaxEntries));
    EXPECT_EQ(program.read("Favorites.txt"), saved);
}

TEST_F(Playlists, RefusedAndUnreadablePlaylistsChangeNothing) {
    Form1& f = Start();
    ModalWatcher watcher;
    program.write("long.m3u", "#EXTM3U\n#EXTINF:-1," + std::string(70 * 1024, 'x') + "\nhttp://s.example/1\n");
    EXPECT_FALSE(f.ImportPlaylist(QString::fromStdString((program / "long.m3u").string())));
    program.write("huge.m3u", "");
    std::filesystem::resize_file(program / "huge.m3u", (std::uintmax_t{64} << 20) + 1);  // sparse
    EXPECT_FALSE(f.ImportPlaylist(QString::fromStdString((program / "huge.m3u").string())));
    EXPECT_FALSE(f.ImportPlaylist(QString::fromStdString((program / "none.m3u").string())));
    EXPECT_FALSE(f.ImportPlaylist(server.url(QStringLiteral("/missing.m3u"))));
    ASSERT_EQ(watcher.texts().size(), 4);
    EXPECT_TRUE(watcher.texts()[0].startsWith(QStringLiteral("Line 2 of the playlist")))
        << watcher.texts()[0].toStdString();
    EXPECT_TRUE(watcher.texts()[1].contains(QStringLiteral("larger than 64 MiB")));
    EXPECT_TRUE(watcher.texts()[2].contains(QStringLiteral("cannot be read")));
    EXPECT_TRUE(watcher.texts()[3].contains(QStringLiteral("HTTP status 404")));
    EXPECT_FALSE(std::filesystem::exists(program / "Favorites.txt"));
    EXPECT_EQ(f.ListView2->rowCount(), 0);
}

// A provider's playlist exported from the favourites, also after a restart, reads back as the
// same playlist: numbers, logos, groups, tvg-ids and the guide's address included.
TEST_F(Playlists, AnExportedProviderPlaylistReadsBackWithItsNumbersLogosGroupsAndGuide) {
    const std::string provider =
        "#EXTM3U url-tvg=\"http://127.0.0.1:9/epg.xml\"\n"
        "#EXTINF:-1 tvg-id=\"one.de\" tvg-chno=\"101\" tvg-logo=\"http://l.example/1.png\" group-title=\"News\","
        "Eins\nhttp://s.example/1.ts\n"
        "#EXTINF:-1 tvg-chno=\"7\" group-title=\"Kids\",Zwei\nhttp://s.example/2.ts\n"
        "#EXTINF:-1,Drei\nhttp://s.example/3.ts\n";
    program.write("provider.m3u", provider);
    const QString out = QString::fromStdString((program / "out.m3u").string());
    {
        Form1& f = Start();
        ModalWatcher yes(QMessageBox::Yes);  // the playlist's guide: used
        ASSERT_TRUE(f.ImportPlaylist(QString::fromStdString((program / "provider.m3u").string())));
        ASSERT_TRUE(WaitFor([&] { return !f.guideUpdates()->running(); }, 10000));
        form.reset();
    }
    Form1& again = Start();
    ASSERT_TRUE(again.ExportFavorites(out));
    const playlist::Playlist original = playlist::Read(provider, "");
    const playlist::Playlist back = playlist::Read(program.read("out.m3u"), "");
    EXPECT_EQ(back.guideAddress, original.guideAddress);
    ASSERT_EQ(back.entries.size(), original.entries.size());
    for (std::size_t i = 0; i < back.entries.size(); ++i) {
        const playlist::Entry &b = back.entries[i], &o = original.entries[i];
        EXPECT_EQ(b.name, o.name);
        EXPECT_EQ(b.address, o.address);
        EXPECT_EQ(b.tvgId, o.tvgId) << o.name;
        EXPECT_EQ(b.number, o.number) << o.name;
        EXPECT_EQ(b.logo, o.logo) << o.name;
        EXPECT_EQ(b.group, o.group.empty() ? "TV" : o.group) << o.name;  // no group: its category
    }
}

TEST_F(OperatorPlaylists, ExportThenImportGivesTheSameRows) {
    program.write("Favorites.txt",
                  catalogue::EncodeFavorites({{"Caf\xE9 Un", "http://s.example/1", "TV", "French/English"},
                                              {"Jazz, late", "http://s.example/2.mp3", "Radio", ""},
                                              {"Film", "http://s.example/3", "Video", "German"}}));
    Form1& f = Start();
    ModalWatcher watcher;
    const std::vector<ListRow> favourites = f.ListView2->rows();
    const QString file = QString::fromStdString((program / "out.m3u").string());
    ASSERT_TRUE(f.ExportFavorites(file));
    EXPECT_EQ(program.read("out.m3u").substr(0, 8), "#EXTM3U\n");
    EXPECT_NE(program.read("out.m3u").find("Caf\xC3\xA9 Un"), std::string::npos) << "UTF-8 in the file";
    program.write("Favorites.txt", "");
    f.ListView2->channels()->clear();
    ASSERT_TRUE(f.ImportPlaylist(file));
    ASSERT_EQ(f.ListView2->rowCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f.ListView2->row(i).name, favourites[i].name);
        EXPECT_EQ(f.ListView2->row(i).address, favourites[i].address);
        EXPECT_EQ(f.ListView2->row(i).category, favourites[i].category);
        EXPECT_EQ(f.ListView2->row(i).language, favourites[i].language);
    }

    // The whole catalogue in editing mode, as "Encrypt and Save" would write it.
    f.Clear_Click();
    f.doLoad_Click();
    const std::vector<ListRow> catalogueRows = f.ListView1->rows();
    ASSERT_TRUE(f.ExportCatalogue(QString::fromStdString((program / "all.m3u").string())));
    f.Clear_Click();
    ASSERT_TRUE(f.ImportIntoEditor(QString::fromStdString((program / "all.m3u").string())));
    ASSERT_EQ(f.ListView1->rows().size(), catalogueRows.size());
    for (std::size_t i = 0; i < catalogueRows.size(); ++i) {
        EXPECT_EQ(f.ListView1->rows()[i].name, catalogueRows[i].name);
        EXPECT_EQ(f.ListView1->rows()[i].url, catalogueRows[i].url);
        EXPECT_EQ(f.ListView1->rows()[i].category, catalogueRows[i].category);
        EXPECT_EQ(f.ListView1->rows()[i].language, catalogueRows[i].language);
    }

    // A write that fails leaves the old file whole, and says so.
    base::InjectWriteFailure(base::WriteStep::Rename);
    EXPECT_FALSE(f.ExportFavorites(file));
    base::InjectWriteFailure(std::nullopt);
    EXPECT_TRUE(watcher.texts().last().startsWith(QStringLiteral("The playlist could not be saved")));
    EXPECT_EQ(program.read("out.m3u").substr(0, 8), "#EXTM3U\n");
}

TEST_F(OperatorPlaylists, ImportIntoTheEditorLandsInSortedPlaceAndIsSaved) {
    Form1& f = Start();
    ModalWatcher watcher;
    f.Clear_Click();
    f.doLoad_Click();
    f.ListView1_ColumnClick(1);  // sorted by name (columns count from 1 here)
    ASSERT_TRUE(f.ListView1->channels()->isSorted());
    program.write("more.pls",
                  "[playlist]\nNumberOfEntries=4\nFile1=http://s.example/m\nTitle1=Middle Channel\n"
                  "File2=http://s.example/aardvark\nTitle2=Aardvark TV\nFile3=http://127.0.0.1/Zeta News\n"
                  "Title3=Zeta News\nFile4=rel/a.m3u8\nTitle4=Relative\n");
    ASSERT_TRUE(f.ImportIntoEditor(QString::fromStdString((program / "more.pls").string())));
    std::vector<std::string> names;
    for (const ListRow& r : f.ListView1->rows()) names.push_back(r.name);
    const auto byName = [](const std::string& a, const std::string& b) { return text::CompareNoCase(a, b) < 0; };
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), byName) ||
                std::is_sorted(names.rbegin(), names.rend(), byName));
    EXPECT_EQ(f.ListView1->rowCount(), 9);  // 7 + 2
    EXPECT_NE(std::find(names.begin(), names.end(), "Aardvark TV"), names.end());
    ASSERT_EQ(watcher.texts().size(), 1);
    // A relative address of a local playlist is a local path, which a list may not hold.
    EXPECT_EQ(watcher.texts()[0],
              QStringLiteral("2 channels were added to the list. 1 entry was skipped: the player does not open its "
                             "address. 1 entry was already in the list under the same name."));
    f.save_Click();
    EXPECT_NE(program.read("Data.htm").size(), 0u);
    f.ListView1->selectRow(-1);
    for (int i = 0; i < f.ListView1->rowCount(); ++i)
        if (f.ListView1->row(i).name == "Middle Channel") {
            EXPECT_EQ(f.ListView1->row(i).url, "http://s.example/m");
            EXPECT_EQ(f.ListView1->channels()->cell(i, 3), "http://s.example/m");
        }
}

TEST_F(Playlists, APlaylistFileOnTheCommandLineIsImportedAnAddressIsPlayed) {
    // Its guide names a local file: a playlist may not make the program read one.
    program.write("cmd.m3u8",
                  "#EXTM3U url-tvg=\"/etc/passwd\"\n#EXTINF:-1,From The Command Line\nhttp://s.example/cl\n");
    Form1& f = Start();
    ModalWatcher watcher;
    f.OpenMedia(QString::fromStdString((program / "cmd.m3u8").string()));
    ASSERT_EQ(f.ListView2->rowCount(), 1);
    EXPECT_EQ(f.ListView2->row(0).name, "From The Command Line");
    EXPECT_TRUE(f.guideAddress().isEmpty());
    // A guide on the web is used only when the user agrees: it is fetched at every start.
    server.serve(QStringLiteral("/offers.m3u"),
                 "#EXTM3U url-tvg=\"" + server.url(QStringLiteral("/epg.xml")).toUtf8() +
                     "\"\n#EXTINF:-1,Offered\nhttp://s.example/o\n",
                 "audio/x-mpegurl");
    f.ImportPlaylist(server.url(QStringLiteral("/offers.m3u")));  // the watcher answers "No"
    EXPECT_TRUE(watcher.texts().last().endsWith(QStringLiteral("Use it for now and next?")));
    EXPECT_EQ(f.ListView2->rowCount(), 2);
    EXPECT_TRUE(f.guideAddress().isEmpty());
    EXPECT_EQ(server.requestCount(QStringLiteral("/epg.xml")), 0);
    const QString address = server.url(QStringLiteral("/remote.m3u"));
    f.OpenMedia(address);
    EXPECT_EQ(f.WindowsMediaPlayer1->url(), address);
    EXPECT_EQ(f.ListView2->rowCount(), 2);
}

TEST_F(Playlists, APlaylistsGuideShowsNowAndNextInTheStatusAndTheRowTooltip) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    server.serve(QStringLiteral("/epg.xml.gz"),
                 Gzip(GuideAround(now, QStringLiteral("Morning Show"), QStringLiteral("Midday"))), "application/gzip");
    server.serveLive(QStringLiteral("/news"), test_media::Mp3Audio(), "audio/mpeg");
    server.serve(QStringLiteral("/list.m3u"),
                 "#EXTM3U url-tvg=\"" + server.url(QStringLiteral("/epg.xml.gz")).toUtf8() +
                     "\"\n#EXTINF:-1 tvg-id=\"news.one\" tvg-name=\"NEWS-ONE HD\",x\n/news\n"
                     "#EXTINF:-1,Other Channel\n/other\n",
                 "audio/x-mpegurl");
    Form1& f = Start();
    ModalWatcher watcher(QMessageBox::Yes);
    ASSERT_TRUE(f.ImportPlaylist(server.url(QStringLiteral("/list.m3u"))));
    EXPECT_TRUE(
        watcher.texts().value(0).endsWith(QStringLiteral("names a programme guide at %1. Use it for now and next?")
                                              .arg(server.url(QStringLiteral("/epg.xml.gz")))));
    EXPECT_EQ(f.guideAddress(), server.url(QStringLiteral("/epg.xml.gz")));
    ASSERT_TRUE(WaitFor([&] { return !f.guideUpdates()->running(); }, 10000));
    EXPECT_EQ(server.requestCount(QStringLiteral("/epg.xml.gz")), 1);
    // The import's update says how it went, without a message to click away.
    EXPECT_TRUE(f.WindowsMediaPlayer1->statusText().startsWith(QStringLiteral("The programme guide was updated at")))
        << f.WindowsMediaPlayer1->statusText().toStdString();
    ASSERT_NE(f.mnuGuideResult, nullptr);
    EXPECT_EQ(f.mnuGuideResult->text(), f.WindowsMediaPlayer1->statusText());

    const QString expected = QStringLiteral("Now: Morning Show (until %1) · Next: Midday").arg(Clock(now + 1800));
    ASSERT_EQ(f.ListView2->rowCount(), 2);
    const QModelIndex news = f.ListView2->channels()->index(0, 0);
    EXPECT_EQ(news.data(Qt::ToolTipRole).toString(), expected);
    EXPECT_EQ(f.ListView2->channels()->index(1, 0).data(Qt::ToolTipRole).toString(),
              QStringLiteral("Other Channel"));  // no guide: the name, as before

    f.cmdFavorites_Click();
    f.ListView2->selectRow(0);
    f.ListView2_Click();
    PlayerPane* pane = f.WindowsMediaPlayer1;
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    EXPECT_EQ(pane->statusText(), QStringLiteral("NEWS-ONE HD · ") + expected);

    // The next start finds the guide in the user's cache, and asks the server only whether it changed.
    form.reset();
    server.remove(QStringLiteral("/epg.xml.gz"));
    Form1& again = Start();
    const auto tooltip = [&] { return again.ListView2->channels()->index(0, 0).data(Qt::ToolTipRole).toString(); };
    EXPECT_TRUE(WaitFor([&] { return tooltip() == expected; }, 5000)) << "read in the background";
    ASSERT_TRUE(WaitFor([&] { return !again.guideUpdates()->running(); }, 10000));
    EXPECT_EQ(again.ListView2->channels()->index(0, 0).data(Qt::ToolTipRole).toString(), expected)
        << "a failed update keeps the cached guide";
}

TEST_F(Playlists, TheGuideGridShowsTheListsChannelsWithTheirProgrammesAndPlaysFromThem) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const auto programme = [](const char* channel, qint64 start, qint64 stop, const char* title, const char* desc) {
        return QStringLiteral("<programme start=\"%1\" stop=\"%2\" channel=\"%3\"><title>%4</title>%5</programme>")
            .arg(XmltvTime(start), XmltvTime(stop), QLatin1String(channel), QLatin1String(title),
                 desc ? QStringLiteral("<desc>%1</desc>").arg(QLatin1String(desc)) : QString());
    };
    const QString guide =
        QStringLiteral(
            "<?xml version=\"1.0\"?><tv><channel id=\"news.one\"><display-name>News One</display-name>"
            "</channel><channel id=\"s2\"><display-name>Sports Two</display-name></channel>") +
        programme("news.one", now - 86400, now - 82800, "Yesterday's News", nullptr) +
        programme("news.one", now - 1800, now + 1800, "Morning Show", "Talk &amp; music, with the weather.") +
        programme("news.one", now + 1800, now + 5400, "Midday", nullptr) +
        programme("s2", now - 3600, now + 3600, "Match of the Week", "The second half.") +
        programme("s2", now + 3600 * 24 * 6, now + 3600 * 24 * 6 + 7200, "Next Week's Match", nullptr) +
        QStringLiteral("</tv>");
    server.serve(QStringLiteral("/epg.xml"), guide.toUtf8(), "text/xml");
    server.serveLive(QStringLiteral("/news"), test_media::Mp3Audio(), "audio/mpeg");
    server.serveLive(QStringLiteral("/sport"), test_media::Mp3Audio(), "audio/mpeg");
    program.write("Favorites.txt", catalogue::EncodeFavorites(
                                       {{"News One", server.url(QStringLiteral("/news")).toStdString(), "TV", ""},
                                        {"No Guide", "http://s.example/none", "TV", ""},
                                        {"Sports Two", server.url(QStringLiteral("/sport")).toStdString(), "TV", ""}}));
    SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kGuideAddress,
                server.url(QStringLiteral("/epg.xml")).toStdString());
    Form1& f = Start();
    ASSERT_TRUE(WaitFor([&] { return !f.guideUpdates()->running() && server.requestCount(QStringLiteral("/epg.xml")); },
                        10000));
    f.cmdFavorites_Click();
    f.mnuGuideGrid->trigger();
    auto* window = f.findChild<GuideWindow*>(QStringLiteral("GuideWindow"));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    GuideGrid* grid = window->grid();
    // The channels the guide knows, in the list's order; a day back to the guide's last day.
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->row(0).name, QStringLiteral("News One"));
    EXPECT_EQ(grid->row(1).name, QStringLiteral("Sports Two"));
    EXPECT_EQ(grid->row(0).schedule->size(), 3u);
    EXPECT_LE(grid->firstTime(), now - GuideGrid::kBackSeconds);
    EXPECT_GE(grid->lastTime(), now + 3600 * 24 * 6 + 7200);
    EXPECT_LE(grid->leftTime(), now);
    EXPECT_GT(grid->leftTime(), now - 3600) << "it opens at now";

    // A click on a programme tells what it is.
    const int onNow = grid->programmeAt(0, now);
    ASSERT_EQ(onNow, 1);
    const QRect box = grid->boxOf(0, onNow);
    ASSERT_TRUE(grid->viewport()->rect().contains(box.center())) << "on screen from the start";
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_EQ(grid->currentProgramme(), onNow);
    EXPECT_TRUE(window->details().contains(QStringLiteral("Morning Show"))) << window->details().toStdString();
    EXPECT_TRUE(window->details().contains(QStringLiteral("Talk & music, with the weather.")));
    EXPECT_TRUE(window->details().contains(Clock(now - 1800) + QStringLiteral("–") + Clock(now + 1800)));

    // Down keeps to the time; Enter plays that channel, and its row in the list follows.
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_TRUE(window->details().contains(QStringLiteral("The second half.")));
    QTest::keyClick(grid, Qt::Key_Enter);
    PlayerPane* pane = f.WindowsMediaPlayer1;
    EXPECT_EQ(pane->url(), server.url(QStringLiteral("/sport")));
    ASSERT_TRUE(WaitFor([&] { return pane->playState() == QLatin1String("playing"); }, 15000));
    EXPECT_EQ(f.ListView2->selectedIndex(), 2);
    EXPECT_TRUE(pane->onScreen().text().contains(QStringLiteral("Match of the Week")))
        << "the banner has the guide's programme";
}

TEST_F(Playlists, ADamagedGuideCacheIsReadInTheBackgroundRefusedAndFetchedAnew) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    program.write("Favorites.txt", catalogue::EncodeFavorites({{"News One", "http://s.example/n", "TV", ""}}));
    server.serve(QStringLiteral("/epg.xml"), GuideAround(now, QStringLiteral("Fresh"), QStringLiteral("Later")),
                 "text/xml");
    const std::string address = server.url(QStringLiteral("/epg.xml")).toStdString();
    SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kGuideAddress, address);
    // 1.2 million channel keys (30 MB), more than any list of ours: not a cache this program wrote.
    std::string damaged = "guide-cache 1\nsource\t" + address + "\nmodified\tMon, 07 Dec 2026 20:00:00 GMT\n";
    for (int i = 0; i < 1'200'000; ++i) damaged += "id\tchannel." + std::to_string(i) + "\tc\n";
    std::filesystem::create_directories(guide::CachePath().parent_path());
    ASSERT_TRUE(base::ReplaceFileAtomically(guide::CachePath(), damaged));
    damaged = {};

    Form1& f = Start();
    test_support::LongestGap gap;
    ASSERT_TRUE(WaitFor([&] { return f.guideUpdates()->running() == false; }, 20000));
    EXPECT_LT(gap.ms(), 200) << "the window's thread read the cache";
    EXPECT_EQ(server.requestCount(QStringLiteral("/epg.xml")), 1);
    EXPECT_FALSE(server.lastRequest().toLower().contains("if-modified-since"))
        << "the refused cache's date is not sent";
    EXPECT_TRUE(
        f.ListView2->channels()->index(0, 0).data(Qt::ToolTipRole).toString().startsWith(QStringLiteral("Now: Fresh")));
    EXPECT_LT(std::filesystem::file_size(guide::CachePath()), 4096u) << "written anew";
}

TEST_F(Playlists, ASlowOrBrokenGuideNeitherFreezesTheWindowNorLosesTheOldOne) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    program.write("Favorites.txt", catalogue::EncodeFavorites({{"News One", "http://s.example/n", "TV", ""}}));
    server.serve(QStringLiteral("/good.xml"), GuideAround(now, QStringLiteral("Old Show"), QStringLiteral("Later")),
                 "text/xml");
    server.serveTrickle(QStringLiteral("/slow.xml"), GuideAround(now, QStringLiteral("New"), QStringLiteral("N")),
                        "text/xml", 1, 1000);
    server.serve(QStringLiteral("/broken.xml"), "<tv><programme start=\"x\"", "text/xml");
    Form1& f = Start();
    ModalWatcher watcher;
    f.SetGuideAddress(server.url(QStringLiteral("/good.xml")));
    ASSERT_TRUE(WaitFor([&] { return !f.guideUpdates()->running(); }, 10000));
    const auto tip = [&] { return f.ListView2->channels()->index(0, 0).data(Qt::ToolTipRole).toString(); };
    ASSERT_TRUE(tip().startsWith(QStringLiteral("Now: Old Show"))) << tip().toStdString();

    // A byte a second: the window's events keep flowing, and the update can be stopped.
    f.SetGuideAddress(server.url(QStringLiteral("/slow.xml")));
    ASSERT_TRUE(f.guideUpdates()->running());
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);
    QElapsedTimer waited;
    waited.start();
    QTest::qWait(2000);
    EXPECT_TRUE(f.guideUpdates()->running());
    EXPECT_GT(ticks, 20) << "the event loop ran while the guide trickled in";
    f.mnuUpdateGuide->trigger();  // "Stop Updating the Programme Guide"
    EXPECT_FALSE(f.guideUpdates()->running());
    EXPECT_EQ(f.mnuUpdateGuide->text(), QStringLiteral("Update Programme Guide"));
    EXPECT_TRUE(tip().startsWith(QStringLiteral("Now: Old Show")));

    // Broken XML: the user who asked is told, and the old guide stays.
    f.SetGuideAddress(server.url(QStringLiteral("/broken.xml")));
    ASSERT_TRUE(WaitFor([&] { return !f.guideUpdates()->running(); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return !watcher.texts().isEmpty(); }, 2000));
    EXPECT_TRUE(
        watcher.texts().last().startsWith(QStringLiteral("The programme guide could not be updated: the guide "
                                                         "is not valid XMLTV")))
        << watcher.texts().last().toStdString();
    EXPECT_TRUE(tip().startsWith(QStringLiteral("Now: Old Show")));
    ASSERT_NE(f.mnuGuideResult, nullptr);
    EXPECT_TRUE(f.mnuGuideResult->text().contains(QStringLiteral("could not be updated at")));
    EXPECT_TRUE(f.mnuGuideResult->text().contains(QStringLiteral("not valid XMLTV")));
    EXPECT_TRUE(guide::LoadCache().has_value());
    EXPECT_EQ(guide::LoadCache()->source, server.url(QStringLiteral("/good.xml")).toStdString());
}

TEST_F(OperatorPlaylists, TheStreamCheckMarksEveryRowAndTheDeadOnesGoAtOnce) {
    QByteArray ts;
    for (int i = 0; i < 40; ++i) ts += char(0x47) + QByteArray(187, '\xFF');
    server.serveLive(QStringLiteral("/live.ts"), ts.repeated(20), "video/mp2t");
    server.serveSilence(QStringLiteral("/silent"));
    server.serveTrickle(QStringLiteral("/slow.ts"), ts, "video/mp2t", 188, 400);
    server.serveRadio(QStringLiteral("/radio"), test_media::Mp3Audio(), QStringLiteral("Song"));
    const auto line = [&](const char* name, const QString& address) {
        return "#EXTINF:-1," + std::string(name) + "\n" + address.toStdString() + "\n";
    };
    program.write("check.m3u", "#EXTM3U\n" + line("Live", server.url(QStringLiteral("/live.ts"))) +
                                   line("Gone", server.url(QStringLiteral("/gone"))) +
                                   line("Silent", server.url(QStringLiteral("/silent"))) +
                                   line("Slow", server.url(QStringLiteral("/slow.ts"))) +
                                   line("Radio", server.url(QStringLiteral("/radio"))) +
                                   line("Windows Media", QStringLiteral("mms://media.example/live")));
    Form1& f = Start();
    ModalWatcher watcher;
    f.Clear_Click();
    ASSERT_TRUE(f.ImportIntoEditor(QString::fromStdString((program / "check.m3u").string())));
    ASSERT_EQ(f.ListView1->rowCount(), 6);
    f.streamChecker()->options.timeoutSeconds = 3;
    f.mnuCheckStreams->trigger();
    EXPECT_TRUE(f.streamChecker()->running());
    auto* progress = f.findChild<QProgressDialog*>(QStringLiteral("streamCheckProgress"));
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->maximum(), 6);
    ASSERT_TRUE(WaitFor([&] { return !f.streamChecker()->running(); }, 20000));
    EXPECT_EQ(f.mnuCheckStreams->text(), QStringLiteral("Check Streams"));
    const auto markOf = [&](int row) {
        const StreamMark* m = f.ListView1->channels()->mark(row);
        return m ? m->kind : StreamMark::Kind::Unknown;
    };
    const auto tipOf = [&](int row) { return f.ListView1->channels()->index(row, 0).data(Qt::ToolTipRole).toString(); };
    for (int row = 0; row < 6; ++row) ASSERT_NE(f.ListView1->channels()->mark(row), nullptr) << row;
    EXPECT_EQ(markOf(0), StreamMark::Kind::Alive);
    EXPECT_EQ(tipOf(0), QStringLiteral("Alive: MPEG-TS stream"));
    EXPECT_EQ(markOf(1), StreamMark::Kind::Dead);
    EXPECT_EQ(tipOf(1), QStringLiteral("Dead: HTTP 404 Not Found"));
    EXPECT_EQ(markOf(2), StreamMark::Kind::Dead);
    EXPECT_EQ(tipOf(2), QStringLiteral("Dead: no answer within 3 s"));
    EXPECT_EQ(markOf(3), StreamMark::Kind::Alive);
    EXPECT_EQ(markOf(4), StreamMark::Kind::Alive);
    EXPECT_TRUE(tipOf(4).startsWith(QStringLiteral("Alive: "))) << tipOf(4).toStdString();
    EXPECT_EQ(markOf(5), StreamMark::Kind::Unknown);
    EXPECT_TRUE(f.ListView1->channels()->index(1, 0).data(Qt::DecorationRole).isValid());
    EXPECT_EQ(server.requestCount(QStringLiteral("/live.ts")), 1) << "each address is asked once";

    // Nothing was played meanwhile, and the dead rows go in one step, after a question.
    EXPECT_EQ(f.WindowsMediaPlayer1->playState(), QStringLiteral("idle"));
    EXPECT_EQ(f.DeleteDeadStreams(false), 2);
    std::vector<std::string> left;
    for (const ListRow& r : f.ListView1->rows()) left.push_back(r.name);
    EXPECT_EQ(left, (std::vector<std::string>{"Live", "Slow", "Radio", "Windows Media"}));
    EXPECT_EQ(f.DeleteDeadStreams(false), 0);
}

TEST_F(OperatorPlaylists, AStreamCheckIsCancelledFromItsProgressWindow) {
    for (int i = 0; i < 20; ++i) server.serveSilence(QStringLiteral("/s%1").arg(i));
    std::string m3u = "#EXTM3U\n";
    for (int i = 0; i < 20; ++i)
        m3u +=
            "#EXTINF:-1,S" + std::to_string(i) + "\n" + server.url(QStringLiteral("/s%1").arg(i)).toStdString() + "\n";
    program.write("silent.m3u", m3u);
    Form1& f = Start();
    ModalWatcher watcher;
    f.Clear_Click();
    ASSERT_TRUE(f.ImportIntoEditor(QString::fromStdString((program / "silent.m3u").string())));
    f.CheckStreams();
    ASSERT_TRUE(WaitFor([&] { return server.requestCount() >= 8; }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(server.requestCount(), 8) << "eight at once, no more";
    auto* progress = f.findChild<QProgressDialog*>(QStringLiteral("streamCheckProgress"));
    ASSERT_NE(progress, nullptr);
    QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);  // "Cancel"
    EXPECT_FALSE(f.streamChecker()->running());
    QTest::qWait(300);
    EXPECT_EQ(server.requestCount(), 8) << "nothing more is asked after the cancel";
    for (int row = 0; row < f.ListView1->rowCount(); ++row) EXPECT_EQ(f.ListView1->channels()->mark(row), nullptr);
}
