// Start-up as the program composes it: the splash window, then the main window at its 75th
// tick, and the main window's close-down taking the splash and the other windows with it.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAction>
#include <QElapsedTimer>
#include <QPointer>
#include <filesystem>

#include <QMessageBox>
#include "app/single_instance.h"
#include "app/startup.h"
#include "base/file_io.h"
#include "base/program_files.h"
#include "base/vb_error.h"
#include "player/player_pane.h"
#include "registry/hives.h"
#include "registry/registry_access.h"
#include "services/machine_settings.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "support/modal_watcher.h"
#include "support/wait_for.h"
#include "widgets/coarse_timer.h"
#include "widgets/permission_prompt.h"
#include "widgets/shell.h"
#include "windows/about_window.h"
#include "windows/language_window.h"
#include "windows/main_window_fixture.h"
#include "windows/splash_window.h"

using test_support::WaitFor;

namespace {

class StartUpTest : public test::MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        SetHiveFolders(hives / "machine", hives / "user");
    }
    void TearDown() override {
        if (frmAbout* about = frmAbout::Loaded()) delete about;
        MainWindow::TearDown();
    }
    static int MainWindows() {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<Form1*>(w)) ++n;
        return n;
    }
    static void SetChkSplash(const char* value) {
        clsRegistryAccess reg;
        reg.WriteString("HKLM\\SOFTWARE\\Marlu\\Marlu Viewer\\Settings", "chkSplash", value);
    }

    TempDir hives, dir;
};

}  // namespace

TEST_F(StartUpTest, SplashHandsOverToTheMainWindowExactlyOnceAfter75CoarseTicks) {
    EXPECT_EQ(CoarseTimer(2, [] {}).effectiveIntervalMs(), 16);  // 2 ms tick at the 15.6 ms pace
    frmSplash splash;
    StartUp startUp(&splash);
    QElapsedTimer clock;
    clock.start();
    splash.Form_Load();
    splash.show();
    EXPECT_FALSE(splash.hiddenByChoice());
    ASSERT_TRUE(WaitFor([&] { return startUp.mainWindow() != nullptr; }, 5000));
    EXPECT_GE(clock.elapsed(), 1000);  // about 1.2 s, not 0.15 s
    EXPECT_EQ(splash.intTemp, 150);
    EXPECT_FALSE(splash.timerEnabled());
    EXPECT_TRUE(startUp.mainWindow()->isVisible());
    EXPECT_FALSE(splash.isVisible());
    QTest::qWait(100);
    EXPECT_EQ(MainWindows(), 1);
    EXPECT_EQ(splash.intTemp, 150);
}

TEST_F(StartUpTest, ChkSplashOneHidesTheSplashButTheMainWindowStillComes) {
    SetChkSplash("1");
    frmSplash splash;
    StartUp startUp(&splash);
    splash.Form_Load();
    EXPECT_TRUE(splash.hiddenByChoice());
    EXPECT_FALSE(splash.isVisible());
    ASSERT_TRUE(WaitFor([&] { return startUp.mainWindow() && startUp.mainWindow()->isVisible(); }, 5000));
    for (const char* value : {"true", "01", "0", ""}) {
        SetChkSplash(value);
        frmSplash other;
        other.Form_Load();
        EXPECT_FALSE(other.hiddenByChoice()) << value;
    }
}

TEST_F(StartUpTest, ANonStringChkSplashStopsStartUp) {
    clsRegistryAccess reg;
    reg.WriteDWORD("HKLM\\SOFTWARE\\Marlu\\Marlu Viewer\\Settings", "chkSplash", 1);
    frmSplash splash;
    StartUp startUp(&splash);
    EXPECT_THROW(splash.Form_Load(), VbError);
    EXPECT_FALSE(splash.timerEnabled());
    QTest::qWait(50);
    EXPECT_EQ(startUp.mainWindow(), nullptr);
}

TEST_F(StartUpTest, ClosingTheMainWindowClosesTheAboutLanguageAndSplashWindows) {
    frmSplash* splash = new frmSplash;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    StartUp startUp(splash);
    splash->Form_Load();
    ASSERT_TRUE(WaitFor([&] { return startUp.mainWindow() != nullptr; }, 5000));
    QPointer<frmSplash> watch(splash);
    frmAbout::Show();
    startUp.mainWindow()->mnuLanguageItem[0]->trigger();
    ASSERT_NE(frmLanguage::Loaded(), nullptr);
    startUp.mainWindow()->close();
    QTest::qWait(20);
    EXPECT_EQ(frmAbout::Loaded(), nullptr);
    EXPECT_EQ(frmLanguage::Loaded(), nullptr);
    EXPECT_TRUE(watch.isNull());
}

#ifndef _WIN32  // unwritable hives are made from their folders here
// The first start opens the help once the main window is up (the desktop is asked for a viewer
// without waiting), so the box about the machine-wide setting it records belongs to that window.
TEST_F(StartUpTest, ABoxAtTheFirstStartBelongsToTheWindowOnShowAndClosingItDoesNotStopStartUp) {
    dir.write("blocked", "a file");  // neither the machine's nor the user's hive can be written
    SetHiveFolders(dir / "blocked" / "machine", dir / "blocked" / "user");
    program.write("Help.chm", "help");  // the first start opens the help and records that machine-wide
    shell::SetOpenerForTests([](const QString&) {});
    InstallPermissionPrompt();
    frmSplash splash;
    splash.show();
    StartUp startUp(&splash);
    ModalWatcher watcher(QMessageBox::Abort);
    splash.Form_Load();
    ASSERT_TRUE(WaitFor([&] { return startUp.mainWindow() && startUp.mainWindow()->isVisible(); }, 5000));
    ASSERT_TRUE(WaitFor([&] { return !watcher.titles().isEmpty(); }, 5000));
    shell::SetOpenerForTests({});
    machine_settings::SetPermissionPrompt({});
    ASSERT_EQ(watcher.titles(), QStringList{QStringLiteral("Permission Denied")});
    EXPECT_EQ(watcher.owners(), QStringList{QStringLiteral("Form1")});
    EXPECT_TRUE(startUp.mainWindow()->loaded());
}
#endif

