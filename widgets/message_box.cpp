#include "widgets/message_box.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "base/app.h"
#include "base/private_label.h"
#include "widgets/qt_text.h"
#include "widgets/texts.h"

namespace {
QString Title() {
    const std::string& title =
        modPrivateLabel::ProgramName.empty() ? App::Info().productName : modPrivateLabel::ProgramName;
    return ToQt(title);
}
}  // namespace

void SayButtons(QMessageBox* box) {
    const std::pair<QMessageBox::StandardButton, const char*> kButtons[] = {
        {QMessageBox::Ok, "MSG_OK"}, {QMessageBox::Yes, "MSG_YES"}, {QMessageBox::No, "MSG_NO"}};
    for (const auto& [which, key] : kButtons)
        if (QAbstractButton* button = box->button(which)) button->setText(Msg(key));
}

void ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, Title(), text, QMessageBox::Ok, parent);
    SayButtons(&box);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, Title(), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    SayButtons(&box);
    return box.exec() == QMessageBox::Yes;
}

QString AskText(QWidget* parent, const QString& title, const QString& label, const QString& text, bool* ok) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(text);
    dialog.setOkButtonText(Msg("MSG_OK"));
    dialog.setCancelButtonText(Msg("MSG_CANCEL"));
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (ok) *ok = accepted;
    return accepted ? dialog.textValue() : QString();
}
