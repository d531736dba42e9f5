#include "widgets/message_box.h"

#include <QMessageBox>

#include "base/app.h"
#include "base/private_label.h"
#include "widgets/qt_text.h"

void ShowMessage(QWidget* parent, const QString& text) {
    const std::string& title =
        modPrivateLabel::ProgramName.empty() ? App::Info().productName : modPrivateLabel::ProgramName;
    QMessageBox box(QMessageBox::NoIcon, ToQt(title), text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text) {
    const std::string& title =
        modPrivateLabel::ProgramName.empty() ? App::Info().productName : modPrivateLabel::ProgramName;
    QMessageBox box(QMessageBox::Question, ToQt(title), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
