#pragma once
// Maps a control to the type name the program's designs use ("CommandButton", "Label", ...),
// as the skin's label conversion and the language engine select controls by it.
#include <QString>

class QObject;

QString ControlTypeName(const QObject* control);
