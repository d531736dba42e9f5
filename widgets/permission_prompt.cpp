#include "widgets/permission_prompt.h"

#include <QApplication>
#include <QMessageBox>

#include "services/machine_settings.h"
#include "widgets/qt_text.h"

void InstallPermissionPrompt() {
    machine_settings::SetPermissionPrompt([](const std::string& title, const std::string& text) {
        QMessageBox box(QMessageBox::Warning, ToQt(title), ToQt(text),
                        QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QApplication::activeWindow());
        box.setObjectName(QStringLiteral("permissionDenied"));
        switch (box.exec()) {
            case QMessageBox::Retry: return machine_settings::PermissionAnswer::Retry;
            case QMessageBox::Ignore: return machine_settings::PermissionAnswer::Ignore;
            default: return machine_settings::PermissionAnswer::Abort;
        }
    });
}
