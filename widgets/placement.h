#pragma once
// Where the program's windows appear: centred on the primary screen when first shown, and
// brought to the front when asked for again.
#include <QPointer>

class QWidget;

namespace placement {

// Moves the window so that its frame is centred on its screen's free area. A window bigger than
// that area shrinks to fit where it can be resized; one that cannot keeps its title bar on the
// screen.
void CentreOnScreen(QWidget* window);
// Shows the window, raises it above the others and gives it the focus.
void BringForward(QWidget* window);

// The one window of a kind, kept in `slot`: made, loaded (its load handler run) and centred on
// first use, brought forward on every use.
template <typename W>
W* ShowSingle(QPointer<W>& slot) {
    if (!slot) {
        slot = new W;
        slot->Form_Load();
        CentreOnScreen(slot);
    }
    BringForward(slot);
    return slot;
}

}  // namespace placement
