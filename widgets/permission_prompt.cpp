#include "widgets/permission_prompt.h"

#include <QApplication>
#include <QMessageBox>

#include "services/machine_settings.h"
#include "widgets/qt_text.h"

namespace {

// The box belongs to a window of the program (the active one, else the first one shown: the
// splash during start-up), never to none, so that closing it cannot leave the program without
// a window.
QWidget* OwnerWindow() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isWindow() && !qobject_cast<QMessageBox*>(w)) return w;
    return nullptr;
}

}  // namespace

void InstallPermissionPrompt() {
    machine_settings::SetPermissionPrompt([](const std::string& title, const std::string& text) {
        QMessageBox box(QMessageBox::Warning, ToQt(title), ToQt(text),
                        QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, OwnerWindow());
        box.setObjectName(QStringLiteral("permissionDenied"));
        switch (box.exec()) {
            case QMessageBox::Retry: return machine_settings::PermissionAnswer::Retry;
            case QMessageBox::Ignore: return machine_settings::PermissionAnswer::Ignore;
            default: return machine_settings::PermissionAnswer::Abort;
        }
    });
}
