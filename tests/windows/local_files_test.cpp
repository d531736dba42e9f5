// The local-files browser.
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QToolButton>

#include "player/player_pane.h"
#include "services/settings.h"
#include "support/wait_for.h"
#include "widgets/file_browser.h"
#include "windows/main_window_fixture.h"

namespace {
// The file list's names once its listing has come in.
QStringList Items(const FileListBox* list) {
    EXPECT_TRUE(test_support::WaitFor([&] { return !list->filling(); }, 10000));
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}
}  // namespace

TEST_F(MainWindow, FileListShowsOnlyMediaFilesAndAClickPlaysTheFile) {
    TempDir media;
    for (const char* name : {"b.MP3", "a.wav", "notes.txt", "clip.Mov", "c.mp3.bak"}) media.write(name, "x");
    std::filesystem::create_directory(media / "sub");
    Form1& f = Start();
    QTest::mouseClick(f.cmdFiles, Qt::LeftButton);
    EXPECT_TRUE(f.Frame4->isVisible());
    EXPECT_FALSE(f.Frame1->isVisible());
    ASSERT_TRUE(f.Dir1->setPath(QString::fromStdString(media.path().string())));
    EXPECT_EQ(Items(f.File1), L({"a.wav", "b.MP3", "clip.Mov"}));
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "Dir", ""), media.path().string());
    f.File1->setCurrentRow(1);
    f.File1_Click();
    EXPECT_EQ(f.WindowsMediaPlayer1->url(), QString::fromStdString((media / "b.MP3").string()));
}

TEST_F(MainWindow, DriveAndFolderComeBackAtTheNextStart) {
    TempDir media;
    std::filesystem::create_directory(media / "music");
    media.write("music/tune.mp3", "x");
    const QString folder = QString::fromStdString((media / "music").string());
    {
        Form1& f = Start();
        ASSERT_TRUE(f.Drive1->setDrive(QDir::rootPath()));  // the drive shown: nothing changes
        EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "Drive", ""), "");
        ASSERT_TRUE(f.Dir1->setPath(folder));  // the folder the user opens is kept
    }
    Form1& f = Start();
    EXPECT_EQ(f.Drive1->drive(), QDir::rootPath());
    EXPECT_EQ(f.Dir1->path(), folder);
    EXPECT_EQ(f.File1->path(), folder);
    EXPECT_EQ(Items(f.File1), L({"tune.mp3"}));
    f.cmdTV_Click();
    f.cmdFiles_Click();  // switching away and back keeps the place
    EXPECT_EQ(f.Dir1->path(), folder);
}

TEST_F(MainWindow, MissingDriveAndFolderAreIgnoredAtStart) {
    SaveSetting("Marlu Viewer", "Settings", "Drive", "/no/such/drive");
    SaveSetting("Marlu Viewer", "Settings", "Dir", "/no/such/folder");
    const QString before = DirListBox().path();
    Form1& f = Start();
    EXPECT_EQ(f.Dir1->path(), before);
    EXPECT_NE(f.Drive1->drive(), QStringLiteral("/no/such/drive"));
}

// A folder of many files is listed on a worker: setting the folder returns at once with the
// list still empty, and the names arrive together a moment later.
TEST_F(MainWindow, AFolderOfManyFilesIsListedWithoutHoldingUpTheWindow) {
    TempDir media;
    for (int i = 0; i < 5000; ++i) media.write("track" + std::to_string(i) + ".mp3", "");
    media.write("notes.txt", "");
    Form1& f = Start();
    const QString folder = QString::fromStdString(media.path().string());
    QSignalSpy filled(f.File1, &FileListBox::filled);
    ASSERT_TRUE(f.File1->setPath(folder));
    EXPECT_EQ(f.File1->count(), 0);  // nothing is listed inside the call
    const QStringList names = Items(f.File1);
    EXPECT_EQ(names.size(), 5000);
    EXPECT_EQ(names.front(), QStringLiteral("track0.mp3"));
    EXPECT_FALSE(names.contains(QStringLiteral("notes.txt")));
    // A newer folder replaces a listing still under way: only its names arrive.
    TempDir other;
    other.write("only.mp3", "");
    ASSERT_TRUE(f.File1->setPath(folder));
    ASSERT_TRUE(f.File1->setPath(QString::fromStdString(other.path().string())));
    EXPECT_EQ(Items(f.File1), L({"only.mp3"}));
    QTest::qWait(100);
    EXPECT_EQ(f.File1->count(), 1);
}

// Re-picking the drive shown changes nothing; a real change of drive goes to that drive's
// last folder in this run, and back again.
TEST_F(MainWindow, OnlyARealChangeOfDriveMovesTheFolderList) {
    TempDir media;
    const QString folder = QString::fromStdString(media.path().string());
    Form1& f = Start();
    ASSERT_TRUE(f.Dir1->setPath(folder));
    const QString drive = QStorageInfo(folder).rootPath();
    ASSERT_TRUE(f.Drive1->setDrive(drive));
    EXPECT_EQ(f.Dir1->path(), folder) << "the drive shown was set again";
    f.Drive1->setCurrentIndex(f.Drive1->findText(drive));
    emit f.Drive1->activated(f.Drive1->currentIndex());  // the user picks the same drive
    EXPECT_EQ(f.Dir1->path(), folder);
    EXPECT_EQ(GetSetting("Marlu Viewer", "Settings", "Dir", ""), media.path().string());

    int other = -1;
    for (int i = 0; i < f.Drive1->count(); ++i)
        if (f.Drive1->itemText(i) != drive && QFileInfo(f.Drive1->itemText(i)).isReadable()) other = i;
    if (other < 0) GTEST_SKIP() << "one drive only";
    f.Drive1->setCurrentIndex(other);
    emit f.Drive1->activated(other);
    EXPECT_EQ(f.Dir1->path(), QDir::cleanPath(f.Drive1->itemText(other)));
    f.Drive1->setCurrentIndex(f.Drive1->findText(drive));
    emit f.Drive1->activated(f.Drive1->currentIndex());
    EXPECT_EQ(f.Dir1->path(), folder);  // the last folder used on that drive
}

TEST_F(MainWindow, HiddenFilesAndFoldersAreNotListed) {
    TempDir media;
    media.write("song.mp3", "x");
    media.write(".secret.mp3", "x");
    std::filesystem::create_directory(media / ".config");
    std::filesystem::create_directory(media / "Albums");
    Form1& f = Start();
    ASSERT_TRUE(f.Dir1->setPath(QString::fromStdString(media.path().string())));
    EXPECT_EQ(Items(f.File1), L({"song.mp3"}));
    QStringList folders;
    for (int i = 0; i < f.Dir1->count(); ++i) folders << f.Dir1->item(i)->text().trimmed();
    EXPECT_TRUE(folders.contains(QStringLiteral("Albums")));
    EXPECT_FALSE(folders.contains(QStringLiteral(".config")));
}
