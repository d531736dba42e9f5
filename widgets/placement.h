#pragma once
// Where the program's windows appear: centred on the primary screen when first shown, and
// brought to the front when asked for again.
class QWidget;

namespace placement {

// Moves the window so that its frame is centred on the primary screen's free area.
void CentreOnScreen(QWidget* window);
// Shows the window, raises it above the others and gives it the focus.
void BringForward(QWidget* window);

}  // namespace placement
