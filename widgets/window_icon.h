#pragma once
// Gives a window the program's icon in both sizes the system uses, optionally also to its
// top-level owner, which carries the taskbar button.
#include <QIcon>
#include <QString>

class QWidget;

namespace modIcon {

// The icon resource of that name ("AAA"): every picture the resource holds, or an empty icon
// when there is no such resource.
QIcon LoadIconResource(const QString& name);

void SetIcon(QWidget* window, const QString& resourceName, bool setOwner);

}  // namespace modIcon
