#include "viewer/message_box.h"

#include <QMessageBox>

#include "appearance/private_label.h"
#include "services/app.h"
#include "viewer/qt_text.h"

void ShowMessage(QWidget* parent, const QString& text) {
    const std::string& title =
        modPrivateLabel::ProgramName.empty() ? App::Info().productName : modPrivateLabel::ProgramName;
    QMessageBox box(QMessageBox::NoIcon, ToQt(title), text, QMessageBox::Ok, parent);
    box.exec();
}
