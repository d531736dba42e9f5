#include "widgets/message_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
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

bool AskAccount(QWidget* parent, AccountAnswer& answer) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgAccount"));
    dialog.setWindowTitle(Msg("MSG_ADDACCOUNT"));
    auto* form = new QFormLayout(&dialog);
    const auto field = [&](const char* name, const char* label, const QString& text) {
        auto* edit = new QLineEdit(text, &dialog);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 36);
        form->addRow(Msg(label), edit);
        return edit;
    };
    QLineEdit* server = field("txtAccountServer", "MSG_ACCOUNTSERVER",
                              answer.server.isEmpty() ? QStringLiteral("http://") : answer.server);
    QLineEdit* user = field("txtAccountUser", "MSG_ACCOUNTUSER", answer.user);
    QLineEdit* password = field("txtAccountPassword", "MSG_ACCOUNTPASSWORD", {});
    password->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(Msg("MSG_OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Msg("MSG_CANCEL"));
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    // OK only once every field holds something.
    const auto judge = [=] {
        const QString typed = server->text().trimmed();
        buttons->button(QDialogButtonBox::Ok)
            ->setEnabled(!typed.isEmpty() && typed != QLatin1String("http://") && !user->text().trimmed().isEmpty() &&
                         !password->text().isEmpty());
    };
    for (QLineEdit* edit : {server, user, password}) QObject::connect(edit, &QLineEdit::textChanged, &dialog, judge);
    judge();
    if (dialog.exec() != QDialog::Accepted) return false;
    answer = {server->text().trimmed(), user->text().trimmed(), password->text()};
    return true;
}
