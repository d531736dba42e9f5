// The viewer's executable: configures the application object and opens the main window.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <clocale>

#include "app/single_instance.h"
#include "app/startup.h"
#include "app/startup_probe.h"
#include "base/app.h"
#include "base/vb_error.h"
#include "localisation/languages.h"
#include "services/fetch.h"
#include "widgets/gui_resources.h"
#include "widgets/permission_prompt.h"
#include "windows/splash_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // the media player refuses other numeric locales
    InitGuiResources();
    application.setWindowIcon(QIcon(QStringLiteral(":/icons/app.ico")));

    AppInfo info = App::BuildInfo();
    info.path = App::ExecutableFolder();
    info.prevInstance = single_instance::AnotherInstanceRunning(QCoreApplication::applicationDirPath(),
                                                                QString::fromStdString(info.productName));
    App::Configure(info);
    application.setApplicationName(QString::fromStdString(info.productName));

    // The program ends when the main window closes (or its start-up ends it), never because a
    // message box closed while the splash was the only other window.
    application.setQuitOnLastWindowClosed(false);
    InstallPermissionPrompt();
    modLanguages::RegisterMessages();
    // Page downloads keep the window repainting.
    SetFetchEventPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });

    // The program starts with the splash window; when its time is up the main window opens.
    frmSplash splash;
    StartUp startUp(&splash);
    try {
        splash.Form_Load();
    } catch (const VbError& e) {
        // Start-up goes no further, as an unhandled error in the load handler ends it.
        QMessageBox::critical(
            nullptr, QString::fromStdString(info.productName),
            QStringLiteral("Run-time error '%1':\n\n%2").arg(e.number).arg(QString::fromUtf8(e.what())));
        return 1;
    }
    if (!splash.hiddenByChoice()) splash.show();
    if (startup_probe::Requested()) startup_probe::Start();
    return application.exec();
}
