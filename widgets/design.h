#pragma once
// The design of a window as Qt keeps it: every control named as the design names it, placed in
// twips, its tab index and control-array index held as dynamic properties that the language
// engine's window walk reads back. One home for those property names and for the design fonts.
#include <QFont>
#include <QString>

#include "widgets/twips.h"

namespace design {

// Dynamic properties of a design control.
inline constexpr const char* kTabIndex = "tabIndex";  // int: the design's tab index
inline constexpr const char* kIndex = "index";        // int: the element's index in a control array
inline constexpr const char* kCaption = "caption";    // QString: a caption the widget does not draw
// bool: a menu entry of its own, not part of a control array (an entry added to a designed menu,
// the player's context menu); the language engine translates it as such.
inline constexpr const char* kMenuEntry = "menuEntry";
// bool: a control with a look of its own (the player, the web panes); the skin leaves it and
// everything inside it alone.
inline constexpr const char* kOwnLook = "ownLook";

// A fixed window with a title and a close box only, no minimise or maximise box. Without the
// customise hint Qt gives a window every box, whatever else is asked for.
inline constexpr Qt::WindowFlags kCloseBoxOnly = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                                 Qt::MSWindowsFixedSizeDialogHint;

// A font of the design; 8.25 points is the designed default size.
QFont Font(const char* family, double points = 8.25, bool bold = false);

// Names a control, marks its tab index and places it in twips (relative to its container).
template <typename W>
W* Place(W* w, const char* name, int left, int top, int width, int height, int tab) {
    w->setObjectName(QString::fromLatin1(name));
    w->setProperty(kTabIndex, tab);
    twips::SetGeometry(w, left, top, width, height);
    return w;
}

}  // namespace design
