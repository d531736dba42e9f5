#pragma once
// The style's standard icons are drawn dark; on a dark palette they are drawn again in the
// palette's text colour, so that a control bar's buttons stay readable in either scheme.
#include <QIcon>
#include <QStyle>

class QWidget;

QIcon ReadableStandardIcon(const QWidget* widget, QStyle::StandardPixmap which);