// A kill during a save leaves its temporary file behind; the next start clears such leftovers
// from every folder the program writes.
TEST_F(StartUpTest, LeftoverTemporariesAreRemovedAtStart) {
    const std::filesystem::path folders[] = {program.path(), program_files::UserDataFolder(),
                                             settings::StoreFile(settings_keys::AppName()).parent_path()};
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(5);
    std::vector<std::filesystem::path> planted;
    for (const auto& folder : folders) {
        std::filesystem::create_directories(folder);
        planted.push_back(folder / "Favorites.txt.00112233aabbccdd.tmp");
        ASSERT_TRUE(base::ReplaceFileAtomically(planted.back(), "half a file"));
        std::filesystem::last_write_time(planted.back(), old);
    }
    RemoveLeftoverTemporaries();
    for (const auto& file : planted) EXPECT_FALSE(std::filesystem::exists(file)) << file;
    EXPECT_TRUE(std::filesystem::exists(program.path() / "Data.txt"));
}

namespace {
// The hand-over's lock and socket in a runtime folder of the test's own, for its length.
class ScopedRuntimeFolder {
public:
    ScopedRuntimeFolder() : m_saved(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_folder.path().string()));
    }
    ~ScopedRuntimeFolder() {
        if (m_saved.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", m_saved);
    }

private:
    TempDir m_folder;
    QByteArray m_saved;
};
}  // namespace

// A second start hands over what it names; the running main window comes to the front and
// plays it. One that arrives before the main window is up waits for it.
TEST_F(StartUpTest, ASecondStartHandsItsAddressToTheRunningWindow) {
    const ScopedRuntimeFolder runtime;
    const QString folder = QString::fromStdString(program.path().string());
    single_instance::HandOverServer server(folder, QStringLiteral("Marlu Viewer"));
    ASSERT_TRUE(server.listening());
    frmSplash splash;
    StartUp startUp(&splash);
    QObject::connect(&server, &single_instance::HandOverServer::handedOver, &startUp, &StartUp::takeHandOver);

    ASSERT_TRUE(
        single_instance::HandOver(folder, QStringLiteral("Marlu Viewer"), QStringLiteral("http://127.0.0.1:9/early")));
    QTest::qWait(100);  // handed over while the splash still shows
    splash.Form_Load();
    splash.show();
    ASSERT_TRUE(WaitFor([&] { return startUp.mainWindow() && startUp.mainWindow()->isVisible(); }, 5000));
    EXPECT_TRUE(WaitFor(
        [&] { return startUp.mainWindow()->WindowsMediaPlayer1->url() == QStringLiteral("http://127.0.0.1:9/early"); },
        2000));

    program.write("clip.mp3", "x");
    ASSERT_TRUE(single_instance::HandOver(folder, QStringLiteral("Marlu Viewer"),
                                          QString::fromStdString((program / "clip.mp3").string())));
    EXPECT_TRUE(WaitFor(
        [&] { return startUp.mainWindow()->WindowsMediaPlayer1->url().endsWith(QStringLiteral("clip.mp3")); }, 2000));
    EXPECT_FALSE(single_instance::HandOver(QStringLiteral("/no/such/program"), QStringLiteral("Marlu Viewer"), {}));
}

// Idle connections to the hand-over socket (only the user's own programs can make them) are few
// at a time and closed after a few seconds; a real second start is still heard.
TEST_F(StartUpTest, IdleHandOverConnectionsAreCappedAndClosed) {
    const ScopedRuntimeFolder runtime;
    const QString folder = QString::fromStdString(program.path().string());
    single_instance::HandOverServer server(folder, QStringLiteral("Marlu Viewer"));
    ASSERT_TRUE(server.listening());
    QStringList heard;
    QObject::connect(&server, &single_instance::HandOverServer::handedOver, [&](const QString& m) { heard << m; });
    const auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = descriptors();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = server.socketPath().toStdString();
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    std::vector<int> idle;
    for (int i = 0; i < 3000; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            idle.push_back(fd);
        else
            ::close(fd);
        if (i % 20 == 0) QCoreApplication::processEvents();
    }
    QTest::qWait(100);
    EXPECT_GT(idle.size(), 100u);
    EXPECT_LE(descriptors(), before + static_cast<long>(idle.size()) + 8 + 4) << "the server holds at most 8";
    QTest::qWait(5300);
    std::size_t open = 0;
    for (const int fd : idle) {
        char c;
        if (::recv(fd, &c, 1, MSG_DONTWAIT) != 0) ++open;  // 0: closed by the server
        ::close(fd);
    }
    EXPECT_EQ(open, 0u);
    QTest::qWait(50);
    ASSERT_TRUE(single_instance::HandOver(folder, QStringLiteral("Marlu Viewer"), QStringLiteral("http://a/after")));
    EXPECT_TRUE(WaitFor([&] { return heard.contains(QStringLiteral("http://a/after")); }, 2000));
}
