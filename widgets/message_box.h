#pragma once
// Message boxes of the main window: OK only, the program's name as the title.
#include <QString>

class QWidget;

void ShowMessage(QWidget* parent, const QString& text);

// A question with "Yes" and "No"; true for "Yes".
bool AskYesNo(QWidget* parent, const QString& text);
