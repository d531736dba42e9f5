// The viewer's executable: configures the application object and opens the main window.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <memory>
#include <string_view>

#include "app/color_scheme.h"
#include "app/command_line.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "app/startup_probe.h"
#include "base/app.h"
#include "base/process_memory.h"
#include "base/vb_error.h"
#include "localisation/languages.h"
#include "registry/hives.h"
#include "services/fetch.h"
#include "services/settings.h"
#include "services/settings_keys.h"
#include "widgets/gui_resources.h"
#include "widgets/message_box.h"
#include "widgets/permission_prompt.h"
#include "widgets/qt_text.h"
#include "widgets/window_icon.h"
#include "windows/main_window.h"
#include "windows/splash_window.h"

int main(int argc, char** argv) {
    base::KeepFreedMemoryForReuse();  // before any thread starts
    // The command line first: --help and --version need no window, and no display.
    AppInfo info = App::BuildInfo();
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine =
        ParseCommandLine(arguments, QString::fromStdString(info.productName),
                         QStringLiteral("%1.%2.%3").arg(info.major).arg(info.minor).arg(info.revision));
    if (commandLine.exit) {
        std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
        std::fputs(commandLine.errors.toLocal8Bit().constData(), stderr);
        return commandLine.exitCode;
    }

    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // the media player refuses other numeric locales
    InitGuiResources();
    // The program's icon in every size the desktop asks for: what a window without an icon of
    // its own shows in its title bar.
    application.setWindowIcon(modIcon::LoadIconResource(QStringLiteral("AAA")));

    info.path = App::ExecutableFolder();
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString product = QString::fromStdString(info.productName);
    info.prevInstance = single_instance::AnotherInstanceRunning(programFolder, product);
    // A second start hands its command line to the running instance, which comes to the front,
    // and ends without a window of its own. Should the running one not answer, the start goes
    // on as designed: its main window sees the previous instance and ends the program.
    if (info.prevInstance && single_instance::HandOver(programFolder, product, commandLine.media)) return 0;
    App::Configure(info);
    application.setApplicationName(QString::fromStdString(info.productName));

    // The program ends when the main window closes (or its start-up ends it), never because a
    // message box closed while the splash was the only other window.
    application.setQuitOnLastWindowClosed(false);
    InstallPermissionPrompt();
    // A damaged or locked settings hive is told once, after the event loop runs, so that a
    // read in the middle of a window's loading is not held up by the box.
    hives::SetProblemReporter([](const std::string& text) {
        QTimer::singleShot(0, qApp, [message = QString::fromStdString(text)] { ShowMessage(nullptr, message); });
    });
    RemoveLeftoverTemporaries();
    ChooseCodePage();  // before any file of ours is read
    modLanguages::RegisterMessages();
    // Page downloads keep the window repainting.
    SetFetchEventPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });

    // A language named on the command line is saved, so the main window starts in it.
    if (!commandLine.language.isEmpty()) {
        try {
            SaveSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kLanguage,
                        FromQt(commandLine.language));
        } catch (const VbError& e) {
            const std::string_view why = e.what();
            std::fprintf(stderr, "The language could not be saved: %s.\n",
                         why == settings::kLockedStore       ? "the settings file is locked by another program"
                         : why == settings::kUnreadableStore ? "the settings file cannot be read"
                                                             : "the settings file is not writable");
        }
    }

    // The program starts with the splash window; when its time is up the main window opens,
    // and plays what the command line named.
    frmSplash splash;
    StartUp startUp(&splash);
    // The first instance listens for later starts (a second one that got no answer does not).
    std::unique_ptr<single_instance::HandOverServer> handOvers;
    if (!info.prevInstance) {
        handOvers = std::make_unique<single_instance::HandOverServer>(programFolder, product);
        QObject::connect(handOvers.get(), &single_instance::HandOverServer::handedOver, &startUp,
                         &StartUp::takeHandOver);
    }
    if (!commandLine.media.isEmpty())
        QObject::connect(&startUp, &StartUp::handedOver,
                         [&startUp, media = commandLine.media] { startUp.mainWindow()->OpenMedia(media); });
    try {
        splash.Form_Load();
    } catch (const VbError& e) {
        // Start-up goes no further, as an unhandled error in the load handler ends it.
        QMessageBox::critical(
            nullptr, QString::fromStdString(info.productName),
            QStringLiteral("Run-time error '%1':\n\n%2").arg(e.number).arg(QString::fromUtf8(e.what())));
        return 1;
    }
    // The colours: the desktop's light or dark (the private label and its skin are known now).
    std::string colours;
    try {
        colours = GetSetting(settings_keys::AppName(), settings_keys::kSection, settings_keys::kColorScheme, "");
    } catch (const VbError&) {
        // A value that is not text: the desktop's preference.
    }
    color_scheme::DesktopScheme desktopColours(QString::fromStdString(colours));
    if (!splash.hiddenByChoice()) splash.show();
    if (startup_probe::Requested()) startup_probe::Start();
    return application.exec();
}
