// Every file the program rewrites survives a failure at every step of the write: the old file
// stays whole, no temporary file is left behind, and the user is told. And a program folder
// that cannot be written: the viewer still starts, plays, browses, and says what it could
// not save.
#include <unistd.h>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>

#include "base/file_io.h"
#include "base/file_lock.h"
#include "base/program_files.h"
#include "catalogue/catalogue_writer.h"
#include "catalogue/favorites.h"
#include "localisation/languages.h"
#include "player/player_pane.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "support/modal_watcher.h"
#include "support/tiny_http.h"
#include "support/wait_for.h"
#include "widgets/file_browser.h"
#include "widgets/qt_text.h"
#include "widgets/qt_window.h"
#include "windows/main_window_fixture.h"
#include "windows/source_shelf.h"

namespace {

using base::WriteStep;
constexpr WriteStep kSteps[] = {WriteStep::Open, WriteStep::Write, WriteStep::Flush, WriteStep::Sync,
                                WriteStep::Rename};

std::vector<std::string> Temporaries(const std::filesystem::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.path().extension() == ".tmp") out.push_back(e.path().filename().string());
    return out;
}

std::string OneFavourite() {
    std::string out;
    catalogue::AppendEncodedLine(out, "Kept Favourite", "http://127.0.0.1/kept", "TV", "English");
    return out;
}

struct Writer {
    const char* name;
    std::filesystem::path file;  // relative to the program folder, or absolute
    std::string before;          // what the file holds before the write
    std::function<void(Form1&)> act;
    bool tellsUser;
};

