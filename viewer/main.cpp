// The viewer's executable: configures the application object and opens the main window.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QScreen>
#include <clocale>

#include "appearance/private_label.h"
#include "services/app.h"
#include "services/fetch.h"
#include "viewer/gui_resources.h"
#include "viewer/main_window.h"
#include "viewer/permission_prompt.h"
#include "viewer/single_instance.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // the media player refuses other numeric locales
    InitGuiResources();
    application.setWindowIcon(QIcon(QStringLiteral(":/icons/app.ico")));

    AppInfo info = App::BuildInfo();
    info.path = QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString();
    info.prevInstance = single_instance::AnotherInstanceRunning(QCoreApplication::applicationDirPath(),
                                                                QString::fromStdString(info.productName));
    App::Configure(info);
    application.setApplicationName(QString::fromStdString(info.productName));

    modPrivateLabel::LoadPrivateLabel();
    InstallPermissionPrompt();
    // Page downloads keep the window repainting.
    SetFetchEventPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });

    Form1 form;
    form.Form_Load();
    if (form.endedAtStart()) return 0;
    if (const QScreen* screen = application.primaryScreen()) {
        QRect frame = form.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form.move(frame.topLeft());
    }
    form.show();
    return application.exec();
}
