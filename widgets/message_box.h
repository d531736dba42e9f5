#pragma once
// Message boxes of the main window: OK only, the program's name as the title. Their buttons
// say OK, Yes, No and Cancel in the language applied.
#include <QString>

class QMessageBox;
class QWidget;

void ShowMessage(QWidget* parent, const QString& text);

// A question with "Yes" and "No"; true for "Yes".
bool AskYesNo(QWidget* parent, const QString& text);

// A line of text asked for (the dialogs of the File and Categories entries); `ok` is false when
// the user cancelled.
QString AskText(QWidget* parent, const QString& title, const QString& label, const QString& text, bool* ok);

// A provider's account asked for: its server, user name and password (typed unseen). False
// when the user cancelled or left a field empty.
struct AccountAnswer {
    QString server, user, password;
};
bool AskAccount(QWidget* parent, AccountAnswer& answer);

// Gives a message box's OK, Yes and No buttons their texts in the language applied.
void SayButtons(QMessageBox* box);