class FileSafety : public MainWindow {
protected:
    void TearDown() override {
        if (m_readOnly) {
            // What the user's data folder (shared by the tests of one run) was given goes.
            for (const char* name : {"Favorites.txt", "Data.htm"})
                std::filesystem::remove(program_files::UserDataFolder() / name);
            program_files::SetProgramFolderWritableForTests(std::nullopt);
            std::filesystem::permissions(program.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
        }
        base::InjectWriteFailure(std::nullopt);
        MainWindow::TearDown();
    }
    // The program folder as an installed program has it: the user may not write it. (Root
    // writes anywhere: there the fault hook refuses the writes, and the folder counts so.)
    void MakeProgramFolderReadOnly() {
        m_readOnly = true;
        std::filesystem::permissions(program.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        if (RunningAsRoot()) {
            base::InjectWriteFailure(WriteStep::Open, program.path());
            program_files::SetProgramFolderWritableForTests(false);
        }
    }

private:
    bool m_readOnly = false;
};

}  // namespace

TEST_F(FileSafety, EveryRewrittenFileSurvivesAFailureAtEveryStep) {
    program.write("admin.txt", "");  // the editing panel, for Data.htm
    TinyHttp server;
    std::string update = "<data>\r\n";
    catalogue::AppendEncodedLine(update, "New Channel", "http://127.0.0.1/new", "TV", "English");
    update += "</data>\r\n";
    server.route("/TV/Data.htm", 200, "<html>" + update + "</html>");

    const std::vector<Writer> writers = {
        {"favourites", "Favorites.txt", OneFavourite(),
         [](Form1& f) {
             f.cmdTV_Click();
             f.ListView1->selectRow(0);
             f.cmdFav_Click();
         },
         true},
        {"catalogue update", "Data.txt", SampleCatalogue(), [](Form1& f) { f.mnuFileItem_Click(0); }, true},
        {"update document", "Data.htm", "<data>\r\nold document\r\n</data>\r\n", [](Form1& f) { f.save_Click(); },
         true},
        {"settings", settings::StoreFile("Marlu Viewer"), "",
         [](Form1& f) {
             f.Combo1->setEditText(QStringLiteral("French"));
             f.Combo1_Click();
         },
         true},
        {"reference localisation", "Localization.xml", "<old reference file/>\r\n",
         [](Form1& f) {
             localisation::QtWindow w(&f);
             EXPECT_FALSE(modLanguages::LangEngine.makeLocalizationFile({&w}));  // reports nothing, as designed
         },
         false},
    };

    for (const Writer& w : writers) {
        for (WriteStep step : kSteps) {
            SCOPED_TRACE(std::string(w.name) + ", step " + std::to_string(static_cast<int>(step)));
            Form1& f = Start();
            modPrivateLabel::UpdateHost = "127.0.0.1:" + std::to_string(server.port());
            const std::filesystem::path file = w.file.is_absolute() ? w.file : program.path() / w.file;
            std::string before = w.before;
            if (before.empty()) {  // the settings file as the window left it
                before = program.read(file.string());
            } else {
                std::filesystem::create_directories(file.parent_path());
                program.write(file.string(), before);
            }
            ModalWatcher watcher;
            base::InjectWriteFailure(step);
            w.act(f);
            base::InjectWriteFailure(std::nullopt);
            EXPECT_EQ(program.read(file.string()), before);
            EXPECT_TRUE(Temporaries(program.path()).empty());
            EXPECT_TRUE(Temporaries(home.path()).empty());
            if (w.tellsUser) {
                EXPECT_EQ(watcher.texts().size(), 1);
                for (const QString& text : watcher.texts()) EXPECT_TRUE(text.contains(QStringLiteral("not")));
            }
            form.reset();
        }
    }
}

// A program folder the user may not write, as on a shared installation: a real read-only
// folder for an ordinary user (root writes anyway, so root runs it through the fault hook).
TEST_F(FileSafety, AReadOnlyProgramFolderStillStartsPlaysAndBrowses) {
    program.write("Favorites.txt", OneFavourite());
    MakeProgramFolderReadOnly();

    Form1& f = Start();
    EXPECT_EQ(f.ListView1->rowCount(), 3);  // the catalogue loads
    EXPECT_EQ(f.ListView2->rowCount(), 1);  // and the favourites
    f.ListView1->selectRow(0);
    f.ListView1_Click();
    EXPECT_FALSE(f.WindowsMediaPlayer1->url().isEmpty());  // playing is not writing
    f.cmdFiles_Click();
    f.Dir1->setPath(ToQt(program.path().string()));
    EXPECT_TRUE(f.Frame4->isVisible());

    // A new favourite is saved in the user's own copy; the program folder is left alone.
    ModalWatcher watcher;
    f.cmdTV_Click();
    f.ListView1->selectRow(1);
    f.cmdFav_Click();
    EXPECT_TRUE(watcher.texts().isEmpty());
    EXPECT_EQ(program.read("Favorites.txt"), OneFavourite());
    EXPECT_EQ(f.ListView2->rowCount(), 2);
    const auto own = base::ReadFileCapped(program_files::UserDataFolder() / "Favorites.txt", 1 << 20);
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(catalogue::ParseFavorites(*own).size(), 2u);
}

TEST_F(FileSafety, AReadOnlyProgramFolderNeverReplacesTheUsersFavoritesWithItsNewerCopy) {
    // The user's own list, then a newer Favorites.txt beside the program (a package, another
    // installation): the user's list is the one shown, and a save keeps every entry of it.
    std::string mine;
    catalogue::AppendEncodedLine(mine, "My First", "http://127.0.0.1/first", "TV", "English");
    catalogue::AppendEncodedLine(mine, "My Second", "http://127.0.0.1/second", "Radio", "English");
    const std::filesystem::path own = program_files::UserDataFolder() / "Favorites.txt";
    std::filesystem::create_directories(own.parent_path());
    TempDir::write_to(own, mine);
    std::filesystem::last_write_time(own, std::filesystem::file_time_type::clock::now() - std::chrono::hours(24));
    program.write("Favorites.txt", OneFavourite());
    MakeProgramFolderReadOnly();

    Form1& f = Start();
    ASSERT_EQ(Column(f.ListView2, 0), (std::vector<std::string>{"My First", "My Second"}));
    f.ListView1->selectRow(0);
    f.cmdFav_Click();
    const auto saved = base::ReadFileCapped(own, 1 << 20);
    ASSERT_TRUE(saved.has_value());
    std::vector<std::string> names;
    for (const auto& entry : catalogue::ParseFavorites(*saved)) names.push_back(entry.name);
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(names.at(0), "My First");
    EXPECT_EQ(names.at(1), "My Second");
    EXPECT_EQ(program.read("Favorites.txt"), OneFavourite());  // the program folder's copy stays as it was
}

TEST_F(FileSafety, AReadOnlyProgramFolderSendsDataHtmToTheUsersFolderAndSaysWhere) {
    program.write("admin.txt", "");
    MakeProgramFolderReadOnly();
    Form1& f = Start();
    f.doLoad_Click();
    ModalWatcher watcher;
    f.save_Click();
    const std::filesystem::path own = program_files::UserDataFolder() / "Data.htm";
    EXPECT_TRUE(std::filesystem::exists(own));
    EXPECT_FALSE(std::filesystem::exists(program / "Data.htm"));
    ASSERT_EQ(watcher.texts().size(), 1);
    EXPECT_TRUE(watcher.texts()[0].contains(QString::fromStdString(own.string()))) << watcher.texts()[0].toStdString();
}

// Another program holds the settings' lock (here a descriptor of our own, which the lock tells
// from ours as it would another process's): the window waits a moment at most, keeps the change,
// says why it is not saved yet, and writes it once the lock is free.
TEST_F(FileSafety, ASettingsFileLockedByAnotherProgramNeitherFreezesTheWindowNorLosesTheChange) {
    Form1& f = Start();
    ModalWatcher watcher;
    const std::filesystem::path store = settings::StoreFile(settings_keys::AppName());
    std::filesystem::create_directories(store.parent_path());
    auto held = std::make_unique<base::FileLock>(std::filesystem::path(store).concat(".lock"), std::chrono::seconds(1));
    ASSERT_TRUE(held->locked());
    test_support::LongestGap gap;
    for (int i = 0; i < 5; ++i) {
        f.saveSetting(settings_keys::kGuideAddress, "http://guide.example/" + std::to_string(i) + ".xml");
        QTest::qWait(20);
    }
    gap.stop();
    EXPECT_LT(gap.ms(), 200) << "the window's thread waited on the lock";
    ASSERT_EQ(watcher.texts().size(), 1) << "told once";
    EXPECT_TRUE(watcher.texts()[0].contains(QStringLiteral("locked by another program")));
    EXPECT_EQ(f.guideAddress(), QStringLiteral("http://guide.example/4.xml")) << "the change holds meanwhile";
    const auto onDisk = [&] { return base::ReadFileCapped(store, 1 << 20).value_or(""); };
    EXPECT_EQ(onDisk().find("guide.example"), std::string::npos);
    held.reset();
    EXPECT_TRUE(
        test_support::WaitFor([&] { return onDisk().find("http://guide.example/4.xml") != std::string::npos; }, 3000));
    EXPECT_FALSE(settings::HasPending());
}

// A web source removed while its refresh is still out, and another added meanwhile: the late
// refresh must not land on the newcomer (it once took the same id, and the late answer replaced
// its address and channels with the removed one's).
TEST(SourceShelfSafety, ASourceRemovedWhileItRefreshesNeverComesBackUnderTheNextOne) {
    using test_support::WaitFor;
    TinyHttp server;
    const std::string removed = "#EXTM3U\n#EXTINF:-1,Removed One\nhttp://example.com/r.ts\n";
    server.route("/removed.m3u", 200, removed);
    TempDir dir;
    dir.write("kept.m3u", "#EXTM3U\n#EXTINF:-1,Kept One\nhttp://example.com/k.ts\n");
    SourceShelf shelf;
    QStringList added;
    QObject::connect(&shelf, &SourceShelf::added, [&](const QString& id, auto) { added << id; });
    shelf.add(QString::fromStdString(server.url("/removed.m3u")));
    ASSERT_TRUE(WaitFor([&] { return added.size() == 1; }, 10000));
    const std::string first = FromQt(added[0]);

    server.slow("/removed.m3u", removed, 16, 100);  // its refresh takes about a second
    shelf.refresh(first, true);
    ASSERT_TRUE(shelf.busy(first));
    ASSERT_TRUE(shelf.remove(first));
    shelf.add(QString::fromStdString((dir / "kept.m3u").string()));
    ASSERT_TRUE(WaitFor([&] { return added.size() == 2; }, 10000));
    EXPECT_NE(FromQt(added[1]), first) << "an id with work out is not given again";
    ASSERT_TRUE(WaitFor([&] { return !shelf.busy(first); }, 10000));
    QTest::qWait(50);
    ASSERT_EQ(shelf.list().size(), 1u);
    EXPECT_EQ(shelf.list()[0].origin, (dir / "kept.m3u").string());
    const auto copy = base::ReadFileCapped(sources::CopyPath(shelf.list()[0]), 1 << 20);
    EXPECT_NE(copy.value_or("").find("Kept One"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(sources::CopyPath({first, {}, {}, {}, {}, 0, {}, {}, {}})));
}
